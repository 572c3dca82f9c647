#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing QBX7Config need, skipping
# those already present. Usage: scripts/deps.sh [build|test]
set -euo pipefail

build_packages=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev libcups2-dev
    fonts-liberation2
    file man-db
    qt6-base-private-dev
)
# file and man-db belong to the README's Install section: cpack's Debian generator needs `file`,
# and `man qbx7config` needs man-db (whose groff also sets the manual that the window shows).
# qt6-base-private-dev: one test closes a window as its title bar does, through Qt's
# window-system interface, and configuring the build includes the tests.
# The tests also need a real print spooler, a serial pseudo-terminal helper, an X server for
# screenshots, and a German locale for the decimal-comma checks.
test_packages=(ansible-core desktop-file-utils appstream-util lintian dpkg-dev clang clang-tidy clang-format libclang-rt-14-dev cups cups-daemon cups-client socat xvfb xauth imagemagick locales valgrind)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = test ]; then
    wanted+=("${test_packages[@]}")
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'; }

missing=()
for p in "${wanted[@]}"; do
    installed "$p" || missing+=("$p")
done

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# Installing cups-daemon enables and starts the system's print server (its postinst does), yet the
# tests start a private cupsd of their own and leave the system's CUPS as they found it. So what
# this script installs, and only that, is stopped and disabled again afterwards. A policy-rc.d
# would keep it from starting at all, but it is one file for the whole machine, may already be
# there (containers have one), and would stay behind if this script were killed; stopping it
# afterwards needs nothing of the kind and leaves the admin free to enable it.
new_cups=()
installed cups-daemon || new_cups+=(cups-daemon)
installed cups-browsed || new_cups+=(cups-browsed)

leave_new_cups_off() {
    local scripts=() units=() actions=() package name
    for package in "${new_cups[@]}"; do
        installed "$package" || continue
        case $package in
        cups-daemon) scripts+=(cups) units+=(cups.service cups.socket cups.path) ;;
        *) scripts+=("$package") units+=("$package.service") ;;
        esac
    done
    [ ${#scripts[@]} -gt 0 ] || return 0
    if [ -d /run/systemd/system ]; then
        # systemd is running: stop the units now and keep them from starting at boot.
        "${sudo[@]}" systemctl disable --now --quiet "${units[@]}" && actions+=("stopped and disabled ${units[*]}")
    else
        # No systemd running (a chroot, a container, another init): the postinst may have started
        # the init script instead. The units' boot links are removed offline, by systemctl where it
        # is installed, else by the helper the packages' own scripts use.
        if command -v systemctl >/dev/null; then
            "${sudo[@]}" systemctl disable --quiet "${units[@]}" 2>/dev/null && actions+=("disabled ${units[*]}")
        elif command -v deb-systemd-helper >/dev/null; then
            # It acts only when called for a package, as from the package's own scripts.
            "${sudo[@]}" env DPKG_MAINTSCRIPT_PACKAGE=cups-daemon deb-systemd-helper disable "${units[@]}" \
                >/dev/null 2>&1 && actions+=("disabled ${units[*]}")
        fi
        for name in "${scripts[@]}"; do
            [ -x "/etc/init.d/$name" ] || continue
            "${sudo[@]}" invoke-rc.d "$name" stop >/dev/null 2>&1 && actions+=("stopped /etc/init.d/$name")
            "${sudo[@]}" update-rc.d "$name" disable >/dev/null 2>&1 && actions+=("disabled /etc/init.d/$name at boot")
        done
    fi
    if [ ${#actions[@]} -gt 0 ]; then
        local IFS=';'
        echo "The system's print server, just installed, is left off (the tests start a private cupsd):${actions[*]/#/ }"
    else
        echo "The system's print server was just installed and could not be stopped or disabled; the tests start a private cupsd of their own and do not need it" >&2
    fi
}

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    leave_new_cups_off
fi

if [ "${1:-build}" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${sudo[@]}" sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo[@]}" locale-gen >/dev/null
fi
