#!/usr/bin/python3
"""Checks the picture-decode tool from the outside.

  picture_decode_check.py tool PICTURE_DECODE WORKDIR
      its printed line, exit status and PAM output on a few files
  picture_decode_check.py reference PICTURE_DECODE WORKDIR
      its pixels against Pillow's on pictures that Pillow and ImageMagick write

Exit 77 (skipped) when Pillow or ImageMagick is missing.
"""
import os
import shutil
import subprocess
import sys

try:
    from PIL import Image
except ImportError:
    print("Pillow not available")
    sys.exit(77)

CONVERT = "/usr/bin/convert"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def run_tool(tool, path, out):
    if os.path.exists(out):
        os.remove(out)
    done = subprocess.run([tool, path, out], capture_output=True, timeout=60)
    return done.returncode, done.stdout.decode("ascii", "replace")


def read_pam(path):
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"ENDHDR\n") + len(b"ENDHDR\n")
    header = data[:end].decode("ascii")
    fields = dict(line.split(" ", 1) for line in header.splitlines()[1:-1])
    return header, int(fields["WIDTH"]), int(fields["HEIGHT"]), data[end:]


def pattern(width, height, mode):
    img = Image.new("RGBA", (width, height))
    img.putdata([((x * 7 + y) % 256, (y * 5) % 256, (x * y) % 256, (x * 3 + y * 11) % 256)
                 for y in range(height) for x in range(width)])
    return img if mode == "RGBA" else img.convert(mode)


def convert(args):
    subprocess.run([CONVERT] + args, check=True, timeout=60)


# --- tool -------------------------------------------------------------------

def tool_checks(tool, work):
    out = os.path.join(work, "out.pam")

    def expect_line(name, content, line):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(content)
        status, stdout = run_tool(tool, path, out)
        check(status == 0 and stdout == line + "\n", f"{name}: got {status} {stdout!r}, want {line!r}")
        if line == "none":
            check(not os.path.exists(out), f"{name}: a PAM was written for no picture")

    expect_line("empty.bin", b"", "none")
    expect_line("seven.jpg", bytes([0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A]), "none")
    expect_line("page.html", b"<!DOCTYPE html><html><body><h1>404 Not Found</h1></body></html>\n", "none")
    expect_line("garbage.bmp", b"BM" + bytes(range(60)), "none")
    expect_line("broken.png", b"\x89PNG\r\n\x1a\n" + b"\x00" * 40, "none")
    expect_line("short.gif", b"GIF89a\x01\x00\x01\x00\x00\x00\x00", "none")  # 13 bytes
    # A screen with no image in it shows as an empty, transparent still picture.
    expect_line("imageless.gif", b"GIF89a\x01\x00\x01\x00\x00\x00\x00;", "GIF 1x1")

    # An animation: --frames N writes the first N composed frames, and the
    # stream loops, so frame 4 is frame 1 again. Pillow composes the same
    # full-screen frames.
    frames = [pattern(19, 11, "RGB").rotate(180 * i) for i in range(3)]
    anim = os.path.join(work, "anim.gif")
    frames[0].save(anim, save_all=True, append_images=frames[1:], duration=100, loop=1, disposal=1)
    done = subprocess.run([tool, "--frames", "4", anim, out], capture_output=True, timeout=60)
    check(done.returncode == 0 and done.stdout == b"GIF 19x11\n", f"anim.gif: {done.returncode} {done.stdout!r}")
    reference = Image.open(anim)
    expected = []
    for i in range(3):
        reference.seek(i)
        expected.append(reference.convert("RGBA").tobytes())
    for i in range(4):
        path = os.path.join(work, f"out-{i + 1}.pam")
        check(os.path.exists(path), f"anim.gif: frame {i + 1} written")
        if os.path.exists(path):
            _, w, h, body = read_pam(path)
            check((w, h) == (19, 11) and body == expected[i % 3], f"anim.gif: frame {i + 1} pixels match")

    # Known pixels with partial alpha: the PAM holds them unblended, RGBA.
    img = Image.new("RGBA", (3, 2))
    pixels = [(255, 0, 0, 255), (0, 255, 0, 128), (0, 0, 255, 0), (10, 20, 30, 40), (1, 2, 3, 4), (200, 100, 50, 255)]
    img.putdata(pixels)
    png = os.path.join(work, "known.png")
    img.save(png)
    status, stdout = run_tool(tool, png, out)
    check(status == 0 and stdout == "PNG 3x2\n", f"known.png: {status} {stdout!r}")
    header, w, h, body = read_pam(out)
    check(header == "P7\nWIDTH 3\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", f"header {header!r}")
    check(body == bytes(c for p in pixels for c in p), f"known.png pixels {list(body)}")

    # A picture keeps its own size: nothing is stretched to the box.
    jpg = os.path.join(work, "wide.jpg")
    pattern(500, 300, "RGB").save(jpg, quality=80)
    status, stdout = run_tool(tool, jpg, out)
    check(status == 0 and stdout == "JPEG 500x300\n", f"wide.jpg: {status} {stdout!r}")
    _, w, h, body = read_pam(out)
    check((w, h, len(body)) == (500, 300, 500 * 300 * 4), f"wide.jpg PAM {w}x{h}, {len(body)} bytes")

    # Usage and file errors.
    done = subprocess.run([tool, png], capture_output=True, timeout=60)
    check(done.returncode == 2, f"one argument: status {done.returncode}")
    status, _ = run_tool(tool, os.path.join(work, "missing.png"), out)
    check(status == 2, f"missing input: status {status}")
    status, _ = run_tool(tool, png, os.path.join(work, "no-such-dir", "out.pam"))
    check(status == 2, f"unwritable output: status {status}")


# --- reference ----------------------------------------------------------------

