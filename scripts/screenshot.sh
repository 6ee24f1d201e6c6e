#!/usr/bin/env bash
# Pictures of the window for the documentation: runs the demo feed with the window on
# Qt's offscreen platform and saves the window after its first cycle, at its minimum
# size and at 800 x 600, as docs/window-min.png and docs/window-800x600.png.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
exe="${STORMFETCH_EXE:-$top/build/stormfetch}"
if [ ! -x "$exe" ]; then
  echo "screenshot.sh: $exe is not built; run scripts/setup.sh first" >&2
  exit 2
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$top/docs"
# The program saves both pictures and closes by itself; the time limit only guards a hang.
STORMFETCH_SCREENSHOT="$top/docs/window" QT_QPA_PLATFORM=offscreen \
  timeout 180 "$exe" --demo --home "$home/" >"$home/out.txt" 2>"$home/err.txt" || {
  echo "screenshot.sh: the demo run failed:" >&2
  tail -20 "$home/err.txt" >&2
  exit 1
}
for f in "$top/docs/window-min.png" "$top/docs/window-800x600.png"; do
  if [ ! -s "$f" ]; then
    echo "screenshot.sh: $f was not written" >&2
    tail -20 "$home/err.txt" >&2
    exit 1
  fi
  echo "saved $f"
done
