#!/usr/bin/python3
"""Draws every picture of the program and writes the resource files.

Run through render.sh (Debian's /usr/bin/python3 with python3-cairo).  Every
picture is drawn here from vector shapes; the only outside ingredient is the
WenQuanYi Micro Hei font used for the program name on the splash picture.

Outputs, in the directory given as the first argument (default: ..):
  splash.bmp       200 x 200, 24 bit, start-up picture "Bitmap"
  instruments.bmp  2565 x 141, 24 bit, fifteen 171 x 141 instrument pictures
  keycaps.bmp      152 x 39, 24 bit, four 38 x 39 key caps
  toolbar.bmp      480 x 32, 8 bit, fifteen 32 x 32 toolbar images
  qf.ico           program icon, 16, 32 and 48 pixels
  hand.cur         pointing hand cursor, 32 x 32, hot spot (10, 2)
A second argument names a directory for enlarged PNG previews.
"""

import os
import sys

import cairo

from shapes import *          # noqa: F401,F403  drawing helpers and palette
import instruments
import toolbar
import small


def Main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..')
    preview = sys.argv[2] if len(sys.argv) > 2 else None

    pictures = {}
    pictures['instruments'] = instruments.DrawStrip()
    pictures['keycaps'] = small.DrawKeyCaps()
    pictures['splash'] = small.DrawSplash()
    for name in ('instruments', 'keycaps', 'splash'):
        WriteBmp24(os.path.join(out, name + '.bmp'), pictures[name])

    bar, indices = toolbar.DrawStrip()
    WriteBmp8(os.path.join(out, 'toolbar.bmp'), bar.get_width(), bar.get_height(),
              indices, VGA)
    icons = [small.DrawIcon(size) for size in (16, 32, 48)]
    WriteIco(os.path.join(out, 'qf.ico'), icons)
    hand = small.DrawHand()
    WriteCur(os.path.join(out, 'hand.cur'), hand, 10, 2)

    if preview:
        os.makedirs(preview, exist_ok=True)
        Enlarged(pictures['instruments'], 1).write_to_png(os.path.join(preview, 'instruments.png'))
        Enlarged(pictures['keycaps'], 4).write_to_png(os.path.join(preview, 'keycaps.png'))
        Enlarged(pictures['splash'], 2).write_to_png(os.path.join(preview, 'splash.png'))
        Enlarged(bar, 3).write_to_png(os.path.join(preview, 'toolbar.png'))
        for size, icon in zip((16, 32, 48), icons):
            Enlarged(icon, 4).write_to_png(os.path.join(preview, 'icon%d.png' % size))
        Enlarged(hand, 6).write_to_png(os.path.join(preview, 'hand.png'))
        for n in range(15):
            part = cairo.ImageSurface(cairo.FORMAT_ARGB32, 171, 141)
            cr = cairo.Context(part)
            cr.set_source_surface(pictures['instruments'], -171 * n, 0)
            cr.paint()
            Enlarged(part, 2).write_to_png(os.path.join(preview, 'inst%02d.png' % n))


if __name__ == '__main__':
    Main()
