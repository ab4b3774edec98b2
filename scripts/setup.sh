#!/usr/bin/env bash
# Installs what building, testing and running need on a fresh Debian 12
# machine (as root, or with sudo), and the zh_CN.UTF-8 locale. Quick when
# everything is there already.
set -euo pipefail

packages=(
    cmake g++ clang libclang-rt-14-dev googletest libgtest-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
    wine wine64 xvfb xdotool x11-xserver-utils imagemagick fonts-wqy-microhei locales
    fp-utils-3.2.2 nsis p7zip-full zip file
    python3 python3-mido python3-cairo midicsv
    fluidsynth fluid-soundfont-gm alsa-utils
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
    "${sudo_cmd[@]}" sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi
