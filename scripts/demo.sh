#!/usr/bin/env bash
# The README's first command: install, build, and run the demo feed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
args=(--demo)
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then args+=(--headless); fi
exec "$top/build/stormfetch" "${args[@]}" "$@"
