#!/usr/bin/env bash
# The licence of the SoundFont shipped as qf.sf2: its copyright file and the
# licence text that file names, one after the other, with CRLF line ends.
#   make-licence.sh COPYRIGHT LICENCE_TEXT OUTPUT
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 COPYRIGHT LICENCE_TEXT OUTPUT" >&2; exit 2; }
{ cat "$1"; echo; cat "$2"; } | sed 's/$/\r/' > "$3"
