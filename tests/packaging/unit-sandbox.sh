#!/usr/bin/env bash
# Runs Wine and the program under the sandbox the systemd user unit asks for, set up
# the way a user manager of Debian 12 (systemd 252) sets it up, since CI has no user
# manager: PrivateUsers=yes first (a user namespace mapping the user to itself), then
# a mount namespace in it with
#   the runtime folder     /run/user/<uid> on a tmpfs of its own, as logind makes it;
#   ProtectSystem=strict   every mount read-only, /tmp too (the unit has no PrivateTmp),
#                          except the unit's ReadWritePaths (bound writable first);
#   PrivateDevices=yes     a private /dev with the pseudo devices, pts and shm only;
#   ProtectKernelTunables  /proc/sys and /sys read-only;
# and the process itself with no capabilities, no new privileges and the unit's UMask.
# The unit's "+" ExecStartPre lines run before, outside the sandbox, as the user.
# Not modelled: the system-call filter and the other seccomp-based settings.
#
# Wine keeps its server's socket where every Wine process of the user finds it: Debian's
# Wine in /run/user/<uid>/wine/ (else in a fresh /tmp/wine-XXXXXX), upstream Wine in
# /tmp/.wine-<uid>/. Inside the sandbox the installed Wine makes a fresh prefix and its
# server starts for a fresh prefix; a socket is made where upstream Wine makes it; and the program runs one demo
# tick, which must write underlays. First the control: the same sandbox with only the
# home folder writable (the unit as it was) must make both fail, or the sandbox would
# prove nothing.
# Usage: unit-sandbox.sh UNIT_FILE STORMFETCH_BINARY
# Exit 77 (skipped) when the machine cannot build the sandbox or has no Wine.
set -euo pipefail
[ -z "${TRACE:-}" ] || { PS4='+ $SECONDS s: '; set -x; }
unit=$1 program=$2
fail() { echo "unit-sandbox: $*" >&2; exit 1; }
skip() { echo "unit-sandbox: $*" >&2; exit 77; }
for tool in unshare setpriv findmnt; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
server=/usr/lib/wine/wineserver
[ -x "$server" ] || server=$(command -v wineserver || true)
[ -n "$server" ] && [ -x "$server" ] || skip "Wine (its wineserver) is not installed"

# The user the service runs as: a real unprivileged one when started as root.
if [ "$(id -u)" -eq 0 ]; then
  uid=65534 gid=65534
  as_user=(setpriv --reuid=$uid --regid=$gid --clear-groups)
else
  uid=$(id -u) gid=$(id -g)
  as_user=()
fi
"${as_user[@]}" unshare --user --map-current-user --mount true 2>/dev/null \
  || skip "user namespaces are not available to uid $uid"

work=$(mktemp -d)
chmod 755 "$work"
home=$work/home run=/run/user/$uid
[ -d /run/user ] || skip "/run/user does not exist (no logind)"
mkdir -p "$home" "$work/hostdev"
chown "$uid:$gid" "$home" "$work/hostdev"
cleanup() { [ -n "${KEEP:-}" ] || rm -rf "$work"; }
trap cleanup EXIT

