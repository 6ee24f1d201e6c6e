#!/usr/bin/env bash
# The README's test command: install, build, run every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
# Short fuzz smoke run of the answer parser and the listing scan (only when clang is installed).
"$top/fuzz/smoke.sh"
cd "$top/build"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" --timeout 300
# The Debian package: built, unpacked into a temporary root, and run from there.
"$top/scripts/package.sh" --check
