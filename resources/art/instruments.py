"""The instrument strip: fifteen 171 x 141 pictures on the dark green ground.

Each instrument is drawn in a frame of its own (upright or lengthwise, about
200 units long) so that the collages can reuse it at another size and angle.
"""

from shapes import *

W, H = 171, 141

INK = (34, 18, 8)            # outline of wooden parts
GOLD_DARK = (120, 78, 8)
GOLD = (222, 172, 44)
GOLD_LIGHT = (255, 238, 160)


def Strings(cr, pairs, col=(235, 235, 225), width=0.5):
    for (x0, y0), (x1, y1) in pairs:
        cr.move_to(x0, y0)
        cr.line_to(x1, y1)
    Stroke(cr, col, width)


def Tube(cr, path_fn, width, base=GOLD, dark=GOLD_DARK, light=GOLD_LIGHT, shift=(0, -0.25)):
    """A round metal tube along the path that path_fn traces."""
    for col, w in ((dark, width + 1.6), (base, width)):
        path_fn(cr)
        Stroke(cr, col, w)
    cr.save()
    cr.translate(shift[0] * width, shift[1] * width)
    path_fn(cr)
    Stroke(cr, light + (0.85,), width * 0.3)
    cr.restore()


# ---------------------------------------------------------------- guitar

def Guitar(cr):
    """Acoustic steel-string guitar, upright, body centre near (0, 10)."""
    body = Mirror([(0, -40), (18, -39.5), (28, -34), (31, -22), (27, -9), (26, -3),
                   (33, 10), (38.5, 26), (37, 44), (28, 57), (14, 63), (0, 64)])
    Smooth(cr, body)
    Fill(cr, (60, 28, 8))
    with Place(cr, 0, 12, 0, 0.955, 0.965):
        Smooth(cr, body)
        Fill(cr, Radial(4, 0, 4, 0, 0, 52, (0, (252, 214, 140)), (0.55, (232, 168, 80)),
                        (0.85, (196, 120, 48)), (1, (140, 72, 24))))
    with Place(cr, 0, 12, 0, 0.92, 0.935):
        cr.translate(0, -12)
        Smooth(cr, body)
        Stroke(cr, (250, 235, 200, 0.55), 0.8)
    # pick guard and rosette
    Smooth(cr, [(10, -2), (20, 2), (22, 14), (14, 19), (8, 9)])
    Fill(cr, (70, 35, 18, 0.85))
    cr.arc(0, -14, 15.5, 0, 2 * math.pi)
    Stroke(cr, (110, 55, 20), 1.2)
    cr.arc(0, -14, 13.8, 0, 2 * math.pi)
    Stroke(cr, (250, 230, 190), 1.4)
    cr.arc(0, -14, 11.5, 0, 2 * math.pi)
    Fill(cr, Radial(0, -16, 1, 0, -14, 11.5, (0, (18, 8, 4)), (1, (55, 28, 10))))
    # bridge
    RoundRect(cr, -15, 33, 30, 7, 3)
    FillStroke(cr, (78, 38, 16), (40, 18, 6), 0.6)
    cr.move_to(-9, 35)
    cr.line_to(9, 35)
    Stroke(cr, (245, 240, 225), 1.0)
    # neck, frets, head
    Poly(cr, [(-6.5, -37), (6.5, -37), (5.2, -113), (-5.2, -113)])
    Fill(cr, Linear(-6, 0, 6, 0, (0, (45, 22, 12)), (0.5, (82, 44, 26)), (1, (40, 20, 10))))
    y, step = -39.0, 6.4
    while y > -112:
        cr.move_to(-6.2 + (y + 37) * -0.017, y)
        cr.line_to(6.2 - (y + 37) * -0.017, y)
        y -= step
        step *= 0.95
    Stroke(cr, (210, 210, 200), 0.7)
    for dy in (-58, -71, -82, -93):
        cr.arc(0, dy, 1.0, 0, 2 * math.pi)
        Fill(cr, (240, 235, 220))
    cr.rectangle(-5.4, -114.5, 10.8, 2)
    Fill(cr, (245, 240, 225))
    head = [(-5.2, -114), (-8.5, -122), (-9.5, -136), (-4, -139), (0, -137.5), (4, -139),
            (9.5, -136), (8.5, -122), (5.2, -114)]
    Poly(cr, head)
    FillStroke(cr, Linear(-9, 0, 9, 0, (0, (50, 24, 10)), (0.5, (105, 55, 22)), (1, (50, 24, 10))),
               INK, 0.8)
    for side in (-1, 1):
        for k in range(3):
            yy = -119 - 6.5 * k
            cr.move_to(side * 8, yy)
            cr.line_to(side * 12.5, yy)
            Stroke(cr, (190, 190, 185), 1.4)
            Ellipse(cr, side * 14, yy, 2.2, 1.6)
            FillStroke(cr, (245, 238, 215), (120, 110, 90), 0.5)
            cr.arc(side * 4.3, yy, 1.1, 0, 2 * math.pi)
            Fill(cr, (220, 220, 215))
    Strings(cr, [((-4.5 + 1.8 * i, 35), (-3.6 + 1.44 * i, -113)) for i in range(6)],
            (240, 240, 232), 0.45)


# ---------------------------------------------------------------- electric bass

def Bass(cr):
    """Solid-body electric bass, upright, body centre near (0, 20)."""
    body = [(-9, -20), (-20, -27), (-27, -40), (-34, -37), (-35, -21), (-30, -4),
            (-37, 14), (-40, 34), (-32, 53), (-12, 62), (12, 62), (32, 53), (40, 33),
            (37, 14), (30, -2), (33, -24), (30, -52), (23, -52), (15, -34), (9, -20)]
    with Place(cr, 1.5, 2.5):
        Smooth(cr, body)
        Fill(cr, (0, 0, 0, 0.25))
    Smooth(cr, body)
    Fill(cr, Radial(-4, 22, 4, 0, 20, 52, (0, (255, 196, 70)), (0.45, (226, 92, 24)),
                    (0.8, (132, 26, 12)), (1, (48, 10, 6))))
    Smooth(cr, body)
    Stroke(cr, (30, 6, 4), 1.0)
    # pick guard
    guard = [(-8, -19), (-18, -22), (-24, -12), (-26, 8), (-20, 24), (-12, 30),
             (-4, 24), (8, 16), (12, 2), (10, -14)]
    Smooth(cr, guard)
    FillStroke(cr, (246, 244, 236), (150, 140, 120), 0.6)
    # neck and frets
    Poly(cr, [(-6, -14), (6, -14), (4.6, -138), (-4.6, -138)])
    FillStroke(cr, Linear(-6, 0, 6, 0, (0, (205, 160, 95)), (0.5, (245, 214, 150)),
                          (1, (200, 150, 85))), (120, 80, 40), 0.6)
    y, step = -22.0, 7.6
    while y > -136:
        cr.move_to(-5.8 + (y + 14) * -0.011, y)
        cr.line_to(5.8 - (y + 14) * -0.011, y)
        y -= step
        step *= 0.955
    Stroke(cr, (150, 140, 130), 0.7)
    for dy in (-64, -78, -91, -103):
        cr.arc(0, dy, 1.1, 0, 2 * math.pi)
        Fill(cr, (25, 20, 15))
    cr.rectangle(-4.8, -139.5, 9.6, 1.8)
    Fill(cr, (250, 248, 240))
    # head with four tuners on one side
    head = [(-4.6, -139), (-6, -148), (-9, -176), (-6, -184), (0, -184), (5, -176),
            (7, -160), (4.8, -146), (4.6, -139)]
    Smooth(cr, head)
    FillStroke(cr, Linear(-8, 0, 8, 0, (0, (205, 160, 95)), (0.5, (245, 214, 150)),
                          (1, (200, 150, 85))), (120, 80, 40), 0.6)
    for k in range(4):
        yy = -147 - 9 * k
        cr.move_to(-7, yy)
        cr.line_to(-12, yy)
        Stroke(cr, (200, 200, 205), 2.0)
        Smooth(cr, [(-12, yy - 2.5), (-17, yy - 3.5), (-18, yy + 3.5), (-12, yy + 2.5)])
        FillStroke(cr, Linear(0, yy - 3, 0, yy + 3, (0, (250, 250, 252)), (1, (130, 135, 145))),
                   (80, 80, 90), 0.5)
        cr.arc(-2, yy, 1.5, 0, 2 * math.pi)
        FillStroke(cr, (225, 225, 230), (90, 90, 95), 0.4)
    # pickups, bridge and knobs
    for px, py in ((-8, 8), (6, 12)):
        RoundRect(cr, px - 6, py - 3.2, 12, 6.4, 3)
        Fill(cr, (22, 20, 20))
        for k in range(2):
            cr.arc(px - 2.5 + 5 * k, py, 0.9, 0, 2 * math.pi)
            Fill(cr, (150, 150, 150))
    RoundRect(cr, -9, 40, 18, 7, 1.5)
    FillStroke(cr, Linear(0, 40, 0, 47, (0, (250, 250, 252)), (1, (140, 145, 155))), (70, 70, 80), 0.6)
    for kx, ky in ((20, 36), (25, 46)):
        cr.arc(kx, ky, 3.2, 0, 2 * math.pi)
        FillStroke(cr, Radial(kx - 1, ky - 1, 0.5, kx, ky, 3.2, (0, (250, 250, 250)), (1, (120, 120, 125))),
                   (50, 50, 55), 0.5)
    Strings(cr, [((-4.5 + 3 * i, 44), (-3.3 + 2.2 * i, -139)) for i in range(4)], (230, 230, 225), 0.7)
    Strings(cr, [((-3.3 + 2.2 * i, -139), (-2, -147 - 9 * i)) for i in range(4)], (230, 230, 225), 0.6)


