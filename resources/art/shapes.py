"""Drawing helpers shared by the pictures, and the resource file writers."""

import math
import struct
from contextlib import contextmanager

import cairo

__all__ = ['cairo', 'math', 'GROUND', 'VGA', 'C', 'Canvas', 'Place', 'Smooth',
           'Mirror', 'Linear', 'Radial', 'Fill', 'Stroke', 'FillStroke',
           'RoundRect', 'Ellipse', 'Shadow', 'Note', 'Pixels', 'Enlarged',
           'WriteBmp24', 'WriteBmp8', 'WriteIco', 'WriteCur', 'Lighter',
           'Darker', 'Poly']

GROUND = (20, 100, 20)

# The sixteen colours of the standard VGA palette, the colours a 4-bit image
# list keeps.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128),
       (128, 0, 128), (0, 128, 128), (192, 192, 192), (128, 128, 128),
       (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
       (0, 255, 255), (255, 255, 255)]


def C(r, g, b, a=1.0):
    """Colour from 0..255 components (alpha 0..1) as a cairo tuple."""
    return (r / 255.0, g / 255.0, b / 255.0, a)


def Lighter(c, f):
    return tuple(min(255, round(v + (255 - v) * f)) for v in c[:3])


def Darker(c, f):
    return tuple(round(v * (1 - f)) for v in c[:3])


def Canvas(w, h, ground=None):
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    cr = cairo.Context(s)
    if ground is not None:
        cr.set_source_rgb(*[v / 255.0 for v in ground])
        cr.paint()
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    return s, cr


@contextmanager
def Place(cr, x, y, angle=0.0, scale=1.0, sy=None):
    """Draws in a frame moved to (x, y), turned by angle degrees and scaled."""
    cr.save()
    cr.translate(x, y)
    cr.rotate(math.radians(angle))
    cr.scale(scale, scale if sy is None else sy)
    try:
        yield cr
    finally:
        cr.restore()


def Smooth(cr, pts, closed=True):
    """A Catmull-Rom curve through the points, as cubic Bezier segments."""
    n = len(pts)
    cr.move_to(*pts[0])
    last = n if closed else n - 1
    for i in range(last):
        p0 = pts[(i - 1) % n] if (closed or i > 0) else pts[i]
        p1 = pts[i]
        p2 = pts[(i + 1) % n]
        p3 = pts[(i + 2) % n] if (closed or i + 2 < n) else p2
        c1 = (p1[0] + (p2[0] - p0[0]) / 6.0, p1[1] + (p2[1] - p0[1]) / 6.0)
        c2 = (p2[0] - (p3[0] - p1[0]) / 6.0, p2[1] - (p3[1] - p1[1]) / 6.0)
        cr.curve_to(c1[0], c1[1], c2[0], c2[1], p2[0], p2[1])
    if closed:
        cr.close_path()


def Mirror(right):
    """Closed outline symmetric about x = 0 from the right half (top to bottom)."""
    left = [(-x, y) for (x, y) in reversed(right) if abs(x) > 1e-9]
    return list(right) + left


def Poly(cr, pts, closed=True):
    cr.move_to(*pts[0])
    for p in pts[1:]:
        cr.line_to(*p)
    if closed:
        cr.close_path()


def _Stops(p, stops):
    for off, col in stops:
        if len(col) == 3:
            p.add_color_stop_rgb(off, *[v / 255.0 for v in col])
        else:
            p.add_color_stop_rgba(off, col[0] / 255.0, col[1] / 255.0, col[2] / 255.0, col[3])
    return p


def Linear(x0, y0, x1, y1, *stops):
    return _Stops(cairo.LinearGradient(x0, y0, x1, y1), stops)


def Radial(cx, cy, r0, fx, fy, r1, *stops):
    return _Stops(cairo.RadialGradient(cx, cy, r0, fx, fy, r1), stops)


def _Source(cr, src):
    if isinstance(src, cairo.Pattern):
        cr.set_source(src)
    elif len(src) == 3:
        cr.set_source_rgb(*[v / 255.0 for v in src])
    else:
        cr.set_source_rgba(src[0] / 255.0, src[1] / 255.0, src[2] / 255.0, src[3])


def Fill(cr, src, keep=False):
    _Source(cr, src)
    cr.fill_preserve() if keep else cr.fill()


def Stroke(cr, src, width, keep=False):
    _Source(cr, src)
    cr.set_line_width(width)
    cr.stroke_preserve() if keep else cr.stroke()


def FillStroke(cr, fill, line, width):
    Fill(cr, fill, keep=True)
    Stroke(cr, line, width)


def RoundRect(cr, x, y, w, h, r):
    r = min(r, w / 2.0, h / 2.0)
    cr.new_sub_path()
    cr.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    cr.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    cr.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    cr.arc(x + r, y + r, r, math.pi, 1.5 * math.pi)
    cr.close_path()


