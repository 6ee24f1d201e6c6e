#!/usr/bin/env bash
# Fuzz campaigns: builds the targets in build-asan/ (clang, ASan + UBSan; another folder
# with STORMFETCH_FUZZ_BUILD) and runs them. New inputs collect in
# <build>/fuzz/campaign/TARGET/; a crash, hang or leak is written as
# <build>/fuzz/crash-*, leak-* or timeout-* (campaign mode: <build>/fuzz/findings/TARGET/).
# Usage: scripts/fuzz.sh TARGET SECONDS          one target
#        scripts/fuzz.sh --campaign SECONDS [--runs N] [TARGET...]
#                                               every target (or those named) for SECONDS
#                                               each, or until it has run N inputs if that
#                                               comes first, then a table: target, runs,
#                                               seconds, new inputs, coverage, findings;
#                                               status 1 when anything was found
#        scripts/fuzz.sh --campaign --fast SECONDS [--runs N] [TARGET...]
#                                               the same in build-fuzz/, a build without
#                                               AddressSanitizer (UBSan only) that runs
#                                               several times as many inputs a second; then
#                                               every input the campaign kept is replayed in
#                                               build-asan/, and a report there is a finding
#        scripts/fuzz.sh --list                  names the targets
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
fast=0
if [ "${1:-}" = "--campaign" ] && [ "${2:-}" = "--fast" ]; then
  fast=1
  set -- "$1" "${@:3}"
fi
full_build=${STORMFETCH_FUZZ_FULL_BUILD:-$top/build-asan}
if [ "$fast" -eq 1 ]; then
  build=${STORMFETCH_FUZZ_BUILD:-$top/build-fuzz}
  sanitizers=undefined
else
  build=${STORMFETCH_FUZZ_BUILD:-$full_build}
  sanitizers=address,undefined
fi
case "$build" in /*) ;; *) build="$top/$build" ;; esac
targets() { sed -n 's/^stormfetch_fuzzer(\([a-z_0-9]*\) .*/\1/p' "$top/fuzz/CMakeLists.txt"; }
usage() {
  echo "usage: scripts/fuzz.sh TARGET SECONDS | --campaign SECONDS [--runs N] [TARGET...] | --list; targets:"
  targets | sed 's/^/  /'
}
options=(-max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
configure() {
  configure_in "$build" "$sanitizers" "$@"
}
configure_in() {
  local dir=$1 list=$2
  shift 2
  CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSTORMFETCH_SANITIZE=ON -DSTORMFETCH_SANITIZERS="$list" -DSTORMFETCH_FUZZ=ON >/dev/null
  cmake --build "$dir" --target "$@" -j"$(nproc)"
}

if [ "${1:-}" = "--list" ]; then
  usage
  exit 0
fi

if [ "${1:-}" = "--campaign" ]; then
  [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || { usage; exit 2; }
  seconds=$2
  shift 2
  cap=()
  if [ "${1:-}" = "--runs" ]; then
    [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || { usage; exit 2; }
    cap=(-runs="$2")
    shift 2
  fi
  if [ $# -gt 0 ]; then chosen=("$@"); else mapfile -t chosen < <(targets); fi
  configure "${chosen[@]}"
  # The full sanitizer build that replays what a fast campaign keeps.
  [ "$fast" -eq 1 ] && configure_in "$full_build" address,undefined "${chosen[@]}" >/dev/null
  rows=()
  found_any=0
  for target in "${chosen[@]}"; do
    campaign="$build/fuzz/campaign/$target"
    findings="$build/fuzz/findings/$target"
    log="$build/fuzz/logs/$target.log"
    mkdir -p "$campaign" "$findings" "$(dirname "$log")"
    before=$(find "$findings" -type f | wc -l)
    echo "== $target for $seconds s${cap:+ or ${cap[0]#-runs=} inputs}" >&2
    started=$SECONDS
    # A finding ends the run early with a non-zero status; the table still gets its row.
    (cd "$build/fuzz" && "$top/scripts/sanitizer-env.sh" "./$target" -max_total_time="$seconds" \
      "${cap[@]}" "${options[@]}" -artifact_prefix="$findings/" "$campaign" "$top/fuzz/corpus/$target") >"$log" 2>&1 || true
    took=$((SECONDS - started))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -1)
    # Coverage at the start of the run (after the corpus is read) and at its end.
    cov_start=$(grep -m1 -E '^#[0-9]+[[:space:]]+INITED' "$log" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
    cov_end=$(grep -E '^#[0-9]+' "$log" | grep ' cov: ' | tail -1 | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
    found=$(( $(find "$findings" -type f | wc -l) - before ))
    if [ "$fast" -eq 1 ]; then
      # What the fast build kept, once more with AddressSanitizer: -runs=0 runs the corpus
      # and stops, and a report writes its input to the findings like any other.
      if ! (cd "$full_build/fuzz" && "$top/scripts/sanitizer-env.sh" "./$target" -runs=0 "${options[@]}" \
        -artifact_prefix="$findings/" "$campaign") >"$log.asan" 2>&1; then
        echo "$target: the AddressSanitizer replay of $campaign failed; see $log.asan" >&2
        found=$((found + 1))
      fi
    fi
    [ "$found" -gt 0 ] && found_any=1
    rows+=("$(printf '%-22s %12s %8s %10s %16s %9s' "$target" "${runs:-?}" "$took" "${added:-?}" \
      "${cov_start:-?} -> ${cov_end:-?}" "$found")")
  done
  printf '%-22s %12s %8s %10s %16s %9s\n' target runs seconds new-inputs coverage findings
  printf '%s\n' "${rows[@]}"
  [ "$found_any" -eq 0 ] && exit 0
  echo "findings are in $build/fuzz/findings/; logs in $build/fuzz/logs/" >&2
  exit 1
fi

if [ $# -ne 2 ]; then
  usage
  exit 2
fi
target=$1 seconds=$2
configure "$target"
campaign="$build/fuzz/campaign/$target"
mkdir -p "$campaign"
cd "$build/fuzz"
"$top/scripts/sanitizer-env.sh" "./$target" -max_total_time="$seconds" "${options[@]}" \
  "$campaign" "$top/fuzz/corpus/$target"