# The [Service] settings, with the specifiers a user unit has.
expand() {
  local s=${1//%%/$'\1'}
  s=${s//%h/$home}
  s=${s//%U/$uid}
  s=${s//%t/$run}
  printf '%s' "${s//$'\1'/%}"
}
setting() { sed -n "/^\[Service\]/,/^\[/{s/^$1=//p}" "$unit"; }
[ "$(setting PrivateUsers | tail -1)" = yes ] \
  || fail "PrivateUsers= is not set: a Debian 12 user manager then applies none of the sandbox"
[ "$(setting ProtectSystem | tail -1)" = strict ] || fail "this model knows ProtectSystem=strict only"
case $(setting PrivateTmp | tail -1) in ""|no|false) ;; *) fail "this model knows the host's /tmp only" ;; esac
umask_value=$(setting UMask | tail -1)
rw=()
for word in $(setting ReadWritePaths); do
  word=$(expand "${word#-}")
  rw+=("$word")
done
env_args=()
while read -r line; do
  [ -n "$line" ] && env_args+=("$(expand "$line")")
done < <(setting Environment)
# A sanitizer build keeps its settings (suppressions of third-party leaks among them)
# inside the sandbox; the unit itself sets none.
for v in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
  [ -n "${!v:-}" ] && env_args+=("$v=${!v}")
done

# "+" start commands: outside the sandbox, as the user.
while read -r line; do
  [ -n "$line" ] || continue
  case $line in
  +*) read -r -a argv <<<"$(expand "${line#+}")"
      "${as_user[@]}" "${argv[@]}" || fail "ExecStartPre '$line' failed" ;;
  *) fail "this model runs only '+' ExecStartPre lines, not '$line'" ;;
  esac
done < <(setting ExecStartPre)

# The mounts, made inside the new namespaces with the capabilities they give.
cat >"$work/inner.sh" <<'EOF'
set -euo pipefail
[ -z "${TRACE:-}" ] || { PS4='+ $SECONDS s: '; set -x; }
work=$1 umask_value=$2 run=$3 nrw=$4
shift 4
rw=("${@:1:$nrw}")
shift "$nrw"
mount -t tmpfs -o mode=0755,nosuid,nodev tmpfs /run/user
mkdir -m 0700 "$run"
for p in "${rw[@]}"; do
  [ -e "$p" ] || { echo "unit-sandbox: ReadWritePaths names $p, which does not exist" >&2; exit 90; }
  mount --bind "$p" "$p"
done
# PrivateDevices: the host's /dev is kept aside, a fresh one made, the few devices bound in.
mount --rbind /dev "$work/hostdev"
mount -t tmpfs -o mode=0755,nosuid,noexec tmpfs /dev
for d in null zero full random urandom tty; do
  touch "/dev/$d"
  mount --bind "$work/hostdev/$d" "/dev/$d"
done
for d in pts shm; do
  mkdir "/dev/$d"
  mount --rbind "$work/hostdev/$d" "/dev/$d"
done
ln -s pts/ptmx /dev/ptmx
ln -s /proc/self/fd /dev/fd
umount -l "$work/hostdev"
# ProtectSystem=strict and ProtectKernelTunables: every other mount read-only.
mount --bind /proc/sys /proc/sys
findmnt -rno TARGET | while read -r m; do
  m=$(printf '%b' "$m")
  keep=0
  for p in "${rw[@]}"; do [ "$m" = "$p" ] && keep=1; done
  case $m in /proc|/dev|/dev/*) keep=1 ;; esac
  [ $keep = 1 ] || mount -o remount,bind,ro "$m"
done
umask "$umask_value"
exec setpriv --inh-caps=-all --ambient-caps=-all --bounding-set=-all --no-new-privs "$@"
EOF

# Runs a command in the sandbox with the given writable paths.
sandboxed() {
  local -a paths=()
  while [ "$1" != -- ]; do paths+=("$1"); shift; done
  shift
  "${as_user[@]}" unshare --user --map-current-user --mount --keep-caps --propagation private \
    bash "$work/inner.sh" "$work" "${umask_value:-0022}" "$run" "${#paths[@]}" "${paths[@]}" \
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$run" WINEDEBUG=-all \
    "${env_args[@]}" "$@"
}
prefix=$home/.wine
for e in "${env_args[@]}"; do [[ $e == WINEPREFIX=* ]] && prefix=${e#WINEPREFIX=}; done

# Starts the installed Wine's server for a prefix (the first step of every Wine
# program), sees its socket, and ends it: the socket is on the sandbox's own tmpfs.
wine_server='mkdir -p "$2" && WINEPREFIX=$2 "$1" -p5 || exit 1
for i in $(seq 50); do
  s=$(ls -d /run/user/"$(id -u)"/wine/server-*/socket /tmp/wine-*/server-*/socket 2>/dev/null | head -1)
  [ -n "$s" ] && break
  sleep 0.1
done
WINEPREFIX=$2 "$1" -k
[ -n "$s" ] && echo "socket $s"'
# Makes a socket where upstream Wine makes its server's.
upstream_socket='d=/tmp/.wine-$(id -u)/server-sandbox-probe-$$
mkdir -p "$d" && perl -MSocket -e "my \$s; socket(\$s, AF_UNIX, SOCK_STREAM, 0) && bind(\$s, pack_sockaddr_un(\$ARGV[0])) or die \"\$!\\n\"" "$d/socket"
r=$?; rm -rf "$d"; exit $r'

# The sandbox is real: /tmp is read-only in it, and with only the home folder writable
# (the unit before it named the runtime folder and /tmp/.wine-<uid>) no Wine can start
# its server.
if sandboxed -- touch /tmp/.stormfetch-sandbox-probe 2>/dev/null; then
  rm -f /tmp/.stormfetch-sandbox-probe
  fail "/tmp is writable in the sandbox"
fi
if sandboxed "$home" -- bash -c "$wine_server" _ "$server" "$prefix" >"$work/control.log" 2>&1; then
  fail "Wine's server started with only the home folder writable: the sandbox proves nothing"
fi
grep -qi 'read-only\|permission\|tmpdir' "$work/control.log" \
  || { cat "$work/control.log" >&2; fail "Wine's server failed for another reason than a read-only folder"; }
if sandboxed "$home" -- bash -c "$upstream_socket" 2>/dev/null; then
  fail "a socket could be made in /tmp/.wine-$uid with only the home folder writable"
fi

# Wine under the unit's sandbox: its server starts for the prefix and makes its socket.
sandboxed "${rw[@]}" -- bash -c "$wine_server" _ "$server" "$prefix" >"$work/wine.log" 2>&1 \
  || { cat "$work/wine.log" >&2; fail "Wine's server did not start under the unit's sandbox"; }
sandboxed "${rw[@]}" -- bash -c "$upstream_socket" \
  || fail "no socket can be made in /tmp/.wine-$uid under the unit's sandbox"

# The program under the unit's sandbox: one demo tick writes underlays into its folder.
sandboxed "${rw[@]}" -- timeout 120 "$program" --demo --once --headless >"$work/demo.log" 2>&1 \
  || { cat "$work/demo.log" >&2; fail "the demo tick failed under the unit's sandbox"; }
underlays=$(find "$home/.local/share/stormfetch/demo" -iname '*.sat' 2>/dev/null | wc -l)
[ "$underlays" -gt 0 ] || { cat "$work/demo.log" >&2; fail "the demo tick wrote no underlay"; }
echo "unit-sandbox: under the unit's sandbox Wine's server made its $(grep -o 'socket .*' "$work/wine.log")," \
  "the demo tick wrote $underlays underlays; with only the home folder writable both failed"
