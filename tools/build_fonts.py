#!/usr/bin/python3
"""Build the screen's two dot fonts as TrueType files.

The screen draws text with SDL_ttf, which reads outline fonts only. This
tool turns Debian's JIS bitmap fonts into TrueType fonts whose outlines are
one square per bitmap pixel, sized so that at the point size the screen
opens them with (72 dpi, so one point is one pixel) every glyph renders
exactly as the bitmap:

  JF-Dot-MPlus10.ttf      M+ 10-dot gothic, half-width 5 x 11, full-width
                          10 x 11, opened at 10 pt in a 5 x 12 cell
  JF-Dot-Shinonome16.ttf  Shinonome 16-dot gothic, half-width 8 x 16,
                          full-width 16 x 16, opened at 16 pt in an 8 x 16 cell

Every glyph shares one ascent and descent, so every string renders to a
surface of the cell's height.

Usage: build_fonts.py --out DIR [--samples FILE] [--source-dir DIR]
       build_fonts.py --compare DIR [--source-dir DIR]

--samples writes, for a selection of characters of each font, the exact
pixel pattern the rendered string must show; the font tests compare
SDL_ttf's output against it.

--compare builds the fonts again without writing them and compares them
byte for byte with those in DIR (an earlier build): the build is repeatable
when it exits with 0.
"""

import argparse
import io
import os
import sys
import tempfile

import freetype
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import newTable
from fontTools.ttLib.tables import ttProgram

DEFAULT_SOURCE_DIR = "/usr/share/fonts/X11/misc"

# Font units per bitmap pixel. The em is this times the pixels per em at
# the screen's point size, so pixel edges fall on whole 26.6 pixel values.
UNITS_PER_PIXEL = 64

# 2024-01-01 00:00:00 UTC in seconds since 1904-01-01, the epoch of the
# head table. A fixed stamp keeps rebuilds byte-identical.
FIXED_TIMESTAMP = 3786825600

VERSION = "1.000"

MPLUS_COPYRIGHT = (
    "Glyphs: M+ BITMAP FONTS, copyright \u68ee\u4e0b\u6d69\u53f8 "
    "<coz@users.osdn.me>. "
    "TrueType conversion for tavixDisp.")
MPLUS_LICENSE = (
    "These fonts are free software.\n"
    "Unlimited permission is granted to use, copy, and distribute it, with "
    "or without modification, either commercially and noncommercially.\n"
    "THESE FONTS ARE PROVIDED \"AS IS\" WITHOUT WARRANTY.\n"
    "\n"
    "\u3053\u308c\u3089\u306e\u30d5\u30a9\u30f3\u30c8\u306f\u30d5\u30ea\u30fc"
    "\uff08\u81ea\u7531\u306a\uff09\u30bd\u30d5\u30c8\u30a6\u30a8\u30a2\u3067"
    "\u3059\u3002\n"
    "\u3042\u3089\u3086\u308b\u6539\u5909\u306e\u6709\u7121\u306b\u95a2\u308f"
    "\u3089\u305a\u3001\u307e\u305f\u5546\u696d\u7684\u306a\u5229\u7528\u3067"
    "\u3042\u3063\u3066\u3082\u3001\u81ea\u7531\u306b\u3054\u5229\u7528\u3001\n"
    "\u8907\u88fd\u3001\u518d\u914d\u5e03\u3059\u308b\u3053\u3068\u304c\u3067"
    "\u304d\u307e\u3059\u304c\u3001\u5168\u3066\u7121\u4fdd\u8a3c\u3068\u3055"
    "\u305b\u3066\u3044\u305f\u3060\u304d\u307e\u3059\u3002")
MPLUS_DESCRIPTION = (
    "Built from the M+ 10-dot gothic bitmap fonts (mplus_j10r-jisx0201 "
    "and mplus_j10r, Debian package xfonts-mplus): one square per bitmap "
    "pixel, pixel-exact at 10 pt. The M+ bitmap fonts are free software; "
    "see the licence description.")
MPLUS_URL = "https://mplus-fonts.osdn.jp/mplus-bitmap-fonts/"

SHINONOME_COPYRIGHT = (
    "Glyphs: Shinonome fonts by Yasuyuki Furukawa <yasu@on.cs.keio.ac.jp> "
    "and the /efont/ Project (2001-2004), public domain. "
    "TrueType conversion for tavixDisp.")
