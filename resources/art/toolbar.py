"""The toolbar strip: fifteen 32 x 32 images in the sixteen VGA colours.

The toolbar's image list keeps 4 bits per pixel and no mask, so each image is
drawn with bold shapes in VGA colours on the button face grey and every pixel
is then mapped to the nearest VGA colour; what is written is what is shown.
"""

from shapes import *

K, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GRAY, RED, LIME, YELLOW, BLUE, \
    FUCHSIA, AQUA, WHITE = VGA


def Line(cr, pts, col, w):
    Poly(cr, pts, closed=False)
    Stroke(cr, col, w)


def Keys(cr, x0, y0, x1, y1, n, black_len=0.6):
    wk = (x1 - x0) / float(n)
    cr.rectangle(x0, y0, x1 - x0, y1 - y0)
    Fill(cr, WHITE)
    for i in range(1, n):
        cr.move_to(round(x0 + i * wk) + 0.5, y0)
        cr.line_to(round(x0 + i * wk) + 0.5, y1)
    Stroke(cr, K, 1.0)
    for i in range(1, n):
        if i % 7 in (3, 0):
            continue
        x = round(x0 + i * wk) + 0.5
        cr.rectangle(x - 1.5, y0, 3, round((y1 - y0) * black_len))
        Fill(cr, K)
    cr.rectangle(x0 + 0.5, y0 + 0.5, x1 - x0 - 1, y1 - y0 - 1)
    Stroke(cr, K, 1.0)


def Piano(cr):
    cr.rectangle(2, 5, 28, 5)
    Fill(cr, K)
    cr.rectangle(2, 5, 28, 1.2)
    Fill(cr, GRAY)
    Keys(cr, 2, 9, 30, 28, 5)


def Dulcimer(cr):
    pts = [(8, 6), (24, 6), (30, 25), (2, 25)]
    Poly(cr, pts)
    FillStroke(cr, OLIVE, K, 1.2)
    Poly(cr, [(10.5, 9), (21.5, 9), (25.8, 22.5), (6.2, 22.5)])
    Fill(cr, YELLOW)
    for k in range(5):
        y = 10.5 + 3 * k
        cr.move_to(9 - k * 0.8, y)
        cr.line_to(23 + k * 0.8, y)
    Stroke(cr, K, 0.9)
    Line(cr, [(12, 9), (10, 23)], MAROON, 1.6)
    Line(cr, [(19, 9), (22, 23)], MAROON, 1.6)
    cr.rectangle(2, 25, 28, 2.5)
    Fill(cr, MAROON)
    Line(cr, [(4, 30), (20, 19)], K, 1.6)
    Line(cr, [(28, 30), (13, 19)], K, 1.6)
    cr.arc(20, 19, 2, 0, 2 * math.pi)
    cr.arc(13, 19, 2, 0, 2 * math.pi)
    Fill(cr, WHITE, keep=True)
    Stroke(cr, K, 1)


def Organ(cr):
    heights = [12, 16, 20, 22, 20, 16, 12]
    for i, h in enumerate(heights):
        x = 4 + 3.5 * i
        cr.rectangle(x, 17 - h, 3, h + 1)
        Fill(cr, WHITE, keep=True)
        Stroke(cr, K, 1.0)
        cr.rectangle(x + 1, 17 - h + 1, 1, h - 2)
        Fill(cr, SILVER)
        Poly(cr, [(x, 17 - h + h * 0.7), (x + 3, 17 - h + h * 0.7), (x + 1.5, 17 - h + h * 0.7 - 2)])
        Fill(cr, K)
    cr.rectangle(2, 17, 28, 13)
    FillStroke(cr, MAROON, K, 1.0)
    Keys(cr, 4, 20, 28, 26, 7, 0.55)
    cr.rectangle(2, 27, 28, 3)
    Fill(cr, K)


def _Rot(cr, angle, cx=16, cy=16, s=1.0):
    cr.translate(cx, cy)
    cr.rotate(math.radians(angle))
    cr.scale(s, s)


def Guitar(cr):
    _Rot(cr, 45, 16, 16)
    Poly(cr, [(-1.6, -6), (1.6, -6), (1.6, -17), (-1.6, -17)])
    FillStroke(cr, MAROON, K, 1.0)
    Poly(cr, [(-2.6, -17), (2.6, -17), (2.2, -22), (-2.2, -22)])
    FillStroke(cr, K, K, 1.0)
    body = Mirror([(0, -6), (5, -5.5), (6, -2), (5, 1), (7.5, 5), (7, 11), (3.5, 13.5), (0, 14)])
    Smooth(cr, body)
    FillStroke(cr, YELLOW, K, 1.3)
    Smooth(cr, [(0, 2), (6.2, 4.8), (6.2, 10.4), (3.4, 12.8), (0, 13.4), (-3.4, 12.8), (-6.2, 10.4),
                (-6.2, 4.8)])
    Fill(cr, OLIVE)
    cr.arc(0, -0.5, 2.4, 0, 2 * math.pi)
    Fill(cr, K)
    cr.rectangle(-3, 8.5, 6, 1.8)
    Fill(cr, K)


