#!/usr/bin/env bash
# The README's two commands on a machine that has nothing: a bare Debian 12
# root (debootstrap --variant=minbase, git and ca-certificates added, from
# the Debian mirror this machine's apt sources name), a fresh clone of this
# checkout's commit in root's home (/root, mode 0700), then, as root there
# and as written, scripts/demo.sh, scripts/test.sh and the README's Debian
# packages path (build the packages, apt-get install them, run sysdatactl).
#
# Everything runs in private mount and pid namespaces with their own /proc,
# /dev (a few device nodes, its own ptys), a tmpfs /dev/shm and a tmpfs
# /tmp: when the stage ends, on failure too, its mounts and processes are
# gone and the root is removed. The bootstrapped root (nothing installed
# yet) is cached as a tarball in $SYSDATA_CI_CACHE
# (/var/cache/sysdata-product-ci) for the next run on this machine;
# SYSDATA_FRESH_NO_CACHE=1 ignores and replaces it.
#
# Logs go to build/fresh-machine/ of this checkout; the stage's own output
# names each command's exit status and time, what the first command
# installed, and the suite's summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
me=.ci/fresh-machine.sh
suite=bookworm
include=git,ca-certificates
cache_dir=${SYSDATA_CI_CACHE:-/var/cache/sysdata-product-ci}
limit=${SYSDATA_FRESH_TIMEOUT:-10800}   # seconds, per command

[ "$(id -u)" = 0 ] || { echo "$me: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
for tool in debootstrap unshare chroot git tar; do
  command -v "$tool" >/dev/null || { echo "$me: needs $tool (scripts/deps.sh ci)" >&2; exit 1; }
done

# The Debian mirror of this machine's apt sources: the first "deb" entry for
# the suite, one-line (sources.list, *.list) or deb822 (*.sources).
mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" '
      BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; uris = ""; suites = ""; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^[ \t]*#/ || index($i, ":") == 0) continue
          key = tolower(substr($i, 1, index($i, ":") - 1))
          value = " " substr($i, index($i, ":") + 1) " "
          gsub(/[ \t]+/, " ", value)
          if (key == "types") types = value
          else if (key == "uris") uris = value
          else if (key == "suites") suites = value
          else if (key == "enabled") enabled = value
        }
        if (types ~ / deb / && suites ~ (" " suite " ") && enabled !~ /no/) {
          split(uris, u, " "); print u[1]; exit
        }
      }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" | awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2; exit }'
  done
}
url=$(mirror | head -n 1)
[ -n "$url" ] || { echo "$me: no Debian '$suite' mirror in /etc/apt/sources.list{,.d}" >&2; exit 1; }

commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "$me: note: the checkout has uncommitted changes; the stage tests commit ${commit:0:12} without them"
fi
logs=$PWD/build/fresh-machine
rm -rf "$logs"
mkdir -p "$logs"

