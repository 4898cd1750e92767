#!/usr/bin/env bash
# Installs every Debian package Tarnwell needs to build, run and test.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config googletest libgtest-dev
    # the house style check (scripts/check-style.sh)
    clang-format clang-tidy
    # the windows
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # the About box opens its web site and the download address with xdg-open
    xdg-utils
    # tests: sanitizers and the fuzzer, a display for screenshots, locales
    clang libclang-rt-14-dev xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core locales
    # tests: the SOCKS5 proxy the network client is tested against
    microsocks
    # help: the compiler of tarnwell.chm, the tools that read it back, and
    # chmlib, which the program's help window reads it with
    fp-utils libchm-bin libchm-dev xdotool
    # the Debian package and its test: dependencies from the executable, the
    # menu entry's and metainfo's validators, the icon's renderer
    dpkg-dev file desktop-file-utils appstream librsvg2-bin
    # the Windows build (static, POSIX threads) and Wine to run its tests
    g++-mingw-w64-x86-64-posix wine wine64
    # the Windows installer
    nsis
    # benchmarks (bench/run.sh): the watchers Tarnwell is measured against;
    # bench/profile.sh counts instructions under callgrind
    inotify-tools fswatch valgrind
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The time-stamp tests compare the C locale with United States English; the
# update check is tried under German, whose decimal separator is a comma.
if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf8$' ||
    ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$'; then
    "${sudo_cmd[@]}" sed -i -e 's/^# *en_US.UTF-8 UTF-8/en_US.UTF-8 UTF-8/' \
        -e 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi
