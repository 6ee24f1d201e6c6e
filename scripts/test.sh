#!/usr/bin/env bash
# The README's test command: install, build, run every test; then build again with
# AddressSanitizer + UndefinedBehaviorSanitizer (clang, build-asan/) and run the whole
# suite there too, with every fuzz target's deterministic replay and the soak test.
# Set STORMFETCH_SKIP_SANITIZERS=1 to run only the plain stages.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
stage_start=$SECONDS
stage() { # prints how long the stage before took
  echo "== $1 took $((SECONDS - stage_start)) s"
  stage_start=$SECONDS
}

"$top/scripts/setup.sh"
stage "plain build"

export QT_QPA_PLATFORM=offscreen
(cd "$top/build" && ctest --output-on-failure -j"$jobs" --timeout 300)
stage "plain tests"

# The Debian package: built, unpacked into a temporary root, and run from there.
"$top/scripts/package.sh" --check
stage "package"

[ -n "${STORMFETCH_SKIP_SANITIZERS:-}" ] && exit 0
werror=OFF
[ -n "${CI:-}" ] && werror=ON
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSTORMFETCH_SANITIZE=ON -DSTORMFETCH_FUZZ=ON -DSTORMFETCH_WERROR="$werror" >/dev/null
cmake --build "$top/build-asan" -j"$jobs"
stage "sanitizer build"

"$top/scripts/sanitizer-env.sh" bash -c "cd '$top/build-asan' && ctest --output-on-failure -j'$jobs' --timeout 600"
stage "sanitizer tests, fuzz replay and soak"
