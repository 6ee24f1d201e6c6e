#!/usr/bin/env bash
# Installs the Debian packages in scripts/packages.txt (when any is missing),
# then configures and builds Stormfetch into build/.
# Usage: scripts/setup.sh [--release]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

mapfile -t pkgs < <(grep -vE '^\s*(#|$)' scripts/packages.txt)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_type=RelWithDebInfo
[ "${1:-}" = "--release" ] && build_type=Release
werror=OFF
[ -n "${CI:-}" ] && werror=ON
# Built as the package is: with Debian's hardening flags (dpkg-buildflags).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DSTORMFETCH_WERROR="$werror" \
  -DSTORMFETCH_DEB_BUILDFLAGS=ON >/dev/null
cmake --build build -j"$(nproc)"