SHINONOME_LICENSE = (
    "Public domain. All font data, documents and scripts of the Shinonome "
    "fonts are provided in the public domain. As copyright cannot be "
    "abandoned under current Japanese law, the authors declare that they "
    "will not exercise their rights, making the fonts public domain in "
    "effect. They may be freely modified, converted to other formats, "
    "embedded and redistributed. They come with no warranty whatsoever.\n"
    "\n"
    "\u3053\u306e\u30a2\u30fc\u30ab\u30a4\u30d6\u306b\u542b\u307e\u308c\u308b"
    "\u3059\u3079\u3066\u306e\u30d5\u30a9\u30f3\u30c8\u30c7\u30fc\u30bf\u3001"
    "\u30c9\u30ad\u30e5\u30e1\u30f3\u30c8\u3001\u30b9\u30af\u30ea\u30d7\u30c8"
    "\u985e\u306f\u3059\u3079\u3066 Public Domain \u3067\u63d0\u4f9b\u3055"
    "\u308c\u3066\u3044\u307e\u3059\u3002\n"
    "\u4f46\u3057\u3001\u65e5\u672c\u306b\u65bc\u3044\u3066\u306f\u73fe\u6642"
    "\u70b9\u3067\u8457\u4f5c\u6a29\u3092\u653e\u68c4\u3059\u308b\u3053\u3068"
    "\u306f\u6cd5\u5f8b\u4e0a\u4e0d\u53ef\u80fd\u3067\u3042\u308a\u3001"
    "AUTHORS \u306b\u5217\u6319\u3055\u308c\u3066\u3044\u308b\u4f5c\u8005"
    "\u304c\u305d\u306e\u6a29\u5229\u3092\u884c\u4f7f\u3057\u306a\u3044"
    "\u3068\u5ba3\u8a00\u3059\u308b\u3053\u3068\u3067\u5b9f\u8cea\u7684"
    "\u306a Public Domain \u3067\u3042\u308b\u3068\u3057\u307e\u3059\u3002\n"
    "\u81ea\u7531\u306a\u6539\u9020\u3001\u4ed6\u30d5\u30a9\u30fc\u30de"
    "\u30c3\u30c8\u3078\u306e\u5909\u63db\u3001\u7d44\u8fbc\u307f\u3001"
    "\u518d\u914d\u5e03\u3092\u884c\u3046\u3053\u3068\u304c\u3067\u304d"
    "\u307e\u3059\u3002\n"
    "\u540c\u6642\u306b\u3001\u3053\u308c\u3089\u306f\u3059\u3079\u3066"
    "\u5b8c\u5168\u306b\u7121\u4fdd\u8a3c\u3067\u3059\u3002")
SHINONOME_DESCRIPTION = (
    "Built from the Shinonome 16-dot gothic bitmap fonts (shnm8x16r and "
    "shnmk16, Debian package xfonts-shinonome): one square per bitmap "
    "pixel, pixel-exact at 16 pt. The Shinonome fonts are in the public "
    "domain; see the licence description.")
SHINONOME_URL = "http://openlab.ring.gr.jp/efont/shinonome/"


class FontLayout:
    """What one output font is made of and how it is laid out."""

    def __init__(self, family, half, full, ppem, ascent, descent,
                 copyright_text, license_text, description, url, vendor):
        self.family = family
        self.half = half            # PCF name of the JIS X 0201 font
        self.full = full            # PCF name of the JIS X 0208 font
        self.ppem = ppem            # pixels per em at the screen's size
        self.ascent = ascent        # pixels above the baseline
        self.descent = descent      # pixels below the baseline
        self.copyright_text = copyright_text
        self.license_text = license_text
        self.description = description
        self.url = url
        self.vendor = vendor


# M+ glyphs are 11 pixels high (9 above the baseline); the screen's cell is
# 12. The extra row goes on top, so that every surface is already cell-high
# and kanji, which fill the top ten source rows, sit with one free row
# above and below.
FONTS = [
    FontLayout("JF-Dot-MPlus10", "mplus_j10r-jisx0201", "mplus_j10r",
             ppem=10, ascent=10, descent=2,
             copyright_text=MPLUS_COPYRIGHT, license_text=MPLUS_LICENSE,
             description=MPLUS_DESCRIPTION, url=MPLUS_URL, vendor="MPLS"),
    FontLayout("JF-Dot-Shinonome16", "shnm8x16r", "shnmk16",
             ppem=16, ascent=14, descent=2,
             copyright_text=SHINONOME_COPYRIGHT,
             license_text=SHINONOME_LICENSE,
             description=SHINONOME_DESCRIPTION, url=SHINONOME_URL,
             vendor="SHNM"),
]

