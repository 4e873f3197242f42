#!/usr/bin/env bash
# Installs what is missing, builds mirvale and starts it. Arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
exec "${MIRVALE_BUILD_DIR:-$root/build}/mirvale" "$@"
