#!/usr/bin/env bash
# Starts 琴坊 (QF) under Wine on a Linux desktop.
#   scripts/run.sh [RECORDING.qfi]
# A recording named on the command line is loaded and played once.
#
# The program plays through a MIDI output device. Wine's MIDI devices are the
# output ports of ALSA's sequencer; when the sequencer offers none (only
# "Midi Through"), FluidSynth with the General MIDI sound font is started as a
# sequencer client first, and stopped again when the program ends.
#
# Environment: QF_EXE (the program to run), QF_SKIP_SETUP=1 (do not run
# scripts/setup.sh), QF_SOUNDFONT, QF_FLUID_AUDIO (FluidSynth's audio driver),
# QF_SEQ_DEVICE (ALSA's sequencer device), WINEPREFIX (default
# ~/.local/share/qf/wine).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Messages go to the terminal's stderr, kept aside: a signal's trap can run while
# a command's output is sent elsewhere.
exec {messageFd}>&2
say() { printf '%s\n' "$*" >&"$messageFd"; }

# ---- What this script started, stopped again when it ends -------------------
fluidPid=
fluidFd=
programPid=
StopStarted() {
  # Interrupted while the program runs: it goes too, it would have no synthesizer left.
  if [ -n "$programPid" ] && kill -0 "$programPid" 2>/dev/null; then
    kill "$programPid" 2>/dev/null
    wait "$programPid" 2>/dev/null
  fi
  if [ -n "$fluidFd" ]; then
    exec {fluidFd}>&-          # end of its command input: FluidSynth quits
    fluidFd=
  fi
  if [ -n "$fluidPid" ]; then
    local i
    for i in 1 2 3 4 5 6 7 8 9 10; do
      kill -0 "$fluidPid" 2>/dev/null || break
      [ "$i" -eq 3 ] && kill "$fluidPid" 2>/dev/null
      sleep 0.2
    done
    kill -0 "$fluidPid" 2>/dev/null && kill -9 "$fluidPid" 2>/dev/null
    say "FluidSynth stopped."
    fluidPid=
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

# ---- A MIDI output device -------------------------------------------------------
# Names of the sequencer clients that offer a writable port, less the ones
# that make no sound ("Midi Through", and the "System" client).
SoundingClients() {
  aconnect -o 2>/dev/null |
    sed -n "s/^client [0-9]*: '\(.*\)' \[.*/\1/p" |
    grep -v -e '^Midi Through$' -e '^System$'
}

StartFluidSynth() {
  local soundFont=${QF_SOUNDFONT:-/usr/share/sounds/sf2/FluidR3_GM.sf2}
  if ! command -v fluidsynth >/dev/null; then
    say "FluidSynth is not installed (package fluidsynth): the program will find no MIDI device."
    say "未安装 FluidSynth（软件包 fluidsynth），程序将找不到 MIDI 设备。"
    return
  fi
  if [ ! -f "$soundFont" ]; then
    say "The sound font $soundFont is missing (package fluid-soundfont-gm): the program will find no MIDI device."
    say "缺少音色库 $soundFont（软件包 fluid-soundfont-gm），程序将找不到 MIDI 设备。"
    return
  fi
  local audio=${QF_FLUID_AUDIO:-}
  if [ -z "$audio" ]; then
    if [ -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ]; then
      audio=pulseaudio            # PulseAudio, or PipeWire's PulseAudio service
    else
      audio=alsa
    fi
  fi
  local logDir=${XDG_STATE_HOME:-$HOME/.local/state}/qf
  mkdir -p "$logDir"
  local log=$logDir/fluidsynth.log
  say "No MIDI output port: starting FluidSynth ($audio) ..."
  say "没有 MIDI 输出端口：正在启动 FluidSynth（$audio）……"
  # FluidSynth reads its shell commands from a pipe that only this script
  # holds: it runs until the pipe closes, also if this script is killed.
  exec {fluidFd}> >(exec fluidsynth -a "$audio" -m alsa_seq -g 1.0 \
                      -o midi.alsa_seq.id="QF $$" "$soundFont" >"$log" 2>&1)
  fluidPid=$!
  local i
  for i in $(seq 1 100); do
    if ! kill -0 "$fluidPid" 2>/dev/null; then
      say "FluidSynth ended at once; see $log:"
      tail -n 5 "$log" >&"$messageFd"
      fluidPid=
      exec {fluidFd}>&-
      fluidFd=
      return
    fi
    if SoundingClients | grep -qF "QF $$"; then
      say "FluidSynth is ready: $(SoundingClients | grep -F "QF $$")."
      return
    fi
    sleep 0.1
  done
  say "FluidSynth offers no MIDI port after 10 seconds; see $log."
}

soundSystem=1
seqDevice=${QF_SEQ_DEVICE:-/dev/snd/seq}
if [ -e "$seqDevice" ]; then
  if ! command -v aconnect >/dev/null; then
    say "aconnect (package alsa-utils) is missing; assuming there is no MIDI output port."
    StartFluidSynth
  elif clients=$(SoundingClients) && [ -n "$clients" ]; then
    say "MIDI output: $(printf '%s' "$clients" | paste -sd ',' -)."
  else
    StartFluidSynth
  fi
elif [ -d /dev/snd ]; then
  say "ALSA is present but its sequencer is not (try: sudo modprobe snd-seq): the program will find no MIDI device."
  say "有 ALSA，但没有 ALSA 音序器（可试 sudo modprobe snd-seq），程序将找不到 MIDI 设备。"
else
  say "There is no sound system on this machine (no ALSA devices): the program will find no MIDI device and will say so."
  say "本机没有声音系统（没有 ALSA 设备）：程序将找不到 MIDI 设备，并会提示“No MIDI output devices!”。"
  soundSystem=0
fi

# ---- Wine ---------------------------------------------------------------------
export WINEPREFIX=${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/qf/wine}
# No Mono or Gecko prompts. winealsa.drv is Wine's MIDI driver; only without
# any sound system is it left out, which spares the ALSA library's complaints.
if [ $soundSystem -eq 1 ]; then
  export WINEDLLOVERRIDES=${QF_WINEDLLOVERRIDES:-"mscoree,mshtml="}
else
  export WINEDLLOVERRIDES=${QF_WINEDLLOVERRIDES:-"mscoree,mshtml,winealsa.drv="}
fi
export WINEDEBUG=${WINEDEBUG:--all}
# Wine's processes (wineserver above all, which outlives the program) must not
# hold FluidSynth's command pipe open.
WithoutFluidPipe() {
  if [ -n "$fluidFd" ]; then
    "$@" {fluidFd}>&-
  else
    "$@"
  fi
}
WineRun() { WithoutFluidPipe "$root/scripts/wine-run.sh" "$@"; }

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
    winPath=$(WithoutFluidPipe /usr/lib/wine/wine64 winepath.exe -w "$unixPath" 2>/dev/null) || winPath=
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
(
  if [ -n "$fluidFd" ]; then exec {fluidFd}>&-; fi
  exec "$root/scripts/wine-run.sh" "$exe" "${args[@]}"
) &
programPid=$!
wait "$programPid"
status=$?
programPid=
exit $status
