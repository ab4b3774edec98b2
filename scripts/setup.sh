#!/usr/bin/env bash
# Installs what building, testing and running need on a fresh Debian 12
# machine (as root, or with sudo), 32-bit Wine and the Chinese locales. Quick when
# everything is there already.
set -euo pipefail

packages=(
    cmake g++ clang libclang-rt-14-dev googletest libgtest-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
    wine wine64 xvfb xdotool x11-xserver-utils imagemagick fonts-wqy-microhei locales
    fp-utils-3.2.2 nsis p7zip-full zip file
    python3 python3-mido python3-cairo midicsv
    fluidsynth
    # The synthesizer's General MIDI font and the checks of what it renders.
    timgm6mb-soundfont python3-numpy
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# The product is a 32-bit program: Wine runs it with its 32-bit half
# (wine32, from the i386 architecture), which needs a kernel that executes
# 32-bit programs. Where the kernel cannot, wine32 would only break Debian's
# wine commands (they prefer the 32-bit loader), so it is left out and the
# tests run the 64-bit build of the same sources.
Kernel32BitWorks() {
    local probe
    probe=$(mktemp) || return 1
    # A 93-byte i386 program that exits with status 0.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    local status=$?
    rm -f "$probe"
    return $status
}
need_update=0
if Kernel32BitWorks; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo_cmd[@]}" dpkg --add-architecture i386
        need_update=1
    fi
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" || missing+=("wine32:i386")
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    need_update=1
fi
if [ "$need_update" -eq 1 ]; then
    "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The program is tested as a Chinese (code page 936) and a Traditional
# Chinese (code page 950) Windows shows it; C.UTF-8 gives code page 1252.
gen=0
for loc in zh_CN zh_TW; do
    if ! locale -a 2>/dev/null | grep -qi "^$loc.utf8$"; then
        "${sudo_cmd[@]}" sed -i "s/^# *$loc.UTF-8 UTF-8/$loc.UTF-8 UTF-8/" /etc/locale.gen
        grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
        gen=1
    fi
done
[ "$gen" -eq 0 ] || "${sudo_cmd[@]}" locale-gen >/dev/null