# ---------------------------------------------------------------- violin

def Violin(cr):
    """Violin, upright, body centre near (0, 3)."""
    body = Mirror([(0, -50), (13, -49.5), (23, -45), (27, -35), (25, -24), (20, -18.5),
                   (16.5, -13), (15.5, -3), (17.5, 6), (23, 11), (30, 21), (32, 35),
                   (27, 48), (15, 55), (0, 56.5)])
    Smooth(cr, body)
    Fill(cr, (52, 16, 4))
    with Place(cr, 0, 3, 0, 0.95, 0.965):
        cr.translate(0, -3)
        Smooth(cr, body)
        Fill(cr, Radial(-3, 0, 3, 0, 3, 55, (0, (250, 170, 70)), (0.5, (214, 100, 30)),
                        (0.85, (150, 52, 14)), (1, (96, 30, 8))))
    with Place(cr, 0, 3, 0, 0.91, 0.935):
        cr.translate(0, -3)
        Smooth(cr, body)
        Stroke(cr, (40, 14, 4, 0.7), 0.6)
    # f-holes
    for side in (-1, 1):
        with Place(cr, side * 12, 4):
            cr.move_to(side * 2.5, -14)
            cr.curve_to(side * -4, -7, side * 5, 5, side * -2.5, 13)
            Stroke(cr, (30, 10, 2), 1.4)
            cr.arc(side * 2.5, -14, 1.5, 0, 2 * math.pi)
            cr.arc(side * -2.5, 13, 1.5, 0, 2 * math.pi)
            Fill(cr, (30, 10, 2))
    # tailpiece, chinrest and bridge
    Smooth(cr, [(-3.5, 28), (3.5, 28), (5.5, 50), (0, 54), (-5.5, 50)])
    Fill(cr, Linear(-5, 0, 5, 0, (0, (10, 8, 8)), (0.5, (70, 60, 55)), (1, (10, 8, 8))))
    Smooth(cr, [(-22, 45), (-12, 50), (-6, 56), (-18, 55)])
    Fill(cr, (25, 14, 10))
    Poly(cr, [(-9, 10), (9, 10), (7.5, 13), (-7.5, 13)])
    FillStroke(cr, (240, 215, 160), (120, 90, 50), 0.5)
    # fingerboard, neck, pegbox and scroll
    Poly(cr, [(-3.6, -96), (3.6, -96), (5.2, 16), (-5.2, 16)])
    Fill(cr, Linear(-5, 0, 5, 0, (0, (8, 8, 8)), (0.45, (70, 66, 66)), (1, (8, 8, 8))))
    Poly(cr, [(-3.5, -96), (3.5, -96), (3, -112), (-3, -112)])
    FillStroke(cr, (150, 60, 18), (52, 16, 4), 0.6)
    for k in range(2):
        for side in (-1, 1):
            yy = -100 - 6 * k - (3 if side > 0 else 0)
            Smooth(cr, [(side * 2, yy - 1.2), (side * 9, yy - 2), (side * 11, yy), (side * 9, yy + 2),
                        (side * 2, yy + 1.2)])
            Fill(cr, (20, 12, 8))
    cr.arc(0, -117, 6.2, 0, 2 * math.pi)
    FillStroke(cr, Radial(-1, -118, 1, 0, -117, 6.2, (0, (230, 130, 50)), (1, (130, 45, 12))),
               (52, 16, 4), 0.7)
    cr.move_to(0, -117)
    for k in range(30):
        a = k * 0.42
        r = 0.4 + k * 0.17
        cr.line_to(r * math.cos(a), -117 + r * math.sin(a))
    Stroke(cr, (60, 18, 4), 0.7)
    Strings(cr, [((-2.4 + 1.6 * i, 30), (-1.6 + 1.07 * i, -96)) for i in range(4)], (235, 230, 210), 0.45)


def Bow(cr, length=190):
    """Violin bow lengthwise along x, from -length/2 to length/2."""
    half = length / 2.0
    cr.move_to(-half + 10, 2.5)
    cr.line_to(half - 4, 4.5)
    Stroke(cr, (250, 248, 235), 1.2)
    cr.move_to(-half, 0)
    cr.curve_to(-half / 3, 1.5, half / 3, 1.5, half, -1)
    Stroke(cr, (40, 18, 8), 2.8)
    cr.move_to(-half, 0)
    cr.curve_to(-half / 3, 1.5, half / 3, 1.5, half, -1)
    Stroke(cr, (150, 70, 25), 1.6)
    Poly(cr, [(half - 6, -1.5), (half + 1, -1.8), (half + 1, 5.5), (half - 3, 5)])
    FillStroke(cr, (245, 240, 225), (80, 70, 60), 0.4)
    Poly(cr, [(-half + 4, 0.8), (-half + 18, 0.8), (-half + 16, 6.5), (-half + 7, 6.5)])
    FillStroke(cr, (20, 14, 10), (0, 0, 0), 0.4)
    cr.arc(-half + 11, 3.6, 1.2, 0, 2 * math.pi)
    Fill(cr, (250, 245, 230))


# ---------------------------------------------------------------- trumpet

def Trumpet(cr):
    """Trumpet in side view, mouthpiece at the left, bell at the right; centre (0, 0)."""
    def lower_loop(c):
        c.move_to(-14, 13)
        c.line_to(-48, 13)
        c.arc_negative(-48, 3.5, 9.5, math.pi / 2, -math.pi / 2)
        c.line_to(-14, -6)

    def front_loop(c):
        c.move_to(18, 13)
        c.line_to(40, 13)
        c.arc_negative(40, 0.5, 12.5, math.pi / 2, -math.pi / 2)

    def lead_pipe(c):
        c.move_to(-78, -12)
        c.line_to(42, -12)

    Tube(cr, lower_loop, 4.2)
    Tube(cr, front_loop, 4.2)
    # bell flare
    cr.move_to(36, -14.6)
    cr.curve_to(58, -14.6, 74, -18, 86, -35)
    cr.line_to(86, 11)
    cr.curve_to(74, -6, 58, -9.4, 36, -9.4)
    cr.close_path()
    FillStroke(cr, Linear(0, -30, 0, 10, (0, GOLD_LIGHT), (0.3, GOLD), (0.75, (200, 140, 20)),
                          (1, GOLD_DARK)), GOLD_DARK, 0.9)
    Tube(cr, lead_pipe, 4.4)
    Ellipse(cr, 86, -12, 4.6, 23.5)
    FillStroke(cr, Linear(82, 0, 91, 0, (0, (150, 100, 10)), (1, GOLD_LIGHT)), GOLD_DARK, 1.0)
    Ellipse(cr, 86.5, -12, 2.4, 20)
    Fill(cr, Radial(87, -12, 1, 87, -12, 20, (0, (70, 40, 4)), (1, (170, 118, 20))))
    # mouthpiece
    cr.move_to(-78, -14.2)
    cr.line_to(-94, -13.2)
    cr.curve_to(-97, -16.5, -99, -17, -100, -17)
    cr.line_to(-100, -7)
    cr.curve_to(-99, -7, -97, -7.5, -94, -10.8)
    cr.line_to(-78, -9.8)
    cr.close_path()
    FillStroke(cr, Linear(0, -17, 0, -7, (0, (250, 250, 252)), (0.5, (190, 192, 200)), (1, (110, 112, 120))),
               (70, 70, 80), 0.7)
    # valve casings with their finger buttons
    for vx in (-10, 1, 12):
        cr.move_to(vx, -20)
        cr.line_to(vx, -30)
        Stroke(cr, (150, 100, 12), 1.6)
        Ellipse(cr, vx, -31.5, 4.2, 1.8)
        FillStroke(cr, Linear(0, -33, 0, -30, (0, (255, 255, 250)), (1, (200, 195, 185))), (110, 100, 90), 0.5)
        RoundRect(cr, vx - 4, -21, 8, 40, 1.5)
        FillStroke(cr, Linear(vx - 4, 0, vx + 4, 0, (0, (170, 115, 15)), (0.35, GOLD_LIGHT),
                              (0.7, GOLD), (1, GOLD_DARK)), GOLD_DARK, 0.7)
        for cy in (-21, 17):
            RoundRect(cr, vx - 4.8, cy, 9.6, 3, 1)
            FillStroke(cr, Linear(vx - 5, 0, vx + 5, 0, (0, GOLD_DARK), (0.4, GOLD_LIGHT), (1, GOLD_DARK)),
                       GOLD_DARK, 0.5)
        cr.rectangle(vx + 4, -2, 1.5, 4)
        Fill(cr, GOLD_DARK)


