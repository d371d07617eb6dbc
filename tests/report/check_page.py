#!/usr/bin/python3
"""Checks of the report page as a reader's tools see it, for page_in_browser_test.

  check_page.py parse PAGE    strict HTML5 parse: exit 0, or 1 with the errors listed
  check_page.py ink PNG       a screenshot is not blank: exit 0 with its size and share
                              of ink, or 1

Exit 77 when the HTML5 parser is missing (the test then skips and says so)."""
import struct
import sys
import zlib


def parse(path):
    try:
        import html5lib
    except ImportError:
        print("html5lib is not installed for /usr/bin/python3 (Debian: python3-html5lib)")
        return 77
    with open(path, "rb") as f:
        data = f.read()
    parser = html5lib.HTMLParser(strict=True)
    try:
        # The page says it is UTF-8; decoding first makes a bad byte an error here too.
        parser.parse(data.decode("utf-8"))
    except Exception as e:  # strict mode raises ParseError at the first error
        print("parse error:", e)
        for pos, code, info in parser.errors[:10]:
            print("  line %s col %s: %s %s" % (pos[0], pos[1], code, info))
        return 1
    print("well formed: %d bytes" % len(data))
    return 0


def ink(path):
    """Share of the image's filtered bytes that are neither 0 nor 255. PNG rows are
    filtered before compression: a blank (one-colour) screenshot filters to zeros, or to
    255 where the filter is none, so this share is about 0 for a blank page and clearly
    above it for text and charts. No image library needed."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        print("not a PNG")
        return 1
    pos, idat, width, height, depth, colour = 8, b"", 0, 0, 8, 6
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    # Each row starts with its filter type, which is no pixel: leave it out.
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour, 4)
    stride = 1 + (width * channels * depth + 7) // 8
    raw = b"".join(raw[r * stride + 1:(r + 1) * stride] for r in range(height))
    share = (len(raw) - raw.count(0) - raw.count(255)) / max(1, len(raw))
    print("%dx%d, %.2f%% ink" % (width, height, 100.0 * share))
    return 0 if share > 0.002 else 1


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("parse", "ink"):
        print(__doc__)
        sys.exit(2)
    sys.exit(parse(sys.argv[2]) if sys.argv[1] == "parse" else ink(sys.argv[2]))
