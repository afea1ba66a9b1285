#!/usr/bin/env python3
"""SGI files written by independent programs (netpbm, ImageMagick), decoded by lumenor-decode and
compared pixel for pixel with the pictures they were written from. RGBA files are compared with
their source laid over the background: old + round((src - old) * alpha / 255)."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pnm import read_pnm  # noqa: E402

DECODE = sys.argv[1]
CONVERT = "/usr/bin/convert"  # ImageMagick itself, whatever else is on the PATH
BACKGROUND = (0x21, 0x43, 0x65)
SIZES = [(1, 1), (7, 5), (33, 17), (1000, 3), (3, 1000), (611, 467)]


def run(*args, **kw):
    return subprocess.run(args, check=True, capture_output=True, **kw)


def expected_rgb(width, height, channels, pixels):
    out = bytearray(width * height * 3)
    for i in range(width * height):
        if channels == 1:
            out[3 * i:3 * i + 3] = bytes([pixels[i]] * 3)
        elif channels == 3:
            out[3 * i:3 * i + 3] = pixels[3 * i:3 * i + 3]
        else:
            alpha = pixels[4 * i + 3]
            for c in range(3):
                old = BACKGROUND[c]
                out[3 * i + c] = old + round((pixels[4 * i + c] - old) * alpha / 255)
    return bytes(out)


def first_difference(width, have, want):
    for i in range(0, min(len(have), len(want)), 3):
        if have[i:i + 3] != want[i:i + 3]:
            return "have %s, want %s at (%d, %d)" % (have[i:i + 3].hex(), want[i:i + 3].hex(),
                                                   (i // 3) % width, (i // 3) // width)
    return "sizes differ: have %d bytes, want %d" % (len(have), len(want))


def main():
    failures, passed = [], 0
    with tempfile.TemporaryDirectory() as tmp:
        for width, height in SIZES:
            base = os.path.join(tmp, "%dx%d" % (width, height))
            run(CONVERT, "-seed", "7", "-size", "%dx%d" % (width, height), "plasma:fractal", "-depth", "8",
                base + ".ppm")
            run(CONVERT, base + ".ppm", "-colorspace", "Gray", "-depth", "8", base + ".pgm")
            # An alpha channel with every level from clear to opaque.
            run(CONVERT, base + ".ppm", "(", "-size", "%dx%d" % (height, width), "gradient:white-black",
                "-rotate", "90", "-evaluate", "multiply", "1.0", ")", "-compose", "CopyOpacity",
                "-composite", "-depth", "8", base + "_rgba.pam")
            writers = [
                ("netpbm rle rgb", base + ".ppm", ["pnmtosgi", "-rle", base + ".ppm"]),
                ("netpbm verbatim rgb", base + ".ppm", ["pnmtosgi", "-verbatim", base + ".ppm"]),
                ("netpbm rle grey", base + ".pgm", ["pnmtosgi", "-rle", base + ".pgm"]),
                ("netpbm verbatim grey", base + ".pgm", ["pnmtosgi", "-verbatim", base + ".pgm"]),
                ("imagemagick rle rgb", base + ".ppm", [CONVERT, base + ".ppm", "-depth", "8", "-compress", "RLE", "sgi:-"]),
                ("imagemagick none rgb", base + ".ppm", [CONVERT, base + ".ppm", "-depth", "8", "-compress", "None", "sgi:-"]),
                ("imagemagick rle rgba", base + "_rgba.pam", [CONVERT, base + "_rgba.pam", "-depth", "8", "-compress", "RLE", "sgi:-"]),
                ("imagemagick none rgba", base + "_rgba.pam", [CONVERT, base + "_rgba.pam", "-depth", "8", "-compress", "None", "sgi:-"]),
            ]
            for name, source, command in writers:
                label = "%s %dx%d" % (name, width, height)
                sgi_path = base + "_" + name.replace(" ", "_") + ".rgb"
                with open(sgi_path, "wb") as out:
                    subprocess.run(command, check=True, stdout=out, stderr=subprocess.DEVNULL)
                decoded = sgi_path + ".ppm"
                result = subprocess.run([DECODE, sgi_path, "-o", decoded, "--background", "%02X%02X%02X" % BACKGROUND],
                                        capture_output=True, text=True)
                if result.returncode != 0:
                    failures.append("%s: exit %d: %s" % (label, result.returncode, result.stderr.strip()))
                    continue
                w, h, c, pixels = read_pnm(source)
                want = expected_rgb(w, h, c, pixels)
                dw, dh, _, have = read_pnm(decoded)
                if (dw, dh) != (w, h):
                    failures.append("%s: have %dx%d, want %dx%d" % (label, dw, dh, w, h))
                elif have != want:
                    failures.append("%s: %s" % (label, first_difference(w, have, want)))
                else:
                    passed += 1
    for failure in failures:
        print("FAIL", failure)
    print("%d passed, %d failed" % (passed, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