# ---------------------------------------------------------------- saxophone

def _TubeOutline(centre, radii):
    """Left and right edges of a tube with the given centre line and radii."""
    left, right = [], []
    n = len(centre)
    for i in range(n):
        x0, y0 = centre[max(i - 1, 0)]
        x1, y1 = centre[min(i + 1, n - 1)]
        dx, dy = x1 - x0, y1 - y0
        d = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / d, dx / d
        cx, cy = centre[i]
        left.append((cx + nx * radii[i], cy + ny * radii[i]))
        right.append((cx - nx * radii[i], cy - ny * radii[i]))
    return left, right


def Saxophone(cr):
    """Tenor saxophone, upright, bell opening at the upper right; centre near (0, 0)."""
    centre = [(-6, -74), (-3, -62), (-1, -45), (0, -25), (1, -5), (2, 15), (3, 32), (6, 46),
              (14, 55), (26, 55), (35, 44), (38, 30), (39, 20)]
    radii = [3.2, 4.2, 5, 6, 7, 8, 9, 10, 10.5, 11, 12, 13.5, 16]
    left, right = _TubeOutline(centre, radii)
    SmoothOpen(cr, left)
    cr.line_to(*right[-1])
    SmoothOpen(cr, list(reversed(right)), move=False)
    cr.close_path()
    FillStroke(cr, Linear(-12, 0, 45, 0, (0, (150, 100, 12)), (0.15, GOLD_LIGHT), (0.4, GOLD),
                          (0.8, (190, 128, 20)), (1, GOLD_DARK)), GOLD_DARK, 1.0)
    # bell flare and rim
    Ellipse(cr, 39.5, 16, 18, 5.5)
    FillStroke(cr, Linear(0, 10, 0, 22, (0, GOLD_LIGHT), (1, (190, 130, 20))), GOLD_DARK, 1.0)
    Ellipse(cr, 39.5, 16, 14.5, 3.6)
    Fill(cr, Radial(40, 17, 1, 40, 16, 15, (0, (60, 34, 4)), (1, (150, 100, 14))))
    # highlight along the body
    hl = [(p[0] - r * 0.45, p[1]) for p, r in zip(centre[1:8], radii[1:8])]
    SmoothOpen(cr, hl)
    Stroke(cr, (255, 248, 210, 0.8), 1.4)
    # key rods and pearl keys
    cr.move_to(9, -40)
    cr.line_to(11, 30)
    Stroke(cr, (170, 120, 20), 1.0)
    for k, (kx, ky) in enumerate([(-1, -40), (0, -30), (0.5, -20), (1.5, -2), (2.2, 9), (2.8, 20)]):
        cr.move_to(kx + 2, ky)
        cr.line_to(10, ky + 3)
        Stroke(cr, (170, 120, 20), 0.9)
        cr.arc(kx, ky, 3.0, 0, 2 * math.pi)
        FillStroke(cr, GOLD, GOLD_DARK, 0.6)
        cr.arc(kx - 0.3, ky - 0.3, 1.9, 0, 2 * math.pi)
        Fill(cr, Radial(kx - 0.8, ky - 0.8, 0.2, kx, ky, 2, (0, (255, 255, 255)), (1, (215, 205, 195))))
    for kx, ky in ((17, 40), (22, 47), (28, 44)):
        Ellipse(cr, kx, ky, 3.2, 2.4)
        FillStroke(cr, Linear(0, ky - 2, 0, ky + 2, (0, GOLD_LIGHT), (1, GOLD)), GOLD_DARK, 0.6)
    # neck and mouthpiece
    cr.move_to(-6, -74)
    cr.curve_to(-9, -84, -16, -89, -26, -88)
    Stroke(cr, GOLD_DARK, 5.0)
    cr.move_to(-6, -74)
    cr.curve_to(-9, -84, -16, -89, -26, -88)
    Stroke(cr, GOLD, 3.4)
    Poly(cr, [(-26, -90.5), (-40, -90), (-42, -88), (-40, -86), (-26, -85.5)])
    FillStroke(cr, Linear(0, -91, 0, -85, (0, (80, 80, 80)), (0.4, (30, 30, 30)), (1, (5, 5, 5))),
               (0, 0, 0), 0.5)
    cr.rectangle(-28.5, -91.5, 3, 7)
    Fill(cr, (200, 200, 205))


def SmoothOpen(cr, pts, move=True):
    """An open Catmull-Rom curve through the points (continues the path if move is False)."""
    n = len(pts)
    if move:
        cr.move_to(*pts[0])
    else:
        cr.line_to(*pts[0])
    for i in range(n - 1):
        p0 = pts[i - 1] if i > 0 else pts[i]
        p1, p2 = pts[i], pts[i + 1]
        p3 = pts[i + 2] if i + 2 < n else p2
        cr.curve_to(p1[0] + (p2[0] - p0[0]) / 6.0, p1[1] + (p2[1] - p0[1]) / 6.0,
                    p2[0] - (p3[0] - p1[0]) / 6.0, p2[1] - (p3[1] - p1[1]) / 6.0, p2[0], p2[1])


# ---------------------------------------------------------------- flute

def Flute(cr):
    """Concert flute lengthwise, head at the left; centre (0, 0)."""
    silver = Linear(0, -4.5, 0, 4.5, (0, (255, 255, 255)), (0.25, (225, 230, 238)),
                    (0.65, (150, 156, 170)), (1, (70, 74, 86)))
    RoundRect(cr, -96, -4.2, 188, 8.4, 2.5)
    FillStroke(cr, silver, (60, 62, 72), 0.7)
    # joints
    for jx in (-52, 44):
        cr.rectangle(jx, -5, 4, 10)
        FillStroke(cr, Linear(0, -5, 0, 5, (0, (255, 255, 255)), (0.5, (170, 175, 190)),
                              (1, (80, 84, 95))), (60, 62, 72), 0.5)
    RoundRect(cr, -99, -4.8, 5, 9.6, 1.5)
    FillStroke(cr, silver, (60, 62, 72), 0.6)
    # lip plate
    Smooth(cr, [(-82, -5), (-74, -6), (-67, -5), (-66, 0), (-74, 1), (-82, 0)])
    FillStroke(cr, Linear(0, -6, 0, 1, (0, (255, 255, 255)), (1, (160, 165, 178))), (60, 62, 72), 0.6)
    Ellipse(cr, -74, -3, 3.2, 1.5)
    Fill(cr, (30, 30, 40))
    # rod along the keys
    cr.move_to(-44, -5.2)
    cr.line_to(40, -5.2)
    Stroke(cr, (110, 115, 128), 1.2)
    for k in range(12):
        kx = -38 + 6.7 * k
        if k in (3, 8):
            continue
        cr.arc(kx, -2.5, 2.8, 0, 2 * math.pi)
        FillStroke(cr, Radial(kx - 0.8, -3.2, 0.3, kx, -2.5, 2.8, (0, (255, 255, 255)), (0.7, (200, 205, 215)),
                              (1, (120, 124, 138))), (60, 62, 72), 0.5)
        if k % 3 == 1:
            cr.arc(kx, -2.5, 1.0, 0, 2 * math.pi)
            Fill(cr, (40, 40, 50))
    for kx, ky, rx in ((55, -2, 3.4), (64, -2.5, 3.0), (72, -2, 2.6), (80, -1, 2.2)):
        Ellipse(cr, kx, ky, rx + 1, 2.6)
        FillStroke(cr, Linear(0, ky - 2.5, 0, ky + 2.5, (0, (255, 255, 255)), (1, (140, 145, 160))),
                   (60, 62, 72), 0.5)
    cr.move_to(-95, -1.6)
    cr.line_to(91, -1.6)
    Stroke(cr, (255, 255, 255, 0.55), 0.8)


# ---------------------------------------------------------------- snare drum (for the collage)

