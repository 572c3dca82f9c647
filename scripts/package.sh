#!/usr/bin/env bash
# Builds the Debian package from build/, checks what it ships (desktop entry, AppStream data,
# manual page, lintian), builds the Ansible collection's tarball, and runs the installed program: unpacked into a throw-away root, and
# under CI (a machine of its own) also installed with apt and removed again.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -f build/qbx7config_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/qbx7config_*.deb)
echo "package: $deb"

desktop-file-validate packaging/qbx7config.desktop
appstream-util validate-relax --nonet packaging/qbx7config.metainfo.xml
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l packaging/qbx7config.1 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
lintian --fail-on error,warning "$deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

check_program() { # the installed program's path
    local program=$1 out
    out=$("$program" --version)
    echo "$out" | grep -q 'Version 1\.' || { echo "unexpected --version: $out"; exit 1; }
    out=$("$program" store --dry-run zero-style=Slashed)
    echo "$out" | grep -q '^1B 1D 23 2B 31 30 30 31 30 0A 00' || { echo "unexpected dry run: $out"; exit 1; }
    # The serial transport is a module of its own: it must load, and then fail on a line that is none.
    out=$("$program" selftest --port serial:/dev/null 2>&1 || true)
    echo "$out" | grep -q 'cannot be loaded' && { echo "the serial module does not load: $out"; exit 1; }
    echo "$out" | grep -q '^FAILED serial:/dev/null' || { echo "unexpected serial failure: $out"; exit 1; }
    # The window must come up and keep running; timeout's 124 says it was still running.
    local status=0
    HOME="$root/home" QT_QPA_PLATFORM=offscreen timeout 3 "$program" || status=$?
    [ "$status" -eq 124 ] || { echo "the installed window exited with $status"; exit 1; }
    echo "installed program works: $program"
}
mkdir -p "$root/home"
check_program "$root/usr/bin/qbx7config"
completion="$root/usr/share/bash-completion/completions/qbx7config"
bash -n "$completion" && grep -q '^complete -F _qbx7config qbx7config$' "$completion" ||
    { echo "the package's bash completion is missing or broken"; exit 1; }

# The Ansible collection, as a tarball that 'ansible-galaxy collection install' takes.
rm -f build/tesk-qbx740-*.tar.gz
ansible-galaxy collection build --force --output-path build ansible/ansible_collections/tesk/qbx740 >/dev/null
collection=$(ls build/tesk-qbx740-*.tar.gz)
tar -tzf "$collection" | grep -qx 'plugins/modules/store.py' ||
    { echo "the collection $collection lacks its store module"; exit 1; }
echo "collection: $collection"

if [ "${CI:-}" = true ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
    check_program /usr/bin/qbx7config
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq qbx7config >/dev/null
    left=$(dpkg -L qbx7config 2>/dev/null | grep -E '^/usr/(bin|share/(applications|metainfo|man|icons))/.*qbx7config' || true)
    [ -z "$left" ] && [ ! -e /usr/bin/qbx7config ] || { echo "apt remove left: $left"; exit 1; }
    echo "apt install and remove: clean"
fi