def Bass(cr):
    _Rot(cr, 45, 15, 17)
    Poly(cr, [(-1.3, -4), (1.3, -4), (1.2, -19), (-1.2, -19)])
    FillStroke(cr, YELLOW, K, 1.0)
    Poly(cr, [(-1.2, -19), (1.2, -19), (1, -23), (-3.2, -23)])
    FillStroke(cr, YELLOW, K, 1.0)
    body = [(-2, -3), (-5, -5), (-6, -8), (-8.5, -5), (-7, 0), (-8.5, 5), (-7, 10), (0, 12),
            (7, 10), (8.5, 5), (7, 0), (8.5, -6), (7, -11), (5, -9), (2, -3)]
    Smooth(cr, body)
    FillStroke(cr, RED, K, 1.3)
    Smooth(cr, [(-5.5, 2), (-5.5, 7), (-1, 8.5), (1, 3), (-1, -2)])
    Fill(cr, WHITE)
    cr.rectangle(-3, 1, 6, 2)
    Fill(cr, K)
    cr.rectangle(-2.5, 7.5, 5, 1.5)
    Fill(cr, GRAY)


def Violin(cr, angle=40, cx=16, cy=16, s=1.0):
    cr.save()
    _Rot(cr, angle, cx, cy, s)
    body = Mirror([(0, -9), (4, -8.5), (5, -5), (3.2, -2.2), (3.2, 0.5), (6, 4), (5.5, 9), (0, 11)])
    Smooth(cr, body)
    FillStroke(cr, MAROON, K, 1.2)
    Smooth(cr, [(0, -7), (3, -6.5), (3.5, -4), (2, -2), (2.2, 1), (4, 4), (3, 7), (0, 8), (-1.5, 4),
                (-1.2, -2)])
    Fill(cr, RED)
    Poly(cr, [(-1, -15), (1, -15), (1.4, 3), (-1.4, 3)])
    Fill(cr, K)
    cr.arc(0, -16.5, 1.8, 0, 2 * math.pi)
    Fill(cr, MAROON, keep=True)
    Stroke(cr, K, 0.9)
    cr.rectangle(-2, 5, 4, 1)
    Fill(cr, YELLOW)
    cr.restore()


def Ensemble(cr):
    Keys(cr, 2, 16, 30, 30, 5)
    Violin(cr, 40, 16, 12, 0.92)
    Line(cr, [(4, 5), (27, 22)], K, 1.6)
    Line(cr, [(4, 5), (27, 22)], OLIVE, 0.8)


def Trumpet(cr):
    def loop(c):
        c.move_to(9, 15)
        c.line_to(9, 21)
        c.arc_negative(11, 21, 2, math.pi, math.pi / 2)
        c.line_to(21, 23)
        c.arc_negative(21, 19, 4, math.pi / 2, -math.pi / 2)
    loop(cr)
    Stroke(cr, K, 3.4)
    loop(cr)
    Stroke(cr, YELLOW, 1.4)
    Line(cr, [(5, 15), (22, 15)], K, 3.6)
    Line(cr, [(5, 15), (22, 15)], YELLOW, 1.6)
    Poly(cr, [(20, 13.5), (25, 12.5), (30.5, 6.5), (30.5, 23.5), (25, 17.5), (20, 16.5)])
    FillStroke(cr, YELLOW, K, 1.0)
    Line(cr, [(29.5, 8), (29.5, 22)], OLIVE, 1.4)
    Poly(cr, [(1, 12.8), (2, 14.2), (6, 14.4), (6, 15.6), (2, 15.8), (1, 17.2)])
    FillStroke(cr, SILVER, K, 0.8)
    for x in (12, 15, 18):
        cr.rectangle(x - 1, 12, 2, 11)
        Fill(cr, YELLOW)
        Line(cr, [(x, 12), (x, 9)], K, 1.0)
        cr.rectangle(x - 1.5, 7.5, 3, 1.6)
        Fill(cr, WHITE, keep=True)
        Stroke(cr, K, 0.7)
    for x in (10.5, 13.5, 16.5, 19.5):
        Line(cr, [(x, 12), (x, 23)], OLIVE, 1.0)


