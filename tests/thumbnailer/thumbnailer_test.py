#!/usr/bin/env python3
"""The thumbnailer run exactly as its .thumbnailer entry says, on pictures written by netpbm and
ImageMagick, a 32767 x 32767 file of shared rows, and files it cannot show:
   python3 thumbnailer_test.py BUILD_DIR THUMBNAILER_ENTRY"""
import os
import shlex
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pnm import as_rgb, read_pnm  # noqa: E402
from sgi_files import write_giant  # noqa: E402

BUILD, ENTRY = sys.argv[1], sys.argv[2]
CONVERT = "/usr/bin/convert"
GREY = "#9F9F9F"  # the viewer's background, under pictures with alpha
GIANT_MIB = {256: 32, 1024: 64}  # peak memory allowed for a 32767 x 32767 picture, by size


def exec_line():
    for line in open(ENTRY):
        if line.startswith("Exec="):
            return shlex.split(line[len("Exec="):])
    raise SystemExit("no Exec line in " + ENTRY)


def thumbnail(size, source, output):
    """Runs the Exec line with %s, %i and %o filled in; returns (exit code, stderr, peak KiB)."""
    words = exec_line()
    program = os.path.join(BUILD, "tools", words[0])
    args = [{"%s": str(size), "%i": source, "%o": output}.get(w, w) for w in words[1:]]
    timing = output + ".time"
    result = subprocess.run(["/usr/bin/time", "-o", timing, "-f", "%M", program] + args,
                            capture_output=True, text=True, timeout=120)
    peak = int(open(timing).read().split()[-1]) if os.path.exists(timing) else 0
    os.remove(timing)
    return result.returncode, result.stderr, peak


def pixels(path):
    data = subprocess.run([CONVERT, path, "ppm:-"], check=True, capture_output=True).stdout
    width, height, channels, px = read_pnm(data)
    return width, height, as_rgb(channels, px)


def largest_difference(a, b):
    return max(abs(x - y) for x, y in zip(a, b)) if len(a) == len(b) else 256


