#!/usr/bin/env bash
# Installs what is missing, builds mirvale with its tests and runs the whole suite.
# Exits non-zero when any test fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
export MIRVALE_BUILD_DIR=${MIRVALE_BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh" -DMIRVALE_BUILD_TESTS=ON
cd "$MIRVALE_BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)"