def Snare(cr):
    """Snare drum seen slightly from above; centre (0, 0), radius 30."""
    rx, ry, hgt = 30.0, 11.0, 22.0
    cr.move_to(-rx, 0)
    cr.line_to(-rx, hgt)
    cr.save()
    cr.translate(0, hgt)
    cr.scale(rx, ry)
    cr.arc_negative(0, 0, 1, math.pi, 0)
    cr.restore()
    cr.line_to(rx, 0)
    cr.close_path()
    Fill(cr, Linear(-rx, 0, rx, 0, (0, (110, 10, 20)), (0.3, (235, 60, 70)), (0.55, (200, 25, 40)),
                    (1, (90, 6, 14))))
    for yy in (0, hgt):
        cr.save()
        cr.translate(0, yy)
        cr.scale(rx, ry)
        cr.arc(0, 0, 1, 0, math.pi)
        cr.restore()
        Stroke(cr, (220, 222, 230), 2.6)
    for k in range(7):
        a = math.pi * (k + 0.5) / 7
        lx = rx * math.cos(a)
        ly = ry * math.sin(a)
        cr.move_to(lx, ly + 2)
        cr.line_to(lx, ly + hgt - 2)
        Stroke(cr, (235, 236, 240), 1.4)
    Ellipse(cr, 0, 0, rx, ry)
    FillStroke(cr, Radial(-8, -3, 1, 0, 0, rx, (0, (255, 255, 252)), (1, (215, 210, 200))), (200, 202, 210), 2.0)
    Ellipse(cr, 0, 0, rx, ry)
    Stroke(cr, (90, 90, 100), 0.6)


def Stick(cr, x0, y0, x1, y1, width=2.4, col=(235, 200, 140)):
    cr.move_to(x0, y0)
    cr.line_to(x1, y1)
    Stroke(cr, (90, 55, 20), width + 1)
    cr.move_to(x0, y0)
    cr.line_to(x1, y1)
    Stroke(cr, col, width)


# ---------------------------------------------------------------- grand piano

