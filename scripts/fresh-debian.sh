#!/usr/bin/env bash
# Runs the README's set-up commands as a newcomer meets them: on a fresh Debian 12 (a minbase
# debootstrap with only git and ca-certificates added), as root, from a clone of this repository's
# HEAD in root's home, which only root may enter.
#
# Usage: scripts/fresh-debian.sh [--keep] [COMMAND]
#   COMMAND   run in the clone by bash (default: scripts/run.sh --version && CI=true scripts/test.sh)
#   --keep    leave the system in the folder it names at the end, for a look inside
# QBX_FRESH_CACHE: a tarball of the bare system, made on the first run and reused (default
# /var/cache/qbx7config-fresh-bookworm.tar). Needs root, debootstrap and the network to Debian.
#
# The system runs in its own mount and PID namespaces, so whatever it mounted or started (a print
# server, a virtual display) ends with it, whatever happens; the folder is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

keep=0
if [ "${1:-}" = --keep ]; then
    keep=1
    shift
fi
command=${1:-'scripts/run.sh --version && CI=true scripts/test.sh'}
cache=${QBX_FRESH_CACHE:-/var/cache/qbx7config-fresh-bookworm.tar}

[ "$(id -u)" -eq 0 ] || { echo "fresh-debian.sh: run it as root (it makes a chroot)" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "fresh-debian.sh: needs debootstrap: apt-get install debootstrap" >&2; exit 2; }

root=$(mktemp -d /var/tmp/qbx7config-fresh.XXXXXX)
cleanup() {
    if [ "$keep" = 1 ]; then
        echo "The system is left in $root (remove it with: rm -rf --one-file-system $root)"
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

if [ ! -s "$cache" ]; then
    echo "Making a minbase Debian 12 with git and ca-certificates (once; kept in $cache)"
    debootstrap --variant=minbase --include=git,ca-certificates bookworm "$root" http://deb.debian.org/debian >/dev/null
    tar -C "$root" -cf "$cache.part" . && mv "$cache.part" "$cache"
else
    tar -C "$root" -xf "$cache"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# mktemp made the folder, and so the system's /, for root alone; a real / lets every user in (the
# print server's backends run as 'lp').
chmod 755 "$root"
chmod 700 "$root/root"
git clone --quiet --no-hardlinks "$repo" "$root/root/qbx7config"

# The mounts a system needs, made inside a private mount namespace; the PID namespace ends every
# process the command left behind when it ends.
inside='
set -e
mount --make-rprivate /
mount -t proc proc "$1/proc"
mount --rbind /sys "$1/sys"
mount -t tmpfs -o mode=755 dev "$1/dev"
for node in null zero full random urandom tty; do
    touch "$1/dev/$node"
    mount --bind "/dev/$node" "$1/dev/$node"
done
mkdir -p "$1/dev/pts" "$1/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$1/dev/pts"
ln -s pts/ptmx "$1/dev/ptmx"
mount -t tmpfs -o mode=1777 shm "$1/dev/shm"
ln -s /proc/self/fd "$1/dev/fd"
ln -s /proc/self/fd/0 "$1/dev/stdin"
ln -s /proc/self/fd/1 "$1/dev/stdout"
ln -s /proc/self/fd/2 "$1/dev/stderr"
exec chroot "$1" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/qbx7config && $2"
'
echo "Running in a fresh Debian 12 at $root: $command"
start=$(date +%s)
status=0
unshare --mount --pid --fork --kill-child bash -c "$inside" fresh "$root" "$command" || status=$?
echo "Finished with status $status after $(($(date +%s) - start)) s; the system took $(du -sh --one-file-system "$root" | cut -f1)"
exit "$status"