# JIS X 0208 characters whose Unicode value differs between the JIS
# mapping (euc_jp, also glibc's SJIS converter) and Microsoft's CP932.
# Text decoded either way finds the same glyph.
CP932_ALIASES = {
    0x301C: 0xFF5E,  # wave dash / fullwidth tilde
    0x2016: 0x2225,  # double vertical line / parallel to
    0x2212: 0xFF0D,  # minus sign / fullwidth hyphen-minus
    0x00A2: 0xFFE0,  # cent sign / fullwidth cent sign
    0x00A3: 0xFFE1,  # pound sign / fullwidth pound sign
    0x00AC: 0xFFE2,  # not sign / fullwidth not sign
}

# JIS X 0201 roman has a yen sign at 0x5C and an overline at 0x7E; the
# half-width fonts draw those there. The bytes keep their ASCII code
# points, and the proper Unicode characters reach the same glyphs.
JIS_ROMAN_ALIASES = {
    0x5C: 0x00A5,  # yen sign
    0x7E: 0x203E,  # overline
}

# Characters whose expected rendering goes into the samples file, beside
# an even spread over the whole character map.
SAMPLE_TEXTS = ["A", "g", "~", "\u30fc", "\uff71", "\uff9f", "\u3042",
                "\u6f22", "\u3001", "\u3000", "\u2500"]
SAMPLE_SPREAD = 64


class SourceError(Exception):
    pass


class Glyph:
    """A source bitmap placed on the baseline: rows top to bottom."""

    def __init__(self, advance, left, top, rows):
        self.advance = advance  # pixels
        self.left = left        # pixels from the origin to column 0
        self.top = top          # pixels from the baseline up to row 0
        self.rows = rows        # list of strings of '#' and '.'


def open_pcf(source_dir, name):
    path = os.path.join(source_dir, name + ".pcf.gz")
    if not os.path.exists(path):
        raise SourceError("missing bitmap font %s" % path)
    try:
        face = freetype.Face(path)
    except freetype.FT_Exception as exc:
        raise SourceError("cannot read %s: %s" % (path, exc))
    if not face.charmaps:
        raise SourceError("%s has no character map" % path)
    # The PCF's only charmap is its native JIS encoding, which FreeType
    # does not select by itself.
    face.set_charmap(face.charmaps[0])
    return face


def read_glyph(face, code):
    index = face.get_char_index(code)
    if index == 0:
        return None
    face.load_glyph(index, freetype.FT_LOAD_DEFAULT | freetype.FT_LOAD_RENDER
                    | freetype.FT_LOAD_TARGET_MONO)
    slot = face.glyph
    bitmap = slot.bitmap
    if bitmap.pixel_mode != freetype.FT_PIXEL_MODE_MONO:
        raise SourceError("glyph 0x%04X is not a one-bit bitmap" % code)
    buffer = bitmap.buffer
    pitch = bitmap.pitch
    rows = []
    for y in range(bitmap.rows):
        line = buffer[y * pitch:(y + 1) * pitch]
        rows.append("".join(
            "#" if line[x >> 3] & (0x80 >> (x & 7)) else "."
            for x in range(bitmap.width)))
    return Glyph(slot.advance.x // 64, slot.bitmap_left, slot.bitmap_top,
                 rows)


def jis0208_to_unicode(code):
    """Row/cell code (two 7-bit bytes) to a code point, or None."""
    hi, lo = code >> 8, code & 0xFF
    if not (0x21 <= hi <= 0x7E and 0x21 <= lo <= 0x7E):
        return None
    try:
        text = bytes([hi | 0x80, lo | 0x80]).decode("euc_jp")
    except UnicodeDecodeError:
        return None
    return ord(text) if len(text) == 1 else None


def jis0201_to_unicode(code):
    if 0x20 <= code <= 0x7E:
        return code
    if 0xA1 <= code <= 0xDF:
        return code - 0xA1 + 0xFF61
    return None


def collect_glyphs(layout, source_dir):
    """Code point -> Glyph, plus alias code point -> primary code point."""
    glyphs = {}
    half = open_pcf(source_dir, layout.half)
    for code, _ in half.get_chars():
        cp = jis0201_to_unicode(code)
        if cp is not None and cp not in glyphs:
            glyph = read_glyph(half, code)
            if glyph is not None:
                glyphs[cp] = glyph
    full = open_pcf(source_dir, layout.full)
    for code, _ in full.get_chars():
        cp = jis0208_to_unicode(code)
        if cp is not None and cp not in glyphs:
            glyph = read_glyph(full, code)
            if glyph is not None:
                glyphs[cp] = glyph
    if 0x41 not in glyphs or 0x3042 not in glyphs:
        raise SourceError("%s / %s lack basic characters"
                          % (layout.half, layout.full))
    half_advance = glyphs[0x41].advance
    if 0x20 not in glyphs:
        glyphs[0x20] = Glyph(half_advance, 0, 0, [])
    aliases = {}
    for primary, alias in list(JIS_ROMAN_ALIASES.items()) + \
            list(CP932_ALIASES.items()):
        if primary in glyphs and alias not in glyphs:
            aliases[alias] = primary
    return glyphs, aliases