def GrandPiano(cr, box=(6, 8, 165, 134)):
    """Grand piano with its lid raised, seen from the audience side, fitted into box."""
    yaw, pitch, lid = math.radians(-58), math.radians(24), math.radians(34)
    cy, sy, cp, sp = math.cos(yaw), math.sin(yaw), math.cos(pitch), math.sin(pitch)

    def Proj(x, y, z):
        x1 = x * cy - y * sy
        depth = x * sy + y * cy
        return (x1, -z * cp - depth * sp), depth

    curve = [(150, 40), (147, 70), (132, 98), (112, 122), (100, 150), (89, 178), (70, 199),
             (42, 211), (14, 208), (0, 198)]
    plan = [(0, 0), (150, 0)]
    for i in range(len(curve) - 1):
        p0 = curve[max(i - 1, 0)]
        p1, p2 = curve[i], curve[i + 1]
        p3 = curve[min(i + 2, len(curve) - 1)]
        for s in range(6):
            t = s / 6.0
            t2, t3 = t * t, t * t * t
            plan.append(tuple(0.5 * ((2 * p1[k]) + (-p0[k] + p2[k]) * t +
                                     (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2 +
                                     (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3) for k in range(2)))
    plan.append(curve[-1])
    zb, zt, zk = 58.0, 88.0, 76.0

    def LidPoint(x, y):
        return (x * math.cos(lid), y, zt + x * math.sin(lid))

    # fit the drawing into the box
    pts = [Proj(x, y, z)[0] for (x, y) in plan for z in (0, zt)]
    pts += [Proj(*LidPoint(x, y))[0] for (x, y) in plan]
    pts += [Proj(x, -26, z)[0] for x in (0, 150) for z in (0, zk)]
    minx = min(p[0] for p in pts); maxx = max(p[0] for p in pts)
    miny = min(p[1] for p in pts); maxy = max(p[1] for p in pts)
    s = min((box[2] - box[0]) / (maxx - minx), (box[3] - box[1]) / (maxy - miny))
    ox = box[0] + ((box[2] - box[0]) - (maxx - minx) * s) / 2 - minx * s
    oy = box[3] - maxy * s

    def P(x, y, z):
        (u, v), _ = Proj(x, y, z)
        return (ox + u * s, oy + v * s)

    fx, fy = P(75, 105, 0)
    Shadow(cr, fx, fy - 2, 78, 14, 0.5)

    def Leg(x, y):
        top, bottom = P(x, y, zb), P(x, y, 4)
        cr.move_to(*top)
        cr.line_to(*bottom)
        Stroke(cr, (8, 8, 10), 6 * s / 0.55)
        cr.move_to(top[0] - 1, top[1])
        cr.line_to(bottom[0] - 0.8, bottom[1])
        Stroke(cr, (90, 90, 100), 1.0)
        b = P(x, y, 0)
        Ellipse(cr, b[0], b[1], 3, 1.6)
        Fill(cr, (200, 160, 60))

    Leg(25, 185)
    Leg(12, 10)
    Leg(138, 10)
    # pedal lyre
    for dx in (-8, 8):
        cr.move_to(*P(75 + dx, 14, zb))
        cr.line_to(*P(75 + dx * 0.6, 14, 10))
        Stroke(cr, (15, 15, 18), 2.2)
    p0, p1 = P(62, 10, 12), P(88, 10, 4)
    for k in range(3):
        a = P(68 + 7 * k, 10, 6)
        b = P(68 + 7 * k, 2, 4)
        cr.move_to(*a)
        cr.line_to(*b)
        Stroke(cr, (215, 175, 70), 1.6)
    Poly(cr, [P(63, 14, 12), P(87, 14, 12), P(87, 14, 5), P(63, 14, 5)])
    Fill(cr, (15, 15, 18))

    # body sides, far ones first
    faces = []
    n = len(plan)
    for i in range(n):
        a, b = plan[i], plan[(i + 1) % n]
        depth = Proj((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, 0)[1]
        ex, ey = b[0] - a[0], b[1] - a[1]
        nx, ny = ey, -ex                      # outward for a clockwise-on-screen plan
        d = math.hypot(nx, ny) or 1
        light = max(0.0, (nx * 0.8 + ny * -0.6) / d)
        faces.append((depth, a, b, light))
    faces.sort(key=lambda f: -f[0])
    for depth, a, b, light in faces:
        quad = [P(a[0], a[1], zb), P(b[0], b[1], zb), P(b[0], b[1], zt), P(a[0], a[1], zt)]
        g = int(18 + 70 * light ** 3)
        Poly(cr, quad)
        Fill(cr, (g, g, g + 6), keep=True)
        Stroke(cr, (g, g, g + 6), 0.5)
    # glossy reflection along the rim
    rim = [P(x, y, zt - 8) for (x, y) in plan[2:len(plan) - 14]]
    SmoothOpen(cr, rim)
    Stroke(cr, (255, 255, 255, 0.22), 2.0)

    # top: case edge, golden plate and strings
    Poly(cr, [P(x, y, zt) for (x, y) in plan])
    Fill(cr, (14, 14, 16))
    cx, cyy = 60, 100
    inner = [(cx + (x - cx) * 0.86, cyy + (y - cyy) * 0.9) for (x, y) in plan]
    Poly(cr, [P(x, y, zt) for (x, y) in inner])
    a0, a1 = P(0, 20, zt), P(150, 180, zt)
    Fill(cr, Linear(a0[0], a0[1], a1[0], a1[1], (0, (250, 220, 120)), (0.5, (205, 160, 60)),
                    (1, (150, 105, 30))))
    for k in range(14):
        x = 14 + k * 8.5
        y_end = 190 - (x - 10) * 0.85
        if x > 112:
            y_end = 120 - (x - 112) * 1.2
        cr.move_to(*P(x, 20, zt))
        cr.line_to(*P(x, y_end, zt))
    Stroke(cr, (255, 250, 235, 0.75), 0.5)
    Poly(cr, [P(4, 2, zt), P(146, 2, zt), P(146, 22, zt), P(4, 22, zt)])
    Fill(cr, (130, 75, 30))
    for k in range(12):
        p = P(10 + k * 11.5, 15, zt)
        cr.arc(p[0], p[1], 0.8, 0, 2 * math.pi)
    Fill(cr, (240, 230, 200))

    # keyboard at the front
    Poly(cr, [P(0, -26, zk - 10), P(150, -26, zk - 10), P(150, -26, zk + 2), P(0, -26, zk + 2)])
    Fill(cr, (12, 12, 14))
    Poly(cr, [P(6, -24, zk), P(144, -24, zk), P(144, 0, zk), P(6, 0, zk)])
    Fill(cr, (250, 250, 246))
    Poly(cr, [P(6, -24, zk), P(144, -24, zk), P(144, -24, zk - 2.5), P(6, -24, zk - 2.5)])
    Fill(cr, (200, 200, 195))
    nkeys = 26
    wk = 138.0 / nkeys
    for k in range(1, nkeys):
        x = 6 + wk * k
        cr.move_to(*P(x, -24, zk))
        cr.line_to(*P(x, 0, zk))
    Stroke(cr, (120, 120, 120), 0.5)
    for k in range(nkeys - 1):
        if k % 7 in (2, 6):
            continue
        x = 6 + wk * (k + 1)
        Poly(cr, [P(x - 1.4, -9, zk + 2), P(x + 1.4, -9, zk + 2), P(x + 1.4, 0, zk + 2), P(x - 1.4, 0, zk + 2)])
        Fill(cr, (16, 16, 18))
    for x0 in (0, 144):
        Poly(cr, [P(x0, -26, zk - 10), P(x0 + 6, -26, zk - 10), P(x0 + 6, -26, zk + 5), P(x0, -26, zk + 5)])
        Fill(cr, (20, 20, 24))
        Poly(cr, [P(x0, -26, zk + 5), P(x0 + 6, -26, zk + 5), P(x0 + 6, 0, zk + 5), P(x0, 0, zk + 5)])
        Fill(cr, (60, 60, 66))
    Poly(cr, [P(6, 0, zk), P(144, 0, zk), P(144, 0, zk + 12), P(6, 0, zk + 12)])
    Fill(cr, (28, 28, 32))
    mr = [P(40, 6, zt), P(110, 6, zt), P(110, 8, zt + 16), P(40, 8, zt + 16)]
    Poly(cr, mr)
    Fill(cr, (30, 30, 34, 0.92))

    # lid on its prop
    lidpts = [P(*LidPoint(x, y)) for (x, y) in plan]
    stick0, stick1 = P(138, 60, zt), P(*LidPoint(128, 66))
    Poly(cr, lidpts)
    g0, g1 = P(*LidPoint(0, 100)), P(*LidPoint(150, 100))
    Fill(cr, Linear(g0[0], g0[1], g1[0], g1[1], (0, (10, 10, 12)), (0.55, (40, 40, 46)),
                    (0.8, (95, 95, 105)), (1, (30, 30, 34))))
    Poly(cr, lidpts)
    Stroke(cr, (70, 70, 80), 0.9)
    cr.move_to(*stick0)
    cr.line_to(*stick1)
    Stroke(cr, (10, 10, 12), 2.0)
    cr.move_to(stick0[0] + 0.6, stick0[1])
    cr.line_to(stick1[0] + 0.6, stick1[1])
    Stroke(cr, (120, 120, 130), 0.6)
    # gloss on the near rim
    Poly(cr, [P(x, y, zt) for (x, y) in plan[1:len(plan) - 12]], closed=False)
    Stroke(cr, (150, 150, 160), 0.9)


# ---------------------------------------------------------------- hammered dulcimer

def Dulcimer(cr):
    """Hammered dulcimer, a trapezoid box seen from the player's side; centre (0, 0)."""
    top, bottom, hh = 52.0, 78.0, 36.0
    outer = [(-top, -hh), (top, -hh), (bottom, hh), (-bottom, hh)]
    side = [(-bottom, hh), (bottom, hh), (bottom - 1, hh + 8), (-bottom + 1, hh + 8)]
    Poly(cr, side)
    Fill(cr, Linear(0, hh, 0, hh + 8, (0, (120, 60, 22)), (1, (60, 26, 8))))
    Poly(cr, outer)
    FillStroke(cr, Linear(0, -hh, 0, hh, (0, (150, 78, 30)), (1, (110, 52, 18))), INK, 1.0)
    inner = [(-top + 6, -hh + 6), (top - 6, -hh + 6), (bottom - 10, hh - 6), (-bottom + 10, hh - 6)]
    Poly(cr, inner)
    Fill(cr, Radial(0, 0, 4, 0, 0, 80, (0, (248, 210, 140)), (0.7, (226, 176, 100)), (1, (196, 140, 70))))
    for rx, ry, r in ((-30, 6, 9), (26, -6, 7.5)):
        cr.arc(rx, ry, r, 0, 2 * math.pi)
        Fill(cr, (60, 30, 10))
        for k in range(8):
            a = k * math.pi / 4
            Ellipse(cr, rx + r * 0.55 * math.cos(a), ry + r * 0.55 * math.sin(a), r * 0.3, r * 0.3)
        Fill(cr, (226, 176, 100))
        cr.arc(rx, ry, r + 1.2, 0, 2 * math.pi)
        Stroke(cr, (120, 60, 20), 1.0)
    # strings, pins and the two bridges
    n = 13
    for k in range(n):
        y = -hh + 9 + k * (2 * hh - 18) / (n - 1)
        t = (y + hh) / (2 * hh)
        xe = top + (bottom - top) * t - 8
        cr.move_to(-xe, y)
        cr.line_to(xe, y)
        Stroke(cr, (250, 250, 240), 0.6)
        for sx in (-xe - 1.5, xe + 1.5):
            cr.arc(sx, y, 1.1, 0, 2 * math.pi)
            Fill(cr, (235, 235, 240))
    for bx0, bx1 in ((-18, -28), (34, 46)):
        cr.move_to(bx0, -hh + 7)
        cr.line_to(bx1, hh - 7)
        Stroke(cr, (60, 28, 8), 3.0)
        cr.move_to(bx0 - 0.6, -hh + 7)
        cr.line_to(bx1 - 0.6, hh - 7)
        Stroke(cr, (200, 140, 70), 1.0)
    # hammers lying across the strings
    for ang, x in ((-14, -12), (10, 14)):
        with Place(cr, x, 18, ang):
            cr.move_to(-44, 0)
            cr.line_to(22, 0)
            Stroke(cr, (50, 24, 8), 2.6)
            cr.move_to(-44, 0)
            cr.line_to(22, 0)
            Stroke(cr, (235, 195, 130), 1.6)
            Ellipse(cr, -46, 0, 3.2, 4.2)
            FillStroke(cr, Linear(0, -4, 0, 4, (0, (255, 245, 220)), (1, (160, 110, 60))), INK, 0.6)


# ---------------------------------------------------------------- reed organ

def ReedOrgan(cr):
    """Parlour reed organ from the front; centre (0, 0), about 118 x 128."""
    wood = Linear(-55, 0, 55, 0, (0, (70, 30, 12)), (0.3, (140, 70, 30)), (0.6, (120, 58, 24)), (1, (62, 26, 10)))
    dark = (52, 22, 8)
    # upper case with the pediment
    Poly(cr, [(-44, -40), (44, -40), (44, -6), (-44, -6)])
    FillStroke(cr, wood, dark, 0.8)
    cr.move_to(-48, -40)
    cr.line_to(-48, -46)
    cr.curve_to(-30, -46, -20, -62, 0, -64)
    cr.curve_to(20, -62, 30, -46, 48, -46)
    cr.line_to(48, -40)
    cr.close_path()
    FillStroke(cr, wood, dark, 0.8)
    Smooth(cr, [(0, -58), (8, -54), (0, -49), (-8, -54)])
    Fill(cr, (230, 190, 90))
    for fx in (-46, 46):
        cr.arc(fx, -49, 3, 0, 2 * math.pi)
        FillStroke(cr, (160, 85, 35), dark, 0.6)
    # fretwork panel with cloth behind
    RoundRect(cr, -34, -36, 68, 20, 3)
    FillStroke(cr, Linear(0, -36, 0, -16, (0, (150, 20, 30)), (1, (90, 8, 16))), dark, 1.0)
    for k in range(5):
        x = -26 + k * 13
        cr.move_to(x - 4.5, -19)
        cr.line_to(x - 4.5, -28)
        cr.curve_to(x - 4.5, -33, x, -34, x, -34)
        cr.curve_to(x, -34, x + 4.5, -33, x + 4.5, -28)
        cr.line_to(x + 4.5, -19)
        Stroke(cr, (220, 165, 80), 1.4)
        cr.move_to(x, -31)
        cr.line_to(x, -19)
        Stroke(cr, (220, 165, 80), 0.8)
    # stop knobs
    for k in range(8):
        x = -35 + k * 10
        cr.arc(x, -10, 2.4, 0, 2 * math.pi)
        FillStroke(cr, Radial(x - 0.8, -10.8, 0.2, x, -10, 2.4, (0, (255, 255, 250)), (1, (190, 180, 160))),
                   (60, 50, 40), 0.5)
    # key bed and keys
    Poly(cr, [(-50, -6), (50, -6), (52, 12), (-52, 12)])
    FillStroke(cr, (72, 32, 12), dark, 0.8)
    nkeys = 21
    kx0, kx1 = -42.0, 42.0
    wk = (kx1 - kx0) / nkeys
    cr.rectangle(kx0, -4, kx1 - kx0, 13)
    Fill(cr, Linear(0, -4, 0, 9, (0, (255, 255, 252)), (1, (225, 222, 210))))
    for k in range(1, nkeys):
        cr.move_to(kx0 + k * wk, -4)
        cr.line_to(kx0 + k * wk, 9)
    Stroke(cr, (130, 125, 115), 0.5)
    for k in range(nkeys - 1):
        if k % 7 in (2, 6):
            continue
        x = kx0 + (k + 1) * wk
        RoundRect(cr, x - 1.3, -4, 2.6, 7.5, 0.5)
        Fill(cr, (18, 16, 16))
    cr.rectangle(-52, 9, 104, 4)
    Fill(cr, (95, 45, 18))
    # lower case
    Poly(cr, [(-46, 13), (46, 13), (46, 54), (-46, 54)])
    FillStroke(cr, wood, dark, 0.8)
    RoundRect(cr, -36, 17, 72, 22, 4)
    FillStroke(cr, Linear(0, 17, 0, 39, (0, (110, 52, 20)), (1, (150, 78, 34))), dark, 0.9)
    RoundRect(cr, -32, 20, 64, 16, 3)
    Stroke(cr, (210, 160, 80), 0.8)
    # columns on both sides
    for cx in (-46, 46):
        RoundRect(cr, cx - 4, -4, 8, 60, 2)
        FillStroke(cr, Linear(cx - 4, 0, cx + 4, 0, (0, (80, 36, 14)), (0.45, (175, 98, 44)), (1, (70, 30, 12))),
                   dark, 0.7)
        for yy in (4, 40):
            RoundRect(cr, cx - 5, yy, 10, 3, 1)
            Fill(cr, (200, 150, 70))
    # treadles
    for sx in (-1, 1):
        Poly(cr, [(sx * 4, 44), (sx * 30, 44), (sx * 32, 58), (sx * 3, 58)])
        FillStroke(cr, Linear(0, 44, 0, 58, (0, (200, 40, 50)), (1, (120, 14, 22))), (50, 10, 10), 0.8)
        for k in range(3):
            yy = 47.5 + 3.5 * k
            cr.move_to(sx * 7, yy)
            cr.line_to(sx * 29, yy)
        Stroke(cr, (240, 180, 80, 0.8), 0.6)
    Poly(cr, [(-50, 58), (50, 58), (50, 63), (-50, 63)])
    FillStroke(cr, (60, 26, 10), dark, 0.6)


# ---------------------------------------------------------------- long zither

def Zither(cr):
    """Guzheng lengthwise, head at the right; centre (0, 0)."""
    length = 92.0

    def Edge(y_sign, offset=0.0):
        pts = []
        for k in range(21):
            x = -length + 2 * length * k / 20.0
            w = 15 + 6 * (x + length) / (2 * length)
            pts.append((x, y_sign * w + offset))
        return pts

    top = Edge(-1)
    bottom = Edge(1)
    side = bottom + [(x, y + 7) for (x, y) in reversed(bottom)]
    Poly(cr, side)
    Fill(cr, Linear(0, 0, 0, 24, (0, (95, 40, 14)), (1, (40, 14, 4))))
    Poly(cr, top + list(reversed(bottom)))
    FillStroke(cr, Linear(-length, 0, length, 0, (0, (170, 92, 40)), (0.5, (224, 160, 90)), (1, (176, 98, 44))),
               INK, 0.9)
    for x0, w in ((-length, 10), (length - 14, 14)):
        Poly(cr, [(x0, -22), (x0 + w, -22), (x0 + w, 22), (x0, 22)])
        cr.clip()
        Poly(cr, top + list(reversed(bottom)))
        Fill(cr, Linear(x0, 0, x0 + w, 0, (0, (120, 20, 20)), (1, (170, 40, 30))))
        cr.reset_clip()
    for xx in (-length + 10, length - 14):
        cr.move_to(xx, -20.5)
        cr.line_to(xx, 20.5)
        Stroke(cr, (235, 190, 90), 1.4)
    for k in range(4):
        x = length - 11 + 3 * k
        Smooth(cr, [(x, -6), (x + 1.2, 0), (x, 6), (x - 1.2, 0)])
        Fill(cr, (235, 190, 90))
    n = 13
    for k in range(n):
        t = (k + 0.5) / n
        y0 = -12 + 24 * t
        y1 = -18 + 36 * t
        cr.move_to(-length + 10, y0)
        cr.line_to(length - 14, y1)
    Stroke(cr, (255, 250, 230), 0.5)
    for k in range(n):
        t = (k + 0.5) / n
        bx = 44 - 92 * t
        y = -12 + 24 * t + (-6 + 12 * t) * (bx + length - 10) / (2 * length - 24)
        Poly(cr, [(bx - 4.2, y + 1.7), (bx + 4.2, y + 1.7), (bx + 0.9, y - 1.7), (bx - 0.9, y - 1.7)])
        FillStroke(cr, Linear(0, y - 1.6, 0, y + 1.6, (0, (255, 255, 255)), (1, (205, 200, 185))),
                   (60, 50, 35), 0.6)
    for k in range(n):
        t = (k + 0.5) / n
        y0 = -12 + 24 * t
        cr.arc(-length + 6, y0, 0.9, 0, 2 * math.pi)
        Fill(cr, (240, 220, 160))


# ---------------------------------------------------------------- steel drum

def SteelDrum(cr):
    """Steel pan seen from above at an angle; centre of the top (0, 0)."""
    rx, ry, hgt = 58.0, 25.0, 40.0
    cr.move_to(-rx, 0)
    cr.line_to(-rx + 2, hgt)
    cr.save()
    cr.translate(0, hgt)
    cr.scale(rx - 2, ry - 1)
    cr.arc_negative(0, 0, 1, math.pi, 0)
    cr.restore()
    cr.line_to(rx, 0)
    cr.close_path()
    Fill(cr, Linear(-rx, 0, rx, 0, (0, (70, 76, 90)), (0.18, (170, 178, 195)), (0.32, (250, 252, 255)),
                    (0.5, (175, 182, 198)), (0.8, (110, 116, 132)), (1, (55, 60, 72))))
    for yy, w in ((12, 3.0), (30, 3.0)):
        cr.save()
        cr.translate(0, yy)
        cr.scale(rx - 0.5, ry - 0.3)
        cr.arc(0, 0, 1, 0, math.pi)
        cr.restore()
        Stroke(cr, (40, 44, 55), w)
        cr.save()
        cr.translate(0, yy - 1.2)
        cr.scale(rx - 0.5, ry - 0.3)
        cr.arc(0, 0, 1, 0.1, math.pi - 0.1)
        cr.restore()
        Stroke(cr, (230, 235, 245, 0.7), 0.8)
    # playing surface: a rim, the inner wall of the bowl and the note areas
    Ellipse(cr, 0, 0, rx, ry)
    Fill(cr, Linear(-rx, -ry, rx, ry, (0, (250, 252, 255)), (0.5, (180, 188, 205)), (1, (120, 128, 145))))
    Ellipse(cr, 0, 0.8, rx - 3.5, ry - 2.2)
    Fill(cr, Linear(0, -ry, 0, ry, (0, (70, 76, 92)), (0.5, (120, 128, 146)), (1, (200, 206, 220))))
    Ellipse(cr, 0, 3.4, rx - 6, ry - 4.5)
    Fill(cr, Radial(0, 4, 2, 0, 3, rx - 6, (0, (120, 128, 146)), (0.6, (165, 172, 190)), (1, (215, 220, 232))))

    def Petal(px, py, ang, a, b):
        with Place(cr, px, py, ang):
            Ellipse(cr, 0, 0, a, b)
        cr.save()
        Fill(cr, Linear(px, py - b, px, py + b, (0, (250, 252, 255)), (0.55, (175, 182, 200)),
                        (1, (105, 112, 130))), keep=True)
        Stroke(cr, (45, 48, 60), 0.8)
        cr.restore()
        with Place(cr, px, py - b * 0.35, ang):
            Ellipse(cr, 0, 0, a * 0.45, b * 0.25)
        Fill(cr, (255, 255, 255, 0.7))

    petals = []
    for k in range(9):
        t = 2 * math.pi * k / 9 + 0.35
        petals.append(((rx - 17) * math.cos(t), 3.4 + (ry - 9) * math.sin(t),
                       math.degrees(math.atan2(math.sin(t) * (ry - 9), math.cos(t) * (rx - 17))), 8.5, 4.0))
    for k in range(5):
        t = 2 * math.pi * k / 5 + 0.9
        petals.append((18 * math.cos(t), 3.6 + 6.5 * math.sin(t),
                       math.degrees(math.atan2(math.sin(t) * 6.5, math.cos(t) * 18)), 5.5, 2.8))
    petals.append((0, 3.8, 0, 4.5, 2.4))
    petals.sort(key=lambda p: p[1])
    for p in petals:
        Petal(*p)
    Ellipse(cr, 0, 0, rx, ry)
    Stroke(cr, (240, 242, 250), 1.4)
    Ellipse(cr, 0, 0, rx + 0.5, ry + 0.5)
    Stroke(cr, (60, 64, 78), 0.6)


def Mallet(cr, x0, y0, x1, y1):
    Stick(cr, x0, y0, x1, y1, 2.0, (240, 215, 165))
    cr.arc(x1, y1, 4.2, 0, 2 * math.pi)
    FillStroke(cr, Radial(x1 - 1.3, y1 - 1.3, 0.3, x1, y1, 4.2, (0, (255, 150, 140)), (1, (170, 20, 20))),
               (70, 6, 6), 0.7)


# ---------------------------------------------------------------- singing bird

def Bird(cr):
    """Songbird perched on a twig, singing to the right; centre near (0, 0)."""
    # twig and leaves
    cr.move_to(-70, 38)
    cr.curve_to(-30, 28, 10, 36, 70, 24)
    Stroke(cr, (70, 40, 18), 5.0)
    cr.move_to(-70, 38)
    cr.curve_to(-30, 28, 10, 36, 70, 24)
    Stroke(cr, (150, 96, 50), 2.2)
    cr.move_to(34, 30)
    cr.curve_to(44, 38, 52, 44, 60, 46)
    Stroke(cr, (70, 40, 18), 3.0)
    for lx, ly, ang in ((-52, 34, 200), (-40, 31, -40), (52, 26, -30), (62, 45, 20), (20, 32, 60)):
        with Place(cr, lx, ly, ang):
            Smooth(cr, [(0, 0), (8, -4.5), (17, 0), (8, 4.5)])
            FillStroke(cr, Linear(0, -4, 0, 4, (0, (170, 220, 90)), (1, (70, 140, 30))), (20, 60, 10), 0.7)
            cr.move_to(1, 0)
            cr.line_to(15, 0)
            Stroke(cr, (40, 90, 20), 0.5)
    # tail
    Smooth(cr, [(-20, 10), (-48, 26), (-54, 22), (-48, 16), (-22, 0)])
    FillStroke(cr, Linear(-50, 20, -20, 5, (0, (40, 70, 150)), (1, (70, 120, 210))), (20, 30, 70), 0.8)
    # feet
    for fx in (-2, 7):
        cr.move_to(fx, 22)
        cr.line_to(fx - 1, 31)
        cr.move_to(fx - 1, 31)
        cr.line_to(fx - 5, 33)
        cr.move_to(fx - 1, 31)
        cr.line_to(fx + 3, 33)
        Stroke(cr, (200, 120, 60), 1.4)
    # body and head
    body = [(-24, 2), (-14, -10), (0, -16), (8, -28), (20, -33), (31, -26), (31, -14), (24, -4),
            (20, 10), (8, 22), (-6, 22), (-18, 14)]
    Smooth(cr, body)
    FillStroke(cr, Radial(14, -22, 2, 6, -6, 34, (0, (255, 250, 190)), (0.4, (255, 214, 40)),
                          (0.85, (230, 150, 10)), (1, (170, 95, 5))), (90, 50, 5), 1.0)
    # breast
    Smooth(cr, [(24, -6), (20, 10), (8, 20), (2, 8), (12, -4)])
    Fill(cr, (255, 245, 200, 0.55))
    # wing
    wing = [(-20, 2), (-8, -8), (8, -6), (14, 4), (4, 12), (-12, 12)]
    Smooth(cr, wing)
    FillStroke(cr, Linear(-20, 0, 14, 0, (0, (40, 70, 150)), (1, (90, 150, 230))), (20, 30, 70), 0.8)
    for k in range(3):
        cr.move_to(-14 + 7 * k, 9 - k)
        cr.curve_to(-10 + 7 * k, 4, -6 + 7 * k, 0, -2 + 7 * k, -2)
    Stroke(cr, (200, 225, 255, 0.8), 0.8)
    # open beak
    Poly(cr, [(30, -26), (43, -27), (31, -21)])
    FillStroke(cr, (250, 150, 40), (120, 60, 10), 0.6)
    Poly(cr, [(30, -20), (41, -15), (29, -16)])
    FillStroke(cr, (235, 120, 30), (120, 60, 10), 0.6)
    Poly(cr, [(31, -21), (36, -21), (31, -18.5)])
    Fill(cr, (140, 30, 20))
    # eye
    cr.arc(21, -24, 3.2, 0, 2 * math.pi)
    Fill(cr, (255, 255, 255))
    cr.arc(22, -24, 2.3, 0, 2 * math.pi)
    Fill(cr, (10, 10, 20))
    cr.arc(22.8, -25, 0.8, 0, 2 * math.pi)
    Fill(cr, (255, 255, 255))


# ---------------------------------------------------------------- bongos

def Bongos(cr):
    """A pair of bongos joined by a block; centre (0, 0)."""
    def Drum(cx, r, hgt, taper):
        ry = r * 0.36
        cr.move_to(cx - r, 0)
        cr.line_to(cx - r * taper, hgt)
        cr.save()
        cr.translate(cx, hgt)
        cr.scale(r * taper, ry * taper)
        cr.arc_negative(0, 0, 1, math.pi, 0)
        cr.restore()
        cr.line_to(cx + r, 0)
        cr.close_path()
        Fill(cr, Linear(cx - r, 0, cx + r, 0, (0, (80, 30, 10)), (0.25, (200, 110, 50)), (0.4, (236, 160, 90)),
                        (0.6, (190, 100, 40)), (1, (70, 26, 8))))
        for k in range(1, 4):
            t = k / 4.0
            cr.move_to(cx - r * (1 - (1 - taper) * t), hgt * t)
            cr.save()
            cr.translate(cx, hgt * t)
            w = r * (1 - (1 - taper) * t)
            cr.scale(w, ry * w / r)
            cr.arc_negative(-1, 0, 1, math.pi, 0)
            cr.restore()
        cr.new_path()
        for yy in (hgt * 0.45, hgt * 0.78):
            w = r * (1 - (1 - taper) * yy / hgt)
            cr.save()
            cr.translate(cx, yy)
            cr.scale(w, ry * w / r)
            cr.arc(0, 0, 1, 0.05, math.pi - 0.05)
            cr.restore()
            Stroke(cr, (250, 220, 150, 0.7), 1.3)
        # tuning lugs
        for k in range(5):
            a = math.pi * (k + 0.5) / 5
            lx = cx - r * math.cos(a) * 0.93
            ly = ry * math.sin(a) * 0.93
            RoundRect(cr, lx - 1.4, ly + 2, 2.8, hgt * 0.42, 1.2)
            FillStroke(cr, Linear(lx - 1.4, 0, lx + 1.4, 0, (0, (250, 250, 255)), (1, (110, 115, 130))),
                       (50, 52, 60), 0.5)
        # rim and head
        Ellipse(cr, cx, 0, r + 1.5, ry + 1.8)
        FillStroke(cr, Linear(cx - r, 0, cx + r, 0, (0, (120, 125, 140)), (0.35, (250, 252, 255)),
                              (1, (90, 95, 110))), (40, 42, 50), 0.7)
        Ellipse(cr, cx, -0.6, r - 1.2, ry - 1.2)
        Fill(cr, Radial(cx - r * 0.3, -ry * 0.4, 1, cx, 0, r, (0, (255, 246, 220)), (0.7, (236, 214, 168)),
                        (1, (196, 168, 116))))

    Poly(cr, [(-10, 6), (10, 6), (10, 22), (-10, 22)])
    FillStroke(cr, Linear(0, 6, 0, 22, (0, (150, 80, 30)), (1, (70, 30, 10))), INK, 0.8)
    with Place(cr, -26, 0):
        Drum(0, 28, 46, 0.72)
    with Place(cr, 31, 6):
        Drum(0, 23, 38, 0.74)


# ---------------------------------------------------------------- dream landscape (synthesizers)

def Synth(cr):
    """Small synthesizer keyboard with knobs, lengthwise; centre (0, 0), 120 x 34."""
    RoundRect(cr, -60, -17, 120, 34, 4)
    FillStroke(cr, Linear(0, -17, 0, 17, (0, (90, 90, 100)), (0.5, (45, 45, 52)), (1, (20, 20, 24))),
               (5, 5, 8), 1.0)
    for k in range(7):
        x = -52 + 9 * k
        cr.arc(x, -10, 2.8, 0, 2 * math.pi)
        FillStroke(cr, Radial(x - 0.8, -10.8, 0.2, x, -10, 2.8, (0, (255, 255, 255)), (1, (130, 130, 140))),
                   (0, 0, 0), 0.4)
    for k, c in enumerate(((255, 60, 60), (255, 200, 40), (60, 220, 90))):
        cr.arc(12 + 5 * k, -11, 1.4, 0, 2 * math.pi)
        Fill(cr, c)
    RoundRect(cr, 30, -14, 26, 8, 1.5)
    Fill(cr, Linear(30, 0, 56, 0, (0, (40, 200, 220)), (1, (20, 120, 170))))
    nk = 22
    kx0, kx1 = -56.0, 56.0
    wk = (kx1 - kx0) / nk
    cr.rectangle(kx0, -4, kx1 - kx0, 18)
    Fill(cr, (252, 252, 250))
    for k in range(1, nk):
        cr.move_to(kx0 + k * wk, -4)
        cr.line_to(kx0 + k * wk, 14)
    Stroke(cr, (120, 120, 125), 0.5)
    for k in range(nk - 1):
        if k % 7 in (2, 6):
            continue
        x = kx0 + (k + 1) * wk
        cr.rectangle(x - 1.5, -4, 3, 10)
        Fill(cr, (15, 15, 18))


def DreamScape(cr):
    """A round night landscape with a crescent moon, the picture of the synthesizers."""
    cx, cy, r = 85.0, 68.0, 60.0
    for k in range(6):
        cr.arc(cx, cy, r + 6 - k, 0, 2 * math.pi)
        Fill(cr, (200, 150, 255, 0.05))
    cr.save()
    cr.arc(cx, cy, r, 0, 2 * math.pi)
    cr.clip()
    cr.rectangle(0, 0, W, H)
    Fill(cr, Linear(0, cy - r, 0, cy + r, (0, (20, 16, 70)), (0.45, (90, 40, 140)), (0.7, (230, 110, 140)),
                    (1, (255, 190, 120))))
    for sx, sy, ss in ((45, 30, 1.2), (60, 18, 0.9), (100, 24, 1.0), (130, 40, 1.3), (75, 44, 0.8),
                       (118, 58, 0.8), (40, 55, 0.9), (92, 14, 0.7)):
        cr.move_to(sx - ss * 2.5, sy)
        cr.line_to(sx + ss * 2.5, sy)
        cr.move_to(sx, sy - ss * 2.5)
        cr.line_to(sx, sy + ss * 2.5)
        Stroke(cr, (255, 255, 230, 0.8), 0.6)
        cr.arc(sx, sy, ss * 0.9, 0, 2 * math.pi)
        Fill(cr, (255, 255, 240))
    # crescent moon
    cr.arc(116, 34, 13, 0, 2 * math.pi)
    cr.arc_negative(122, 29, 11, 2 * math.pi, 0)
    cr.set_fill_rule(cairo.FILL_RULE_EVEN_ODD)
    Fill(cr, Radial(110, 36, 1, 116, 34, 13, (0, (255, 255, 220)), (1, (255, 220, 120))))
    cr.set_fill_rule(cairo.FILL_RULE_WINDING)
    # hills and water
    cr.move_to(cx - r, 96)
    cr.curve_to(50, 80, 70, 76, 92, 90)
    cr.curve_to(110, 80, 130, 78, cx + r, 92)
    cr.line_to(cx + r, H)
    cr.line_to(cx - r, H)
    cr.close_path()
    Fill(cr, Linear(0, 78, 0, 110, (0, (70, 40, 120)), (1, (30, 20, 70))))
    cr.move_to(cx - r, 108)
    cr.curve_to(60, 98, 100, 100, cx + r, 104)
    cr.line_to(cx + r, H)
    cr.line_to(cx - r, H)
    cr.close_path()
    Fill(cr, Linear(0, 98, 0, 130, (0, (40, 30, 90)), (1, (15, 10, 40))))
    cr.restore()
    cr.arc(cx, cy, r, 0, 2 * math.pi)
    Stroke(cr, (230, 210, 255, 0.6), 1.2)


# ---------------------------------------------------------------- the strip

def _Picture(n, cr):
    if n == 0:
        GrandPiano(cr)
    elif n == 1:
        Shadow(cr, 86, 112, 82, 12)
        with Place(cr, 85, 70, 0, 1.0, 0.95):
            Dulcimer(cr)
    elif n == 2:
        Shadow(cr, 86, 132, 64, 8)
        with Place(cr, 86, 70, 0, 0.98):
            ReedOrgan(cr)
    elif n == 3:
        Shadow(cr, 80, 120, 62, 10)
        with Place(cr, 86, 74, 52, 0.66):
            Guitar(cr)
    elif n == 4:
        Shadow(cr, 80, 120, 66, 10)
        with Place(cr, 76, 74, 56, 0.6):
            cr.translate(0, 40)
            Bass(cr)
    elif n == 5:
        Shadow(cr, 86, 122, 66, 9)
        with Place(cr, 85, 64, -38, 0.82):
            Bow(cr, 178)
        with Place(cr, 84, 70, 40, 0.74):
            cr.translate(0, 12)
            Violin(cr)
    elif n == 6:
        Ensemble(cr)
    elif n == 7:
        Shadow(cr, 86, 108, 74, 10)
        with Place(cr, 84, 72, -14, 0.8):
            Trumpet(cr)
    elif n == 8:
        Shadow(cr, 90, 132, 46, 7)
        with Place(cr, 80, 74, 16, 0.74):
            Saxophone(cr)
    elif n == 9:
        Shadow(cr, 88, 112, 74, 9)
        with Place(cr, 86, 78, -24, 0.84):
            Flute(cr)
        Note(cr, 38, 40, 16, (255, 255, 230), double=True)
        Note(cr, 62, 24, 12, (255, 240, 170))
        Note(cr, 128, 112, 13, (255, 240, 170))
    elif n == 10:
        DreamScape(cr)
        with Place(cr, 86, 104, -8, 0.82):
            Synth(cr)
        with Place(cr, 48, 62, -30, 0.32):
            Violin(cr)
        with Place(cr, 126, 74, -18, 0.3):
            Trumpet(cr)
        Note(cr, 68, 36, 13, (255, 255, 255), double=True)
        Note(cr, 100, 52, 11, (255, 230, 255))
    elif n == 11:
        Shadow(cr, 86, 100, 84, 14)
        with Place(cr, 85, 70, -20, 0.9):
            Zither(cr)
    elif n == 12:
        Shadow(cr, 86, 124, 68, 10)
        with Place(cr, 84, 50, 0, 1.05):
            SteelDrum(cr)
        Mallet(cr, 154, 118, 112, 60)
        Mallet(cr, 164, 100, 128, 50)
    elif n == 13:
        with Place(cr, 82, 80, 0, 1.05):
            Bird(cr)
        Note(cr, 132, 40, 15, (255, 255, 255), double=True)
        Note(cr, 150, 20, 12, (255, 250, 200))
        Note(cr, 116, 18, 10, (255, 250, 200))
    elif n == 14:
        Shadow(cr, 88, 118, 70, 10)
        with Place(cr, 86, 58, 0, 1.15):
            Bongos(cr)


def Ensemble(cr):
    # piano keys in perspective along the bottom
    y0, y1 = 100, 136
    n = 17
    for k in range(n):
        xa = -6 + 11.4 * k
        xb = -30 + 13.4 * k
        Poly(cr, [(xa, y0), (xa + 11.4, y0), (xb + 13.4, y1), (xb, y1)])
        FillStroke(cr, Linear(0, y0, 0, y1, (0, (225, 225, 220)), (1, (255, 255, 252))), (110, 110, 110), 0.6)
    for k in range(n):
        if k % 7 in (2, 6):
            continue
        xa = -6 + 11.4 * (k + 1)
        xb = -30 + 13.4 * (k + 1)
        t = 0.58
        xm = xa + (xb - xa) * t
        Poly(cr, [(xa - 3.2, y0), (xa + 3.2, y0), (xm + 3.6, y0 + (y1 - y0) * t), (xm - 3.6, y0 + (y1 - y0) * t)])
        Fill(cr, Linear(0, y0, 0, y1, (0, (60, 60, 66)), (1, (10, 10, 12))))
    with Place(cr, 46, 60, -32, 0.46):
        Guitar(cr)
    with Place(cr, 118, 84, 0, 0.78):
        Snare(cr)
    Stick(cr, 96, 64, 134, 52)
    Stick(cr, 104, 54, 142, 72)
    with Place(cr, 110, 38, -18, 0.5):
        Trumpet(cr)


def DrawStrip():
    strip, cr = Canvas(W * 15, H, GROUND)
    for n in range(15):
        cr.save()
        cr.translate(W * n, 0)
        cr.rectangle(2, 2, W - 4, H - 4)
        cr.clip()
        _Picture(n, cr)
        cr.restore()
    return strip
