#!/usr/bin/env bash
# Runs a command with the sanitizer settings of the project: every report stops the
# run with a failure, leaks are checked, third-party leaks are suppressed by the list
# in scripts/sanitizer-suppressions.txt.
# Usage: scripts/sanitizer-env.sh COMMAND [ARGS...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$top/scripts/sanitizer-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
exec "$@"