def notdef_glyph(layout, full_advance):
    """A hollow box one full-width cell wide, inside the ink area."""
    width = full_advance
    height = layout.ascent + layout.descent
    rows = []
    for y in range(1, height - 1):
        if y in (1, height - 2):
            rows.append("." + "#" * (width - 3) + ".")
        else:
            rows.append(".#" + "." * (width - 5) + "#.")
    return Glyph(width, 0, layout.ascent - 1, rows)


def draw_outline(glyph):
    """One square contour per ink pixel, in font units."""
    pen = TTGlyphPen(None)
    unit = UNITS_PER_PIXEL
    for y, row in enumerate(glyph.rows):
        bottom = (glyph.top - 1 - y) * unit
        for x, pixel in enumerate(row):
            if pixel != "#":
                continue
            left = (glyph.left + x) * unit
            # Clockwise, as TrueType fills.
            pen.moveTo((left, bottom))
            pen.lineTo((left, bottom + unit))
            pen.lineTo((left + unit, bottom + unit))
            pen.lineTo((left + unit, bottom))
            pen.closePath()
    return pen.glyph()


def glyph_name(cp):
    return "uni%04X" % cp


def check_fits(layout, cp, glyph):
    if glyph.top > layout.ascent or \
            glyph.top - len(glyph.rows) < -layout.descent:
        raise SourceError("U+%04X of %s leaves the %d/%d line"
                          % (cp, layout.family, layout.ascent, layout.descent))
    if glyph.left < 0 or any(glyph.left + len(r) > glyph.advance
                             for r in glyph.rows if "#" in r):
        raise SourceError("U+%04X of %s leaves its advance"
                          % (cp, layout.family))


def build_font(layout, glyphs, aliases):
    unit = UNITS_PER_PIXEL
    full_advance = glyphs[0x3042].advance
    notdef = notdef_glyph(layout, full_advance)

    order = [".notdef"] + [glyph_name(cp) for cp in sorted(glyphs)]
    cmap = {cp: glyph_name(cp) for cp in glyphs}
    for alias, primary in aliases.items():
        cmap[alias] = glyph_name(primary)

    outlines = {".notdef": draw_outline(notdef)}
    advances = {".notdef": notdef.advance}
    for cp, glyph in glyphs.items():
        check_fits(layout, cp, glyph)
        outlines[glyph_name(cp)] = draw_outline(glyph)
        advances[glyph_name(cp)] = glyph.advance

    fb = FontBuilder(unitsPerEm=layout.ppem * unit, isTTF=True)
    fb.font.recalcTimestamp = False
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(outlines)
    glyf = fb.font["glyf"]
    metrics = {}
    for name in order:
        g = glyf[name]
        lsb = g.xMin if g.numberOfContours else 0
        metrics[name] = (advances[name] * unit, lsb)
    fb.setupHorizontalMetrics(metrics)

    ascent = layout.ascent * unit
    descent = layout.descent * unit
    fb.setupHorizontalHeader(ascent=ascent, descent=-descent, lineGap=0)
    fb.setupHead(unitsPerEm=layout.ppem * unit, created=FIXED_TIMESTAMP,
                 modified=FIXED_TIMESTAMP, fontRevision=float(VERSION),
                 lowestRecPPEM=layout.ppem, flags=0x000B)
    half_advance = glyphs[0x41].advance
    fb.setupOS2(
        version=4,
        xAvgCharWidth=half_advance * unit,
        usWeightClass=400, usWidthClass=5, fsType=0,
        achVendID=layout.vendor,
        sTypoAscender=ascent, sTypoDescender=-descent, sTypoLineGap=0,
        usWinAscent=ascent, usWinDescent=descent,
        sxHeight=0, sCapHeight=0,
        fsSelection=0x00C0,  # regular, use typo metrics
        ulCodePageRange1=(1 << 0) | (1 << 17),  # Latin 1, JIS/Japan
        ulCodePageRange2=0)
    fb.font["OS/2"].recalcUnicodeRanges(fb.font)
    fb.setupPost(keepGlyphNames=False, isFixedPitch=0)
    fb.setupMaxp()
    names = {
        "copyright": layout.copyright_text,
        "familyName": layout.family,
        "styleName": "Regular",
        "uniqueFontIdentifier": "%s %s" % (layout.family, VERSION),
        "fullName": layout.family,
        "version": "Version %s" % VERSION,
        "psName": layout.family,
        "description": layout.description,
        "vendorURL": layout.url,
        "licenseDescription": layout.license_text,
    }
    fb.setupNameTable(names, windows=True, mac=False)
    # A font with no hinting program at all is handed to FreeType's
    # auto-hinter, which may move pixel edges. A pre-program that does
    # nothing keeps FreeType on the plain TrueType path: the outlines
    # are already on the pixel grid.
    prep = newTable("prep")
    prep.program = ttProgram.Program()
    prep.program.fromAssembly(["PUSHB[ ]", "0", "POP[ ]"])
    fb.font["prep"] = prep
    return fb.font


