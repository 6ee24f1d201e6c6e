#!/usr/bin/env bash
# Unpacks a Stormfetch .deb into a temporary root and checks it: its control fields,
# the files it installs, the README's links, lintian (pedantic: no error and no
# warning), and the unpacked program itself (--version, then one demo tick with the
# installed data, which must write captioned underlays).
# Usage: scripts/check-package.sh PACKAGE.deb
set -euo pipefail
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
fail() { echo "check-package: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$root"
for field in Package Version Maintainer Depends Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the control field $field is empty"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' || fail "Depends does not name the Qt libraries: $(dpkg-deb -f "$deb" Depends)"

for f in usr/bin/stormfetch \
         usr/share/applications/stormfetch.desktop \
         usr/share/icons/hicolor/scalable/apps/stormfetch.svg \
         usr/share/icons/hicolor/48x48/apps/stormfetch.png \
         usr/share/man/man1/stormfetch.1.gz \
         usr/lib/systemd/user/stormfetch.service \
         usr/share/doc/stormfetch/README.md \
         usr/share/doc/stormfetch/stormfetch.ini.sample \
         usr/share/doc/stormfetch/copyright \
         usr/share/doc/stormfetch/changelog.gz \
         usr/share/stormfetch/icons/stormfetch.svg; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done
grep -q '^ExecStart=/usr/bin/stormfetch --headless' "$root/usr/lib/systemd/user/stormfetch.service" \
  || fail "the unit does not start /usr/bin/stormfetch"
"$(dirname "$0")/../tests/packaging/readme-links.sh" "$root/usr/share/doc/stormfetch/README.md" \
  || fail "the installed README has links that lead nowhere"

# lintian as Debian's archive would run it, pedantic tags shown; any E: or W: fails.
command -v lintian >/dev/null 2>&1 || fail "lintian is not installed (scripts/packages.txt lists it)"
lintian --pedantic --info --display-experimental --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 \
  || { cat "$work/lintian.log" >&2; fail "lintian reports errors or warnings"; }
echo "check-package: lintian: $(grep -c '^[EWIPX]:' "$work/lintian.log" || true) tags, none of them E: or W:"

version=$("$root/usr/bin/stormfetch" --version)
[ "$version" = "$(dpkg-deb -f "$deb" Version | sed 's/^/Stormfetch /')" ] \
  || fail "the unpacked program says '$version', the package is $(dpkg-deb -f "$deb" Version)"

# One demo tick, as an installed program runs: no --home, so the program folder is
# $XDG_DATA_HOME/stormfetch/; a private runtime folder so no running copy is met.
mkdir -p "$work/data" "$work/run"
chmod 700 "$work/run"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work" XDG_DATA_HOME="$work/data" \
  XDG_RUNTIME_DIR="$work/run" timeout 120 "$root/usr/bin/stormfetch" --demo --once --headless \
  > "$work/demo.log" 2>&1 || { cat "$work/demo.log" >&2; fail "the demo run from the package failed"; }
underlays=$(find "$work/data/stormfetch/demo" -iname '*.sat' | wc -l)
[ "$underlays" -gt 0 ] || { cat "$work/demo.log" >&2; fail "the demo run wrote no underlay"; }
[ ! -e "$root/usr/bin/stormfetch.ini" ] || fail "the installed program wrote beside itself"
echo "check-package: $(basename "$deb") is sound ($version; the demo tick wrote $underlays underlays)"
