"""Key caps, the splash picture, the program icon and the hand cursor."""

from shapes import *
import instruments

CAP_FACES = [(239, 239, 240), (208, 239, 255), (244, 218, 231), (216, 243, 228)]


# ---------------------------------------------------------------- key caps

def DrawKeyCaps():
    """Four bevelled 38 x 39 caps: idle, sounding, raised an octave, lowered an octave.

    The face is left plain: the label and the octave dots are drawn over it.
    """
    strip, cr = Canvas(38 * 4, 39, GROUND)
    cr.set_line_join(cairo.LINE_JOIN_MITER)
    for n, face in enumerate(CAP_FACES):
        cr.save()
        cr.translate(38 * n, 0)
        ox0, oy0, ox1, oy1 = 0.5, 0.5, 37.5, 38.5          # outer edge
        fx0, fy0, fx1, fy1 = 4.0, 2.0, 34.0, 34.0          # face
        RoundRect(cr, ox0, oy0, ox1 - ox0, oy1 - oy0, 4)
        cr.clip()
        cr.paint_with_alpha(0)
        RoundRect(cr, ox0, oy0, ox1 - ox0, oy1 - oy0, 4)
        Fill(cr, Darker(face, 0.2))
        sides = [([(ox0, oy0), (ox1, oy0), (fx1, fy0), (fx0, fy0)], Darker(face, 0.06)),
                 ([(ox0, oy0), (fx0, fy0), (fx0, fy1), (ox0, oy1)], Darker(face, 0.15)),
                 ([(ox1, oy0), (ox1, oy1), (fx1, fy1), (fx1, fy0)], Darker(face, 0.27)),
                 ([(ox0, oy1), (fx0, fy1), (fx1, fy1), (ox1, oy1)], Darker(face, 0.36))]
        for pts, col in sides:
            Poly(cr, pts)
            Fill(cr, col, keep=True)
            Stroke(cr, col, 0.6)
        # soft rounding of the skirt towards the face
        RoundRect(cr, fx0 - 1.5, fy0 - 1, fx1 - fx0 + 3, fy1 - fy0 + 2.5, 4)
        Stroke(cr, Lighter(Darker(face, 0.12), 0.1) + (0.45,), 1.0)
        cr.reset_clip()
        RoundRect(cr, fx0, fy0, fx1 - fx0, fy1 - fy0, 3)
        Fill(cr, face)
        cr.move_to(fx0 + 3, fy0 + 0.5)
        cr.line_to(fx1 - 3, fy0 + 0.5)
        Stroke(cr, Lighter(face, 0.6), 1.0)
        RoundRect(cr, ox0, oy0, ox1 - ox0, oy1 - oy0, 4)
        Stroke(cr, Darker(face, 0.62), 1.0)
        cr.restore()
    # the face centre carries the exact colour
    return strip


# ---------------------------------------------------------------- splash

FONT = 'WenQuanYi Micro Hei'