def Saxophone(cr):
    cr.move_to(10, 6)
    cr.line_to(10, 22)
    cr.curve_to(10, 29, 21, 29, 21, 22)
    cr.line_to(22, 13)
    Stroke(cr, K, 7.0)
    cr.move_to(10, 6)
    cr.line_to(10, 22)
    cr.curve_to(10, 29, 21, 29, 21, 22)
    cr.line_to(22, 13)
    Stroke(cr, YELLOW, 4.6)
    Poly(cr, [(17, 14), (27, 14), (25.5, 9), (18.5, 9)])
    FillStroke(cr, YELLOW, K, 1.0)
    Ellipse(cr, 22, 9.2, 3.6, 1.2)
    Fill(cr, OLIVE)
    cr.move_to(10, 7)
    cr.curve_to(10, 3, 6, 2, 3, 3)
    Stroke(cr, K, 2.8)
    cr.move_to(10, 7)
    cr.curve_to(10, 3, 6, 2, 3, 3)
    Stroke(cr, YELLOW, 1.2)
    for y in (10, 14, 18, 22):
        cr.arc(12.5, y, 1.3, 0, 2 * math.pi)
        Fill(cr, WHITE, keep=True)
        Stroke(cr, K, 0.7)
    Line(cr, [(8, 9), (8, 21)], OLIVE, 1.0)


def Flute(cr):
    _Rot(cr, -38, 16, 16)
    cr.rectangle(-19, -2.5, 38, 5)
    FillStroke(cr, WHITE, K, 1.0)
    cr.rectangle(-18.5, 0.8, 37, 1.4)
    Fill(cr, SILVER)
    for x in (-5, -1, 3, 7, 11):
        cr.arc(x, -0.5, 1.6, 0, 2 * math.pi)
        Fill(cr, GRAY, keep=True)
        Stroke(cr, K, 0.7)
    Ellipse(cr, -13.5, -0.5, 1.8, 1.1)
    Fill(cr, K)
    for x in (-9, 15):
        Line(cr, [(x, -2.5), (x, 2.5)], GRAY, 1.0)


def NightBird(cr):
    RoundRect(cr, 1.5, 1.5, 29, 29, 2)
    FillStroke(cr, NAVY, K, 1.0)
    cr.arc(11, 11, 7, 0, 2 * math.pi)
    cr.arc_negative(14.5, 8.5, 6, 2 * math.pi, 0)
    cr.set_fill_rule(cairo.FILL_RULE_EVEN_ODD)
    Fill(cr, YELLOW)
    cr.set_fill_rule(cairo.FILL_RULE_WINDING)
    for x, y in ((24, 5), (27, 12), (19, 4), (5, 26), (26, 27)):
        cr.rectangle(x, y, 1, 1)
        Fill(cr, WHITE)
    # bird in flight
    cr.move_to(12, 22)
    cr.curve_to(15, 17, 18, 17, 20, 21)
    cr.curve_to(22, 17, 25, 16, 28, 18)
    cr.curve_to(24, 19, 22, 21, 20, 24)
    cr.curve_to(18, 20, 15, 20, 12, 22)
    cr.close_path()
    Fill(cr, WHITE, keep=True)
    Stroke(cr, SILVER, 0.6)


def Zither(cr):
    _Rot(cr, -30, 16, 16)
    Poly(cr, [(-17, -4), (17, -5.5), (17, 5.5), (-17, 4)])
    FillStroke(cr, OLIVE, K, 1.2)
    Poly(cr, [(-17, 4), (17, 5.5), (17, 7.5), (-17, 6)])
    Fill(cr, MAROON)
    for k in range(4):
        y = -2.6 + 1.8 * k
        cr.move_to(-15, y * 0.9)
        cr.line_to(15, y * 1.2)
    Stroke(cr, YELLOW, 0.8)
    for k in range(4):
        x = -6 + 4.5 * k - (k % 2) * 2
        y = (-2.6 + 1.8 * k) * 1.05
        cr.rectangle(x - 1, y - 1, 2, 2)
        Fill(cr, WHITE)
    cr.rectangle(12, -5.3, 5, 10.8)
    Fill(cr, MAROON)


def SteelDrum(cr):
    cr.rectangle(4, 11, 24, 13)
    Fill(cr, GRAY)
    cr.rectangle(10, 11, 6, 13)
    Fill(cr, SILVER)
    Ellipse(cr, 16, 24, 12, 4)
    Fill(cr, GRAY)
    Line(cr, [(4, 11), (4, 24)], K, 1.0)
    Line(cr, [(28, 11), (28, 24)], K, 1.0)
    cr.save()
    cr.translate(16, 24)
    cr.scale(12, 4)
    cr.arc(0, 0, 1, 0, math.pi)
    cr.restore()
    Stroke(cr, K, 1.0)
    Line(cr, [(4, 17), (28, 17)], K, 1.4)
    Ellipse(cr, 16, 11, 12, 5)
    FillStroke(cr, WHITE, K, 1.0)
    Ellipse(cr, 16, 11.5, 9, 3.2)
    Fill(cr, SILVER)
    for x, y in ((10, 11), (14, 10), (18, 10), (22, 11), (16, 13)):
        Ellipse(cr, x, y, 1.6, 1)
        Fill(cr, GRAY)
    Line(cr, [(29, 30), (22, 5)], K, 1.2)
    cr.arc(22, 5, 2, 0, 2 * math.pi)
    FillStroke(cr, RED, K, 0.8)