def run(*args):
    subprocess.run(args, check=True, capture_output=True)


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        def path(name):
            return os.path.join(tmp, name)

        run(CONVERT, "-seed", "4", "-size", "512x384", "plasma:fractal", "-depth", "8", path("p.ppm"))
        run(CONVERT, path("p.ppm"), "-colorspace", "Gray", "-depth", "8", path("p.pgm"))
        run(CONVERT, path("p.ppm"), "(", "-size", "384x512", "gradient:white-black", "-rotate", "90", ")",
            "-compose", "CopyOpacity", "-composite", "-depth", "8", path("p.pam"))
        with open(path("grey.bw"), "wb") as out:
            subprocess.run(["pnmtosgi", "-verbatim", path("p.pgm")], check=True, stdout=out, stderr=subprocess.DEVNULL)
        with open(path("rgb.rgb"), "wb") as out:
            subprocess.run(["pnmtosgi", "-rle", path("p.ppm")], check=True, stdout=out, stderr=subprocess.DEVNULL)
        run(CONVERT, path("p.pam"), "-depth", "8", "-compress", "RLE", "sgi:" + path("rgba.rgb"))
        # What each should give: the picture (over the grey, with alpha) in 4 x 4 boxes averaged.
        run(CONVERT, path("p.pgm"), "-scale", "128x96", path("grey-want.ppm"))
        run(CONVERT, path("p.ppm"), "-scale", "128x96", path("rgb-want.ppm"))
        run(CONVERT, path("p.pam"), "-background", GREY, "-flatten", "-scale", "128x96", path("rgba-want.ppm"))
        run(CONVERT, "-seed", "5", "-size", "37x5", "plasma:fractal", "-depth", "8", path("small.ppm"))
        with open(path("small.rgb"), "wb") as out:
            subprocess.run(["pnmtosgi", "-rle", path("small.ppm")], check=True, stdout=out, stderr=subprocess.DEVNULL)

        for name, size, want in [("grey.bw", 128, "grey-want.ppm"), ("rgb.rgb", 128, "rgb-want.ppm"),
                                 ("rgba.rgb", 128, "rgba-want.ppm"), ("small.rgb", 128, "small.ppm")]:
            output = path(name + ".png")
            code, err, _ = thumbnail(size, path(name), output)
            if code != 0:
                failures.append("%s: exit %d: %s" % (name, code, err.strip()))
                continue
            have, expected = pixels(output), pixels(path(want))
            if have[:2] != expected[:2]:
                failures.append("%s: a %dx%d thumbnail, want %dx%d" % ((name,) + have[:2] + expected[:2]))
            elif largest_difference(have[2], expected[2]) > 2:
                failures.append("%s: differs from the averaged picture by %d" % (name, largest_difference(have[2], expected[2])))

        # Only the output is written, and a picture of any height takes a few MiB, at any size.
        giant = path("giant.rgb")
        write_giant(giant)
        for size, limit in GIANT_MIB.items():
            before = sorted(os.listdir(tmp))
            output = path("giant-%d.png" % size)
            code, err, peak = thumbnail(size, giant, output)
            after = sorted(os.listdir(tmp))
            print("32767 x 32767 at -s %d: exit %d, peak memory %d KiB" % (size, code, peak))
            if code != 0 or pixels(output)[:2] != (size, size):
                failures.append("giant at %d: exit %d: %s" % (size, code, err.strip()))
            elif pixels(output)[2][:3] != bytes([180, 129, 104]):  # over the grey
                failures.append("giant at %d: first pixel %s" % (size, pixels(output)[2][:3].hex()))
            if peak > limit * 1024:
                failures.append("giant at %d: peak memory %d KiB, want at most %d MiB" % (size, peak, limit))
            if after != sorted(before + [os.path.basename(output)]):
                failures.append("giant at %d: files written besides the output: %s" % (size, set(after) - set(before)))

        # A header claiming 32767 x 32767 RGBA and nothing behind it: the missing values read as
        # zeros, so the whole preview is clear alpha over the grey.
        header = bytearray(512)
        header[0:12] = b"\x01\xda\x00\x01\x00\x03" + (32767).to_bytes(2, "big") * 2 + (4).to_bytes(2, "big")
        with open(path("header-only.rgb"), "wb") as out:
            out.write(header)
        code, err, _ = thumbnail(256, path("header-only.rgb"), path("header-only.png"))
        if code != 0:
            failures.append("header only: exit %d: %s" % (code, err.strip()))
        elif pixels(path("header-only.png"))[2] != bytes([0x9F]) * (256 * 256 * 3):
            failures.append("header only: not all of the preview is the grey")

        # Sizes above the largest freedesktop size are a usage error.
        code, err, _ = thumbnail(1025, path("small.rgb"), path("too-large.png"))
        if code != 2 or os.path.exists(path("too-large.png")):
            failures.append("-s 1025: exit %d, output %s" % (code, "written" if os.path.exists(path("too-large.png")) else "absent"))

        # Files it cannot show: non-zero, one line on stderr, and no output at all.
        header = bytearray(512)
        header[0:12] = b"\x01\xda\x01\x01\x00\x03" + (5).to_bytes(2, "big") * 2 + (3).to_bytes(2, "big")
        overflow = bytes(header) + b"".join((512 + 120).to_bytes(4, "big") for _ in range(15)) + bytes(60) + b"\x7f\x01\x00"
        hostile = {
            "not-sgi.png": open(path("small.rgb"), "rb").read()[::-1],
            "swapped.rgb": b"\xda\x01" + bytes(510),
            "empty.rgb": b"",
            "no-pixels.bw": b"\x01\xda\x00\x01\x00\x01\x00\x00\x00\x05\x00\x01" + bytes(500),
            "row-too-long.rgb": overflow,
            "two-bytes.rgb": b"\x01\xda\x00\x02" + bytes(508),
        }
        for name, data in hostile.items():
            with open(path(name), "wb") as out:
                out.write(data)
        for name in list(hostile) + ["missing.rgb", "."]:
            output = path(name + ".png")
            code, err, _ = thumbnail(128, path(name), output)
            lines = err.strip().splitlines()
            if code == 0 or len(lines) != 1 or os.path.exists(output):
                failures.append("%s: exit %d, %d lines on stderr, output %s" % (
                    name, code, len(lines), "written" if os.path.exists(output) else "absent"))
    for failure in failures:
        print("FAIL", failure)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