def _Text(cr, text, size, cx, baseline, fill, outline=None, shadow=None):
    cr.select_font_face(FONT, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(size)
    ext = cr.text_extents(text)
    x = cx - ext.width / 2 - ext.x_bearing
    if shadow:
        cr.move_to(x + 2, baseline + 2.5)
        cr.text_path(text)
        Fill(cr, shadow)
    cr.move_to(x, baseline)
    cr.text_path(text)
    if outline:
        Stroke(cr, outline[0], outline[1], keep=True)
    Fill(cr, fill)


def DrawSplash():
    s, cr = Canvas(200, 200)
    cr.rectangle(0, 0, 200, 200)
    Fill(cr, Radial(100, 70, 5, 100, 90, 150, (0, (46, 150, 70)), (0.5, (20, 100, 36)), (1, (4, 34, 12))))
    # flowing staff with notes
    for k in range(5):
        cr.move_to(-5, 112 + 4.2 * k)
        cr.curve_to(60, 88 + 4.2 * k, 120, 148 + 4.2 * k, 205, 96 + 4.2 * k)
    Stroke(cr, (255, 230, 150, 0.35), 0.7)
    for x, y, size, dbl in ((24, 104, 12, False), (56, 104, 11, True), (134, 120, 12, False),
                            (160, 102, 12, True)):
        Note(cr, x, y, size, (255, 232, 150, 0.85), dbl)
    # keyboard in perspective at the bottom
    y0, y1 = 150, 200
    n = 14
    for k in range(n):
        xa = -6 + 15.2 * k
        xb = -30 + 18.6 * k
        Poly(cr, [(xa, y0), (xa + 15.2, y0), (xb + 18.6, y1), (xb, y1)])
        FillStroke(cr, Linear(0, y0, 0, y1, (0, (215, 215, 208)), (1, (255, 255, 250))), (90, 90, 90), 0.7)
    for k in range(n):
        if k % 7 in (2, 6):
            continue
        xa = -6 + 15.2 * (k + 1)
        xb = -30 + 18.6 * (k + 1)
        t = 0.6
        xm = xa + (xb - xa) * t
        Poly(cr, [(xa - 4.3, y0), (xa + 4.3, y0), (xm + 4.8, y0 + (y1 - y0) * t), (xm - 4.8, y0 + (y1 - y0) * t)])
        Fill(cr, Linear(0, y0, 0, y1, (0, (70, 70, 76)), (1, (8, 8, 10))))
    cr.rectangle(0, y0 - 5, 200, 5)
    Fill(cr, Linear(0, y0 - 5, 0, y0, (0, (120, 20, 20)), (1, (60, 6, 6))))
    cr.rectangle(0, y0 - 5, 200, 1)
    Fill(cr, (230, 190, 90))
    # the name
    _Text(cr, '琴坊', 64, 100, 82, Linear(0, 24, 0, 84, (0, (255, 250, 200)), (0.5, (255, 214, 90)),
                                            (1, (220, 150, 30))),
          outline=((90, 40, 0), 3.0), shadow=(0, 0, 0, 0.45))
    _Text(cr, '电脑键盘 MIDI 乐器', 13, 100, 136, (255, 245, 215), shadow=(0, 0, 0, 0.5))
    # frame
    cr.rectangle(3.5, 3.5, 193, 193)
    Stroke(cr, (230, 190, 90, 0.8), 1.0)
    cr.rectangle(0.5, 0.5, 199, 199)
    Stroke(cr, (0, 20, 0), 1.0)
    return s


# ---------------------------------------------------------------- program icon

def DrawIcon(size):
    """The program icon: white keys and a golden note on a green tile."""
    s, cr = Canvas(size, size)
    k = size / 48.0
    cr.scale(k, k)
    edge = 0.5 / k
    RoundRect(cr, 1 + edge, 1 + edge, 46 - 2 * edge, 46 - 2 * edge, 8)
    FillStroke(cr, Linear(0, 0, 0, 48, (0, (60, 175, 70)), (1, (12, 84, 24))), (6, 46, 10), 1.0 / k)
    # keys
    nk = 3 if size == 16 else 5
    x0, x1, y0, y1 = 5.0, 43.0, 27.0, 43.0
    if size == 16:
        y0 = 26.0
    wk = (x1 - x0) / nk
    cr.rectangle(x0, y0, x1 - x0, y1 - y0)
    Fill(cr, (252, 252, 248))
    for i in range(1, nk):
        cr.move_to(x0 + i * wk, y0)
        cr.line_to(x0 + i * wk, y1)
    Stroke(cr, (60, 60, 60), max(1.0 / k, 1.0))
    for i in range(1, nk):
        if nk == 5 and i == 3:
            continue
        x = x0 + i * wk
        bw = wk * 0.55
        cr.rectangle(x - bw / 2, y0, bw, (y1 - y0) * 0.6)
        Fill(cr, (10, 10, 10))
    cr.rectangle(x0, y0, x1 - x0, y1 - y0)
    Stroke(cr, (20, 40, 20), 1.0 / k)
    # note
    gold = Linear(0, 4, 0, 26, (0, (255, 245, 160)), (1, (240, 170, 20)))
    if size == 16:
        Ellipse(cr, 20, 20, 6.5, 4.8)
        Fill(cr, gold)
        cr.rectangle(24, 3, 3.5, 17)
        Fill(cr, gold)
        Poly(cr, [(27.5, 3), (36, 9), (36, 13), (27.5, 8)])
        Fill(cr, gold)
    else:
        with Place(cr, 19, 20, -20):
            Ellipse(cr, 0, 0, 6.2, 4.4)
        FillStroke(cr, gold, (110, 60, 0), 1.0 / k)
        cr.rectangle(23.2, 4, 2.8, 16)
        FillStroke(cr, gold, (110, 60, 0), 0.8 / k)
        cr.move_to(26, 4)
        cr.curve_to(27, 9, 36, 10, 33, 19)
        cr.curve_to(34, 13, 29, 11.5, 26, 11)
        cr.close_path()
        FillStroke(cr, gold, (110, 60, 0), 0.8 / k)
    return s


# ---------------------------------------------------------------- hand cursor

def DrawHand():
    """A white pointing hand with a black outline; the fingertip is at (10, 2)."""
    s, cr = Canvas(32, 32)
    outline = [(8.0, 14.5), (8.0, 3.5), (9.0, 1.6), (10.5, 1.2), (12.0, 1.6), (13.0, 3.5),
               (13.0, 11.0), (14.0, 10.0), (15.5, 9.8), (17.0, 10.6), (17.6, 11.5),
               (18.5, 10.7), (20.0, 10.6), (21.4, 11.5), (21.8, 12.4), (22.8, 11.9), (24.2, 12.2),
               (25.2, 13.6), (25.4, 18.0), (24.6, 23.0), (22.6, 26.0), (22.6, 29.5),
               (10.6, 29.5), (10.6, 27.0), (6.5, 22.5), (3.2, 18.2), (3.0, 16.2), (4.2, 15.0),
               (6.0, 15.4)]
    Poly(cr, outline)
    cr.close_path()
    Fill(cr, (255, 255, 255), keep=True)
    Stroke(cr, (0, 0, 0), 1.0)
    cr.move_to(8.0, 18.0)
    cr.curve_to(8.6, 19.5, 9.2, 20.5, 10.2, 21.5)
    Stroke(cr, (0, 0, 0), 0.8)
    # knuckle creases
    for x, y0, y1 in ((13.0, 11.0, 15.5), (17.6, 11.5, 15.5), (21.8, 12.4, 16.0)):
        cr.move_to(x, y0)
        cr.line_to(x, y1)
    Stroke(cr, (0, 0, 0), 0.9)
    cr.move_to(11.0, 26.5)
    cr.line_to(22.2, 26.5)
    Stroke(cr, (0, 0, 0), 0.9)
    return s