def SeaSun(cr):
    RoundRect(cr, 1.5, 1.5, 29, 29, 2)
    Fill(cr, AQUA)
    cr.arc(16, 19, 8, math.pi, 2 * math.pi)
    Fill(cr, YELLOW)
    cr.arc(16, 19, 5.5, math.pi, 2 * math.pi)
    Fill(cr, RED)
    cr.rectangle(1.5, 19, 29, 11.5)
    Fill(cr, BLUE)
    for y in (22.5, 26.5):
        cr.move_to(3, y)
        for x in range(3, 30, 4):
            cr.curve_to(x + 1, y - 1, x + 2, y - 1, x + 4, y)
        Stroke(cr, WHITE, 0.8)
    Poly(cr, [(22, 5), (22, 18), (15, 18)])
    FillStroke(cr, WHITE, K, 0.8)
    Poly(cr, [(14, 19), (27, 19), (25, 22), (16, 22)])
    Fill(cr, MAROON)
    for x, y in ((6, 7), (10, 5), (5, 12)):
        cr.move_to(x - 2.5, y)
        cr.curve_to(x - 1.5, y - 1.5, x - 0.5, y - 1.5, x, y)
        cr.curve_to(x + 0.5, y - 1.5, x + 1.5, y - 1.5, x + 2.5, y)
        Stroke(cr, K, 0.9)
    RoundRect(cr, 1.5, 1.5, 29, 29, 2)
    Stroke(cr, K, 1.0)


def DrumKit(cr):
    # cymbal
    Line(cr, [(25, 6), (25, 28)], K, 1.0)
    Ellipse(cr, 25, 6, 6, 1.6)
    FillStroke(cr, YELLOW, OLIVE, 0.8)
    # toms
    for cx, cy in ((9, 11), (17, 10)):
        cr.rectangle(cx - 4, cy, 8, 5)
        FillStroke(cr, RED, K, 0.9)
        Ellipse(cr, cx, cy, 4, 1.6)
        FillStroke(cr, WHITE, K, 0.9)
    # bass drum
    cr.arc(14, 22, 8.5, 0, 2 * math.pi)
    FillStroke(cr, RED, K, 1.0)
    cr.arc(14, 22, 6.5, 0, 2 * math.pi)
    FillStroke(cr, WHITE, K, 0.8)
    cr.arc(14, 22, 2.2, 0, 2 * math.pi)
    Fill(cr, RED)
    Line(cr, [(6, 30), (9, 28)], K, 1.2)
    Line(cr, [(22, 30), (19, 28)], K, 1.2)


ICONS = [Piano, Dulcimer, Organ, Guitar, Bass, Violin, Ensemble, Trumpet, Saxophone, Flute,
         NightBird, Zither, SteelDrum, SeaSun, DrumKit]


def _Nearest(r, g, b):
    best, index = None, 0
    for i, (pr, pg, pb) in enumerate(VGA):
        d = 3 * (r - pr) ** 2 + 4 * (g - pg) ** 2 + 2 * (b - pb) ** 2
        if best is None or d < best:
            best, index = d, i
    return index


def DrawStrip():
    """Returns the strip (as shown) and its pixels as indices into VGA."""
    s, cr = Canvas(32 * 15, 32, SILVER)
    for n, draw in enumerate(ICONS):
        cr.save()
        cr.translate(32 * n, 0)
        cr.rectangle(0, 0, 32, 32)
        cr.clip()
        draw(cr)
        cr.restore()
    rows = Pixels(s)
    cache = {}
    indices = []
    for row in rows:
        for r, g, b, a in row:
            key = (r, g, b)
            if key not in cache:
                cache[key] = _Nearest(r, g, b)
            indices.append(cache[key])
    # show the mapped colours in the returned surface
    shown, cr = Canvas(32 * 15, 32)
    cr.set_antialias(cairo.ANTIALIAS_NONE)
    for i, idx in enumerate(indices):
        cr.rectangle(i % 480, i // 480, 1, 1)
        cr.set_source_rgb(*[v / 255.0 for v in VGA[idx]])
        cr.fill()
    return shown, indices