def reference_pictures(work):
    """(file name, line format, how to compare): made by Pillow or ImageMagick."""
    made = []

    def pil(name, mode, fmt, **save):
        path = os.path.join(work, name)
        pattern(37, 23, mode).save(path, **save)
        made.append((name, fmt, "exact"))

    def im(name, fmt, args, compare="exact", prefix=""):
        convert([os.path.join(work, "source.png")] + args + [prefix + os.path.join(work, name)])
        made.append((name, fmt, compare))

    pattern(37, 23, "RGBA").save(os.path.join(work, "source.png"))
    pattern(37, 23, "RGB").save(os.path.join(work, "source-rgb.png"))
    # Binary transparency, so that an icon's mask and alpha agree.
    binary = pattern(37, 23, "RGBA")
    binary.putdata([p[:3] + ((255 if p[3] > 127 else 0),) for p in binary.getdata()])
    binary.save(os.path.join(work, "source-binary.png"))

    pil("pil.jpg", "RGB", "JPEG", quality=90)
    pil("pil-grey.jpg", "L", "JPEG", quality=90)
    pil("pil-progressive.jpg", "RGB", "JPEG", quality=75, progressive=True)
    pil("pil-444.jpg", "RGB", "JPEG", quality=95, subsampling=0)
    pil("pil-rgb.png", "RGB", "PNG")
    pil("pil-rgba.png", "RGBA", "PNG")
    pil("pil-grey.png", "L", "PNG")
    pil("pil-grey-alpha.png", "LA", "PNG")
    pil("pil-palette.png", "P", "PNG")
    pil("pil-1.bmp", "1", "BMP")
    pil("pil-8.bmp", "P", "BMP")
    pil("pil-grey.bmp", "L", "BMP")
    pil("pil-24.bmp", "RGB", "BMP")
    pil("pil-8.pcx", "P", "PCX8")
    pil("pil-grey.pcx", "L", "PCX8")
    pil("pil-1.pcx", "1", "PCX1")
    # Pillow marks its 1-bit PCX as version 2; the box reads 1-bit PCX of version 3.
    with open(os.path.join(work, "pil-1.pcx"), "r+b") as f:
        f.seek(1)
        f.write(b"\x03")
    pil("pil.ico", "RGBA", "ICO", sizes=[(37, 23)])

    im("im.jpg", "JPEG", ["-quality", "85"])
    im("im-interlaced.png", "PNG", ["-interlace", "PNG"])
    im("im-16.png", "PNG", ["-depth", "16"], prefix="PNG64:")
    im("im-palette-alpha.png", "PNG", ["-colors", "64", "-type", "PaletteAlpha"])
    im("im-24.bmp", "BMP", ["-alpha", "off", "-type", "TrueColor", "-define", "bmp:format=bmp3"])
    im("im-24-v5.bmp", "BMP", ["-alpha", "off", "-type", "TrueColor"])
    im("im-8-v5.bmp", "BMP", ["-alpha", "off", "-colors", "200", "-type", "Palette", "-compress", "None"])
    im("im-4-v5.bmp", "BMP", ["-alpha", "off", "-colors", "16", "-type", "Palette", "-compress", "None"])
    im("im-8.pcx", "PCX8", ["-alpha", "off", "-colors", "200", "-type", "Palette"])

    convert([os.path.join(work, "source-binary.png"), os.path.join(work, "im.ico")])
    made.append(("im.ico", "ICO", "icon"))
    # A cursor is an icon file of type 2.
    shutil.copy(os.path.join(work, "im.ico"), os.path.join(work, "im.cur"))
    with open(os.path.join(work, "im.cur"), "r+b") as f:
        f.seek(2)
        f.write(b"\x02")
    made.append(("im.cur", "CUR", "icon colours"))
    return made


def compare(name, how, ours, theirs, width):
    worst = 0
    for i in range(0, len(ours), 4):
        a, b = ours[i:i + 4], theirs[i:i + 4]
        if how.startswith("icon"):
            if how == "icon" and a[3] != b[3]:
                return f"alpha differs at pixel {i // 4}: {list(a)} vs {list(b)}"
            if a[3] == 0:
                continue  # the colour under a transparent pixel is never shown
            a, b = a[:3], b[:3]
        worst = max(worst, max(abs(x - y) for x, y in zip(a, b)))
        if how != "within 1" and worst:
            return f"pixel {i // 4} ({i // 4 % width},{i // 4 // width}): ours {list(a)}, Pillow {list(b)}"
    if worst > 1:
        return f"largest difference {worst}"
    if worst:
        print(f"{name}: largest difference {worst}")
    return None


def reference_checks(tool, work):
    if not os.path.exists(CONVERT):
        print("ImageMagick not available")
        sys.exit(77)
    out = os.path.join(work, "out.pam")
    for name, fmt, how in reference_pictures(work):
        path = os.path.join(work, name)
        with Image.open(path) as img:
            ref = img.convert("RGBA")
        status, stdout = run_tool(tool, path, out)
        want = f"{fmt} {ref.width}x{ref.height}\n"
        check(status == 0 and stdout == want, f"{name}: got {status} {stdout!r}, want {want!r}")
        if status != 0 or stdout != want:
            continue
        _, w, h, body = read_pam(out)
        problem = compare(name, how, body, ref.tobytes(), w)
        check(problem is None, f"{name}: {problem}")
        if problem is None:
            print(f"{name}: {stdout.strip()} matches Pillow ({how})")


def main():
    mode, tool, work = sys.argv[1], sys.argv[2], sys.argv[3]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    {"tool": tool_checks, "reference": reference_checks}[mode](tool, work)
    if failures:
        print(f"{len(failures)} check(s) failed")
        sys.exit(1)
    print("all checks passed")


if __name__ == "__main__":
    main()