def expected_pattern(layout, glyphs, text):
    """Rows of the surface SDL_ttf must render for text, or None."""
    line = []
    for ch in text:
        glyph = glyphs.get(ord(ch))
        if glyph is None:
            return None
        line.append(glyph)
    width = sum(g.advance for g in line)
    height = layout.ascent + layout.descent
    canvas = [["."] * width for _ in range(height)]
    x0 = 0
    for g in line:
        for y, row in enumerate(g.rows):
            cy = layout.ascent - g.top + y
            for x, pixel in enumerate(row):
                if pixel == "#":
                    canvas[cy][x0 + g.left + x] = "#"
        x0 += g.advance
    return ["".join(r) for r in canvas]


def sample_lines(layout, glyphs):
    texts = list(SAMPLE_TEXTS)
    codes = sorted(glyphs)
    texts += [chr(cp) for cp in codes[::SAMPLE_SPREAD]]
    # Two-character runs check that glyphs sit side by side.
    texts += ["Ag", "\u3042A\uff71"]
    out = []
    seen = set()
    for text in texts:
        if text in seen:
            continue
        seen.add(text)
        pattern = expected_pattern(layout, glyphs, text)
        if pattern is None:
            continue
        out.append("sample %s %s %d %d" % (
            layout.family, " ".join("%04X" % ord(c) for c in text),
            len(pattern[0]), len(pattern)))
        out.extend(pattern)
    return out


def write_atomically(path, write):
    directory = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".tmp-", dir=directory)
    os.close(fd)
    try:
        write(tmp)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def compare_fonts(directory, built):
    """0 when every built font equals its file in directory, else 1."""
    differing = 0
    for layout, font in built:
        path = os.path.join(directory, layout.family + ".ttf")
        fresh = io.BytesIO()
        font.save(fresh)
        try:
            with open(path, "rb") as f:
                same = f.read() == fresh.getvalue()
        except OSError:
            same = False
        print("%s: %s" % (path, "same" if same else "DIFFERS"))
        differing += not same
    return 1 if differing else 0


def main(argv):
    parser = argparse.ArgumentParser(
        description="Build the dot TrueType fonts from Debian's bitmap fonts.")
    target = parser.add_mutually_exclusive_group(required=True)
    target.add_argument("--out",
                        help="directory to write the .ttf files to")
    target.add_argument("--compare",
                        help="directory of built .ttf files to compare with")
    parser.add_argument("--samples",
                        help="file to write expected glyph patterns to")
    parser.add_argument("--source-dir", default=DEFAULT_SOURCE_DIR,
                        help="directory of the .pcf.gz bitmap fonts")
    args = parser.parse_args(argv)

    samples = ["# Expected renderings: 'sample FAMILY CODEPOINTS WIDTH "
               "HEIGHT', then HEIGHT rows."]
    # Everything is built before anything is written, so a failure leaves
    # the previous fonts in place.
    built = []
    try:
        for layout in FONTS:
            glyphs, aliases = collect_glyphs(layout, args.source_dir)
            built.append((layout, build_font(layout, glyphs, aliases)))
            samples.extend(sample_lines(layout, glyphs))
    except SourceError as exc:
        print("build_fonts: %s" % exc, file=sys.stderr)
        return 1

    if args.compare:
        return compare_fonts(args.compare, built)
    os.makedirs(args.out, exist_ok=True)
    for layout, font in built:
        path = os.path.join(args.out, layout.family + ".ttf")
        write_atomically(path, font.save)
        print("%s: %d glyphs, %d characters" % (
            path, len(font.getGlyphOrder()), len(font["cmap"].getBestCmap())))
    if args.samples:
        def write_samples(tmp):
            with open(tmp, "w", encoding="ascii") as f:
                f.write("\n".join(samples) + "\n")
        write_atomically(args.samples, write_samples)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
