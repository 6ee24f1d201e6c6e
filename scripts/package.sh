#!/usr/bin/env bash
# Builds the Debian package build/package/stormfetch_<version>_<arch>.deb with CPack
# (after scripts/setup.sh has installed what is needed and built the program).
# Usage: scripts/package.sh [--check]
#   --check  also unpack the package into a temporary root and run the program from it
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
cd "$top/build"
rm -rf package
cpack -G DEB >/dev/null
deb=$(ls package/stormfetch_*.deb)
echo "Built $top/build/$deb"
if [ "${1:-}" = "--check" ]; then
  "$top/scripts/check-package.sh" "$top/build/$deb"
fi
