#!/usr/bin/env bash
# Starts 琴坊 (QF) under Wine on a Linux desktop.
#   scripts/run.sh [RECORDING.qfi]
# A recording named on the command line is loaded and played once.
#
# The program plays on its own synthesizer (qf.sf2 beside it, built in by the
# build) through Wine's audio, PulseAudio or ALSA: where Wine has no MIDI
# device, that is the device it starts on. A MIDI port of ALSA's sequencer,
# where there is one, is offered in the device menu too.
#
# Environment: QF_EXE (the program to run), QF_SKIP_SETUP=1 (do not run
# scripts/setup.sh), WINEPREFIX (default ~/.local/share/qf/wine).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Messages go to the terminal's stderr, kept aside: a signal's trap can run while
# a command's output is sent elsewhere.
exec {messageFd}>&2
say() { printf '%s\n' "$*" >&"$messageFd"; }

# ---- The program, stopped again when this script is interrupted --------------
programPid=
StopStarted() {
  if [ -n "$programPid" ] && kill -0 "$programPid" 2>/dev/null; then
    kill "$programPid" 2>/dev/null
    wait "$programPid" 2>/dev/null
  fi
}
trap StopStarted EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# ---- Packages -----------------------------------------------------------------
if [ -z "${QF_SKIP_SETUP:-}" ] && [ -f "$root/scripts/setup.sh" ]; then
  bash "$root/scripts/setup.sh" || { say "scripts/setup.sh failed."; exit 1; }
fi

# ---- The program ----------------------------------------------------------------
# The product is the 32-bit build; Wine starts it where it has its 32-bit
# half (wine32), which needs a kernel that runs 32-bit programs. Elsewhere
# the 64-bit build of the same sources runs.
source "$root/scripts/wine-session.sh"
if [ -n "${QF_EXE:-}" ]; then
  exe=$QF_EXE
else
  arch=$(wine_test_arch)
  [ "$arch" = i686 ] || say "Wine cannot start 32-bit programs here; running the 64-bit build."
  exe=$root/build/$arch/qf.exe
  if [ ! -f "$exe" ]; then
    say "Building the program (build/$arch) ..."
    cmake -S "$root" -B "$root/build/$arch" \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" >/dev/null &&
      cmake --build "$root/build/$arch" -j2 --target qf || { say "The build failed."; exit 1; }
  fi
  # The synthesizer's SoundFont beside the program.
  [ -f "$root/build/$arch/qf.sf2" ] ||
    cmake --build "$root/build/$arch" --target qf-soundfont >/dev/null 2>&1 ||
    say "qf.sf2 could not be put beside the program (package timgm6mb-soundfont): it has no synthesizer."
  # The help file beside the program; without chmcmd there is none, which is no reason to stop.
  [ -f "$root/build/$arch/qf.chm" ] ||
    cmake --build "$root/build/$arch" --target qf-help >/dev/null 2>&1 || true
fi
[ -f "$exe" ] || { say "No program at $exe."; exit 1; }
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  say "No graphical desktop (DISPLAY is not set): the program needs one to show its window."
  say "没有图形桌面（未设置 DISPLAY），程序无法显示窗口。"
  exit 1
fi

# ---- Sound ----------------------------------------------------------------------
if [ ! -d /dev/snd ] && [ ! -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ] && [ ! -f "$HOME/.asoundrc" ]; then
  say "There is no sound system on this machine (no ALSA devices, no PulseAudio): the program will find"
  say "no device to play on and will say so."
  say "本机没有声音系统（没有 ALSA 设备，也没有 PulseAudio）：程序将找不到可以发声的设备，并会提示“No MIDI output devices!”。"
fi

# ---- Wine ---------------------------------------------------------------------
export WINEPREFIX=${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/qf/wine}
# No Mono or Gecko prompts; Wine's audio drivers (PulseAudio, ALSA) stay.
export WINEDLLOVERRIDES=${QF_WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEDEBUG=${WINEDEBUG:--all}
WineRun() { "$root/scripts/wine-run.sh" "$@"; }

# A prefix made before 32-bit Wine was installed has no 32-bit system files
# and cannot start the 32-bit program: it is made again.
if [ "${arch:-}" = i686 ] && [ -f "$WINEPREFIX/system.reg" ] &&
   [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/ntdll.dll" ]; then
  say "The Wine prefix $WINEPREFIX cannot run 32-bit programs; making it again ..."
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "Preparing the Wine prefix $WINEPREFIX (once) ..."
  mkdir -p "$WINEPREFIX"
  WineRun wineboot.exe -i >/dev/null 2>&1
  # Chinese text in message boxes needs a font with the glyphs of SimSun.
  WineRun reg.exe add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun \
             /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
fi

# The program takes the whole text after its name as the path of one
# recording (Wine puts quotes around a path with blanks; the program drops them).
args=()
if [ $# -gt 0 ]; then
  path="$*"
  if [ -e "$path" ]; then
    unixPath=$(realpath "$path")
    winPath=$(/usr/lib/wine/wine64 winepath.exe -w "$unixPath" 2>/dev/null) || winPath=
    # Without winepath: Wine's drive Z: is the root of the file system.
    [ -n "$winPath" ] || winPath="Z:${unixPath//\//\\}"
  else
    winPath=$path                 # perhaps a Windows path already; the program reports it
  fi
  args=("$winPath")
fi

# The program opens its help as "qf.chm" in the current folder, beside the program.
cd "$(dirname "$exe")" || exit 1
# In the background, so that a signal to this script is handled at once.
"$root/scripts/wine-run.sh" "$exe" "${args[@]}" &
programPid=$!
wait "$programPid"
status=$?
programPid=
exit $status