work=$(mktemp -d /var/tmp/sysdata-fresh.XXXXXX)
cleanup() {
  local rc=$?
  # The namespaces took their mounts with them: what is left are plain
  # directories, removed without crossing into anything mounted.
  if findmnt -rn -o TARGET | grep -q "^$work"; then
    echo "$me: something is still mounted under $work: not removing it" >&2
    rc=1
  else
    rm -rf --one-file-system "$work"
  fi
  exit $rc
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP
root=$work/root
mkdir -m 0755 "$root"
# The commit, as a bundle the new machine clones from.
mkdir -p "$work/origin"
git bundle create -q "$work/origin/sysdata-product.bundle" HEAD

# ---- the bare root, from the cache or made now ----
key=$(printf '%s %s %s minbase\n' "$suite" "$include" "$url" | sha256sum | cut -c1-12)
cache=$cache_dir/$suite-minbase-$key.tar
started=$SECONDS
if [ -s "$cache" ] && [ "${SYSDATA_FRESH_NO_CACHE:-}" != 1 ]; then
  tar -xpf "$cache" --numeric-owner -C "$root"
  echo "bare $suite root: from the cache $cache ($((SECONDS - started)) s)"
else
  # debootstrap mounts /proc and /sys in the new root while it works: in a
  # namespace of its own those mounts cannot outlive it.
  if ! unshare --mount --propagation private \
       debootstrap --variant=minbase --include="$include" "$suite" "$root" "$url" >"$logs/debootstrap.log" 2>&1; then
    tail -n 30 "$logs/debootstrap.log" >&2
    echo "$me: debootstrap failed (log: $logs/debootstrap.log)" >&2
    exit 1
  fi
  echo "bare $suite root: debootstrap --variant=minbase --include=$include ($((SECONDS - started)) s)"
  mkdir -p "$cache_dir"
  tmp=$(mktemp "$cache.XXXXXX")
  if tar -cpf "$tmp" --numeric-owner -C "$root" . && mv "$tmp" "$cache"; then
    echo "cached as $cache"
  else
    rm -f "$tmp"
    echo "$me: note: could not cache the root in $cache_dir" >&2
  fi
fi
chmod 0700 "$root/root"
# The machine's name server, so that apt reaches the mirror.
rm -f "$root/etc/resolv.conf"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# ---- inside: private mounts, a pid namespace, then chroot ----
cat >"$work/inside.sh" <<'INSIDE'
set -uo pipefail
root=$1 origin=$2 logs=$3 limit=$4
mount -t proc -o nosuid,nodev,noexec proc "$root/proc"
mount -t tmpfs -o mode=0755,nosuid,size=64k tmpfs "$root/dev"
for node in null zero full random urandom tty; do
  : >"$root/dev/$node"
  mount --bind "/dev/$node" "$root/dev/$node"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/tmp"
mkdir -p "$root/mnt/origin"
mount --bind -o ro "$origin" "$root/mnt/origin"

# A root login's environment on the new machine, nothing of this one's.
in_root() {
  timeout --kill-after=60 "$limit" \
    env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot "$root" /bin/bash -c "$1"
}
# run NAME COMMAND: the command in the clone, its output in NAME.log, its
# exit status and time on one line.
run() {
  local name=$1 command=$2 start=$SECONDS rc=0
  in_root "cd /root/sysdata-product && $command" >"$logs/$name.log" 2>&1 || rc=$?
  printf '%-10s %s: exit %d after %d s\n' "$name" "$(printf '%s' "$command" | tr -s ' \n' ' ')" "$rc" "$((SECONDS - start))"
  return $rc
}

in_root 'cd /root && git -c advice.detachedHead=false clone -q /mnt/origin/sysdata-product.bundle sysdata-product' \
  >"$logs/clone.log" 2>&1 || { cat "$logs/clone.log"; echo "clone failed"; exit 1; }
echo "cloned $(in_root 'git -C /root/sysdata-product rev-parse --short HEAD') into /root/sysdata-product" \
     "(/root mode $(stat -c %a "$root/root"))"

status=0
run demo "scripts/demo.sh" || status=1
run test "scripts/test.sh" || status=1
# The README's Debian packages path, as root (no sudo on a bare machine).
run packages "scripts/deps.sh build packages && (cd build/default && cpack -G DEB) &&
  apt-get install -y -qq ./build/default/*.deb && sysdatactl --version && man -w sysdatactl" || status=1
exit $status
INSIDE

echo "commit ${commit:0:12}, mirror from the apt sources, clone in /root"
rc=0
unshare --mount --pid --fork --kill-child --propagation private \
  bash "$work/inside.sh" "$root" "$work/origin" "$logs" "$limit" || rc=$?

# What a newcomer's first run installed, and the suite's verdict.
for name in demo test packages; do
  [ -f "$logs/$name.log" ] || continue
  installed=$(sed -n 's/^==> installing the missing packages: //p' "$logs/$name.log")
  took=$(sed -n 's/^==> installed them in //p' "$logs/$name.log")
  echo "$name installed: ${installed:-nothing}${took:+ (in $took)}"
done
if [ -f "$logs/test.log" ]; then
  summary=$(grep -E '^[0-9]+% tests passed' "$logs/test.log" | tail -n 1)
  echo "suite: ${summary:-no summary line (see $logs/test.log)}"
fi
if [ "$rc" != 0 ]; then
  for name in demo test packages; do
    [ -f "$logs/$name.log" ] || continue
    printf -- '--- last lines of %s.log\n' "$name"
    tail -n 40 "$logs/$name.log"
  done
  echo "$me: failed (logs in $logs)" >&2
  exit 1
fi
echo "fresh machine: ok"
