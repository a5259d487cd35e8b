#!/usr/bin/env bash
# Runs CI (.ci/run) on a fresh Debian 12 root, to show that tools/setup-debian.sh installs everything
# the build and the tests need: nothing installed on this machine can hide a missing package.
#   sudo tools/check-fresh-machine.sh [REVISION]      (a commit or branch; HEAD when omitted)
# Needs root, unshare (util-linux) and debootstrap, which it installs with apt when missing.
# A minimal bookworm root (debootstrap --variant=minbase from this machine's Debian mirror, or from
# $HB_FRESH_MIRROR, with this machine's apt sources) is built once and kept as a tarball in
# $HB_FRESH_CACHE (default /var/tmp/hearthbench-fresh); every run unpacks it anew, so packages
# installed by an earlier run never count. The committed REVISION is cloned into the root
# (uncommitted changes are not part of the check) and .ci/run runs there as root, in private mount,
# PID, IPC and host-name namespaces, with a fresh /dev/pts and an empty environment. The root of
# the last run stays in the cache for inspection. Exits with CI's status.
set -euo pipefail

revision=${1:-HEAD}
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cache=${HB_FRESH_CACHE:-/var/tmp/hearthbench-fresh}
suite=bookworm

if [ "$(id -u)" -ne 0 ]; then
    echo "check-fresh-machine: run as root (it builds a root file system and chroots into it)" >&2
    exit 2
fi
commit=$(git -C "$repo" rev-parse --verify "$revision^{commit}")
if ! command -v debootstrap >/dev/null; then
    apt-get update
    apt-get install -y --no-install-recommends debootstrap
fi

# The mirror of this machine's Debian sources, so that the root gets the same packages.
sources=/etc/apt/sources.list.d/debian.sources
mirror=${HB_FRESH_MIRROR:-}
if [ -z "$mirror" ] && [ -f "$sources" ]; then
    mirror=$(awk '/^URIs:/ { print $2; exit }' "$sources")
fi
mirror=${mirror:-http://deb.debian.org/debian}

mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9 # one run at a time: they share the cache

seconds() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

pristine="$cache/$suite-minbase.tar"
if [ ! -f "$pristine" ]; then
    echo "== Building a minimal $suite root from $mirror (once)"
    start=$SECONDS
    base="$cache/base"
    rm -rf --one-file-system "$base"
    debootstrap --variant=minbase "$suite" "$base" "$mirror"
    # A fresh machine reads the same suites (updates and security) as this one.
    if [ -f "$sources" ]; then
        cp "$sources" "$base/etc/apt/sources.list.d/debian.sources"
        rm -f "$base/etc/apt/sources.list"
    fi
    rm -rf "$base"/var/cache/apt/archives/*.deb "$base"/var/lib/apt/lists/*
    tar --numeric-owner --xattrs -C "$base" -cf "$pristine.new" .
    mv "$pristine.new" "$pristine"
    rm -rf --one-file-system "$base"
    echo "== Pristine root kept in $pristine ($(seconds $((SECONDS - start))))"
fi

root="$cache/root"
# Mounts live only in the namespace of the run that made them; never delete through a live one.
if grep -q " ${root}[/ ]" /proc/mounts; then
    echo "check-fresh-machine: something is still mounted below $root" >&2
    exit 2
fi
rm -rf --one-file-system "$root"
mkdir "$root"
tar --numeric-owner --xattrs -C "$root" -xf "$pristine"
cp /etc/resolv.conf "$root/etc/resolv.conf"

checkout=/root/hearthbench
git clone --quiet --no-checkout "$repo" "$root$checkout"
git -C "$root$checkout" -c advice.detachedHead=false checkout --quiet --detach "$commit"
echo "== CI of $(git -C "$repo" log -1 --format='%h %s' "$commit") in a fresh $suite root ($root)"

# Runs in the new namespaces: /proc of the new PID namespace, a /dev with only the usual nodes, and a
# devpts instance of its own (the tests open pseudo-terminals); all of it goes when the run ends.
inside='
set -eu
root=$1 checkout=$2
mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys"
mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
for node in null zero full random urandom tty; do
    touch "$root/dev/$node"
    mount --bind "/dev/$node" "$root/dev/$node"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
exec env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root CI=true \
    chroot "$root" /bin/bash -c "cd $checkout && exec bash .ci/run </dev/null"
'
start=$SECONDS
status=0
unshare --mount --propagation private --pid --fork --ipc --uts -- bash -c "$inside" inside "$root" "$checkout" 9>&- ||
    status=$?
elapsed=$(seconds $((SECONDS - start)))
if [ "$status" -eq 0 ]; then
    echo "== CI passed in a fresh $suite root: $elapsed"
else
    echo "== CI FAILED (status $status) in a fresh $suite root: $elapsed"
fi
exit "$status"