def Ellipse(cr, cx, cy, rx, ry):
    cr.save()
    cr.translate(cx, cy)
    cr.scale(rx, ry)
    cr.new_sub_path()
    cr.arc(0, 0, 1, 0, 2 * math.pi)
    cr.restore()


def Shadow(cr, cx, cy, rx, ry, strength=0.45):
    """A soft contact shadow on the ground."""
    cr.save()
    cr.translate(cx, cy)
    cr.scale(rx, ry)
    cr.arc(0, 0, 1, 0, 2 * math.pi)
    cr.set_source(Radial(0, 0, 0, 0, 0, 1, (0.0, (0, 0, 0, strength)),
                         (0.6, (0, 0, 0, strength * 0.6)), (1.0, (0, 0, 0, 0))))
    cr.fill()
    cr.restore()


def Note(cr, x, y, size, col, double=False, angle=0.0):
    """An eighth note (or a pair of beamed eighths) whose head centre is (x, y)."""
    with Place(cr, x, y, angle, size / 10.0):
        heads = [(0, 0), (9, -2)] if double else [(0, 0)]
        for hx, hy in heads:
            with Place(cr, hx, hy, -20):
                Ellipse(cr, 0, 0, 3.4, 2.4)
                Fill(cr, col)
            cr.rectangle(hx + 2.4, hy - 13, 1.2, 13)
            Fill(cr, col)
        if double:
            Poly(cr, [(2.4, -13), (12.6, -15), (12.6, -12), (2.4, -10)])
            Fill(cr, col)
        else:
            cr.move_to(3.6, -13)
            cr.curve_to(4.5, -9, 9.5, -8.5, 7.5, -3)
            cr.curve_to(8.2, -7, 5.5, -8.5, 3.6, -9.5)
            cr.close_path()
            Fill(cr, col)


def Pixels(surface):
    """Rows of (r, g, b, a) tuples, alpha-unpremultiplied, top row first."""
    surface.flush()
    w, h, stride = surface.get_width(), surface.get_height(), surface.get_stride()
    data = bytes(surface.get_data())
    rows = []
    for y in range(h):
        row = []
        base = y * stride
        for x in range(w):
            b, g, r, a = data[base + 4 * x: base + 4 * x + 4]
            if 0 < a < 255:
                r, g, b = (min(255, round(v * 255.0 / a)) for v in (r, g, b))
            row.append((r, g, b, a))
        rows.append(row)
    return rows


def Enlarged(surface, factor):
    w, h = surface.get_width(), surface.get_height()
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, w * factor, h * factor)
    cr = cairo.Context(s)
    cr.set_source_rgb(0.8, 0.8, 0.8)
    cr.paint()
    cr.scale(factor, factor)
    cr.set_source_surface(surface, 0, 0)
    cr.get_source().set_filter(cairo.FILTER_NEAREST)
    cr.paint()
    return s


def _BmpHeaders(w, h, bits, palette_size, image_size):
    offset = 14 + 40 + 4 * palette_size
    file_header = struct.pack('<2sIHHI', b'BM', offset + image_size, 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, 0, image_size, 2835, 2835,
                       palette_size if bits <= 8 else 0, 0)
    return file_header + info


def WriteBmp24(path, surface):
    rows = Pixels(surface)
    w, h = surface.get_width(), surface.get_height()
    pad = (4 - (3 * w) % 4) % 4
    body = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            body += bytes((b, g, r))
        body += b'\0' * pad
    with open(path, 'wb') as f:
        f.write(_BmpHeaders(w, h, 24, 0, len(body)) + bytes(body))


def WriteBmp8(path, w, h, indices, palette):
    pal = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    pad = (4 - w % 4) % 4
    body = bytearray()
    for y in reversed(range(h)):
        body += bytes(indices[y * w:(y + 1) * w]) + b'\0' * pad
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in pal)
    with open(path, 'wb') as f:
        f.write(_BmpHeaders(w, h, 8, 256, len(body)) + table + bytes(body))


def _IconImage(surface):
    """A 32-bit icon image: BITMAPINFOHEADER of double height, BGRA rows, AND mask."""
    rows = Pixels(surface)
    w, h = surface.get_width(), surface.get_height()
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a)) if a else b'\0\0\0\0'
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def _IconFile(path, kind, surfaces, hotspots):
    images = [_IconImage(s) for s in surfaces]
    out = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for s, img, (a, b) in zip(surfaces, images, hotspots):
        w, h = s.get_width(), s.get_height()
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, a, b, len(img), offset)
        offset += len(img)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


def WriteIco(path, surfaces):
    # Planes 1 and 32 bits per pixel in each directory entry.
    _IconFile(path, 1, surfaces, [(1, 32)] * len(surfaces))


def WriteCur(path, surface, hx, hy):
    # A cursor file keeps the hot spot where an icon keeps planes and bit count.
    _IconFile(path, 2, [surface], [(hx, hy)])
