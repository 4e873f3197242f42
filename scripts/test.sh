#!/usr/bin/env bash
# Installs what is missing, builds mirvale with its tests and runs the whole suite.
# Exits non-zero when any test fails.
#
#   bash scripts/test.sh              the normal build, in build/ (or $MIRVALE_BUILD_DIR)
#   bash scripts/test.sh --sanitize   built with AddressSanitizer and UndefinedBehaviorSanitizer,
#                                     in build-asan/ (or $MIRVALE_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

sanitize=0
case "${1:-}" in
    --sanitize) sanitize=1 ;;
    "") ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
esac

bash "$root/scripts/setup.sh"
if [ "$sanitize" = 1 ]; then
    export MIRVALE_BUILD_DIR=${MIRVALE_BUILD_DIR:-$root/build-asan}
    bash "$root/scripts/build.sh" -DMIRVALE_BUILD_TESTS=ON -DMIRVALE_SANITIZE=ON
else
    export MIRVALE_BUILD_DIR=${MIRVALE_BUILD_DIR:-$root/build}
    bash "$root/scripts/build.sh" -DMIRVALE_BUILD_TESTS=ON -DMIRVALE_SANITIZE=OFF
fi
cd "$MIRVALE_BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)"
