#!/usr/bin/env bash
# The installed layout and the files that desktops, man and systemd read.
# Usage: check.sh install-layout|desktop-entry|man-page|unit-security|unit-sandbox SOURCE_DIR BUILD_DIR
# Exit 77 (skipped) when the tool a check needs is not installed.
set -euo pipefail
what=$1 src=$2 build=$3
fail() { echo "$what: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null 2>&1 || { echo "$what: $1 is not installed" >&2; exit 77; }; }

case $what in
install-layout)
  dest=$(mktemp -d)
  trap 'rm -rf "$dest"' EXIT
  DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
  expected=(
    usr/bin/stormfetch
    usr/share/applications/stormfetch.desktop
    usr/share/icons/hicolor/scalable/apps/stormfetch.svg
    usr/share/man/man1/stormfetch.1.gz
    usr/lib/systemd/user/stormfetch.service
    usr/share/doc/stormfetch/README.md
    usr/share/doc/stormfetch/stormfetch.ini.sample
    usr/share/doc/stormfetch/copyright
    usr/share/doc/stormfetch/changelog.gz
    usr/share/stormfetch/icons/stormfetch.svg
  )
  for size in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/stormfetch.png")
  done
  [ ! -d "$src/data/manual" ] || expected+=(usr/share/stormfetch/manual/index.html)
  for helper in "$build"/stormfetch-link*.exe; do
    [ ! -e "$helper" ] || expected+=("usr/share/stormfetch/$(basename "$helper")")
  done
  for f in "${expected[@]}"; do
    [ -s "$dest/$f" ] || fail "missing or empty after install: /$f"
  done
  [ -x "$dest/usr/bin/stormfetch" ] || fail "/usr/bin/stormfetch is not executable"
  # Each PNG is the size its folder says.
  for size in 16 32 48 64 128 256; do
    png=$dest/usr/share/icons/hicolor/${size}x${size}/apps/stormfetch.png
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print ($1*16777216+$2*65536+$3*256+$4) "x" ($5*16777216+$6*65536+$7*256+$8)}')
    [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
  done
  grep -q '^ExecStart=/usr/bin/stormfetch --headless' "$dest/usr/lib/systemd/user/stormfetch.service" \
    || fail "the unit does not start the installed program"
  # The compressed man page is the page; the changelog names the program's version.
  cmp -s <(gzip -dc "$dest/usr/share/man/man1/stormfetch.1.gz") "$src/packaging/stormfetch.1" \
    || fail "stormfetch.1.gz is not the man page"
  version=$("$build/stormfetch" --version | sed 's/^Stormfetch //')
  gzip -dc "$dest/usr/share/doc/stormfetch/changelog.gz" | head -1 | grep -qF "stormfetch ($version)" \
    || fail "the changelog's first entry is not version $version"
  "$src/tests/packaging/readme-links.sh" "$dest/usr/share/doc/stormfetch/README.md"
  ;;
desktop-entry)
  need desktop-file-validate
  desktop-file-validate "$src/packaging/stormfetch.desktop"
  ;;
man-page)
  need groff
  out=$(groff -ww -z -man "$src/packaging/stormfetch.1" 2>&1)
  [ -z "$out" ] || fail "groff warns: $out"
  # Every option the program knows is documented.
  for opt in $("$build/stormfetch" --help | grep -oE '^ +--[a-z-]+' | tr -d ' '); do
    grep -qF -- "${opt//-/\\-}" "$src/packaging/stormfetch.1" || fail "the man page does not document $opt"
  done
  ;;
unit-security)
  need systemd-analyze
  unit=$build/packaging/stormfetch.service
  out=$(systemd-analyze security --offline=true "$unit" 2>&1) || true
  score=$(printf '%s\n' "$out" | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
  [ -n "$score" ] || { echo "$out" >&2; fail "no exposure level"; }
  echo "exposure level $score"
  awk -v s="$score" 'BEGIN { exit !(s <= 5.0) }' || fail "exposure level $score is above 5.0"
  ;;
unit-sandbox)
  # Wine and the program run under the unit's sandbox (see the script).
  exec "$src/tests/packaging/unit-sandbox.sh" "$build/packaging/stormfetch.service" "$build/stormfetch"
  ;;
*) fail "unknown check" ;;
esac
