#!/bin/sh
# Redraws the program's pictures into resources/ from the sources in this folder.
# Needs Debian's python3 with python3-cairo and the font fonts-wqy-microhei.
# Usage: render.sh [preview-dir]   (a preview dir receives enlarged PNG copies)
set -e
here=$(cd "$(dirname "$0")" && pwd)
exec /usr/bin/python3 -B "$here/render.py" "$here/.." "$@"
