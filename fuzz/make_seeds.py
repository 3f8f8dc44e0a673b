#!/usr/bin/python3
"""Writes small valid inputs of every kind the fuzz targets read into
OUTDIR/<target>/, made fresh with Pillow and ImageMagick so that no binary
has to live in the tree. Run with Debian's /usr/bin/python3, which has Pillow.
"""
import io
import shutil
import subprocess
import sys
from pathlib import Path

from PIL import Image

CONVERT = "/usr/bin/convert"


def gradient(mode, size=(16, 12)):
    image = Image.new("RGBA", size)
    for y in range(size[1]):
        for x in range(size[0]):
            image.putpixel((x, y), (x * 16 % 256, y * 20 % 256, (x + y) * 8 % 256, (x * y * 3) % 256))
    return image.convert(mode) if mode != "RGBA" else image


def pillow(image, fmt, **options):
    out = io.BytesIO()
    image.save(out, fmt, **options)
    return out.getvalue()


def magick(*args):
    """ImageMagick's output for a built-in picture, or None when it fails."""
    try:
        return subprocess.run([CONVERT, *args], check=True, capture_output=True, timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return None


def still_pictures():
    rgb, rgba = gradient("RGB"), gradient("RGBA")
    seeds = {
        "rgb24.bmp": pillow(rgb, "BMP"),
        "pal8.bmp": pillow(rgb.convert("P"), "BMP"),
        "mono.bmp": pillow(rgb.convert("1"), "BMP"),
        "rgb.jpg": pillow(rgb, "JPEG", quality=80),
        "progressive.jpg": pillow(rgb, "JPEG", progressive=True),
        "grey.jpg": pillow(rgb.convert("L"), "JPEG"),
        "rgba.png": pillow(rgba, "PNG"),
        "pal.png": pillow(rgb.convert("P"), "PNG"),
        "grey16.png": magick("-size", "6x5", "gradient:", "-depth", "16", "png:-"),
        "interlaced.png": magick("-size", "9x7", "gradient:red-blue", "-interlace", "PNG", "png:-"),
        "icon.ico": pillow(rgba, "ICO", sizes=[(16, 12)]),
        "pal8.pcx": pillow(rgb.convert("P"), "PCX"),
        "rgb.pcx": pillow(rgb, "PCX"),
        "bmp4.bmp": magick("-size", "7x5", "gradient:", "-colors", "16", "-type", "Palette", "bmp3:-"),
        "bmp32.bmp": magick("-size", "5x3", "xc:#12345678", "-alpha", "on", "bmp:-"),
        "rle8.bmp": magick("-size", "9x4", "gradient:", "-colors", "8", "-compress", "RLE", "bmp3:-"),
    }
    icon = seeds["icon.ico"]
    seeds["cursor.cur"] = icon[:2] + b"\x02\x00" + icon[4:]  # the same directory as a cursor
    mono_pcx = bytearray(pillow(rgb.convert("1"), "PCX"))
    mono_pcx[1] = 3  # the version that marks a 1-bit PCX
    seeds["mono.pcx"] = bytes(mono_pcx)
    return seeds


def gifs():
    frames = [gradient("RGB").rotate(angle).convert("P") for angle in (0, 90, 180)]
    seeds = {
        "still.gif": pillow(frames[0], "GIF"),
        "interlaced.gif": pillow(frames[0], "GIF", interlace=True),
        "transparent.gif": pillow(frames[0], "GIF", transparency=0),
    }
    for disposal in (0, 1, 2, 3):
        seeds[f"animated-d{disposal}.gif"] = pillow(
            frames[0], "GIF", save_all=True, append_images=frames[1:], duration=[0, 30, 70],
            disposal=disposal, loop=0, transparency=1)
    seeds["magick-anim.gif"] = magick(
        "-delay", "5", "-size", "6x4", "xc:red", "-page", "+2+1", "-size", "3x2", "xc:blue",
        "-dispose", "Previous", "-loop", "0", "gif:-")
    return seeds


def names():
    return {
        "ascii.txt": b"Velkaro 2024",
        "gbk.txt": "张三的车".encode("gbk"),
        "euro.txt": b"\x80\xa1\xa1",
        "broken-gbk.txt": b"\x81\x30\xff\xfe\x81",
        "zero.txt": b"ab\x00\xd5\xc5",
    }


def replies():
    body = b"\x89PNG\r\n\x1a\n" + b"x" * 40
    length = b"Content-Length: %d\r\n" % len(body)
    return {
        "plain.http": b"HTTP/1.0 200 OK\r\n" + length + b"\r\n" + body,
        "no-length.http": b"HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n\r\n" + body,
        "short.http": b"HTTP/1.1 200 OK\r\nContent-Length: 9999\r\n\r\n" + body,
        "chunked.http": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3\r\nabc\r\n0\r\n\r\n",
        "continue.http": b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 404 Not Found\r\n" + length + b"\r\n" + body,
        "redirect.http": b"HTTP/1.0 302 Found\r\nLocation: /again\r\nContent-Length: 4\r\n\r\nmove",
        "bad-length.http": b"HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nbody",
        "headers-only.http": b"HTTP/1.0 500 Oops\r\n",
    }


def write(directory, seeds):
    directory.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        if data:
            (directory / name).write_bytes(data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_seeds.py OUTDIR")
    out = Path(sys.argv[1])
    pictures = still_pictures()
    gif_seeds = gifs()
    write(out / "fuzz_picture", {**pictures, **gif_seeds})
    write(out / "fuzz_gif_stream", gif_seeds)
    write(out / "fuzz_url_encode", names())
    write(out / "fuzz_fetch_reply", replies())
    # The hand-made edge cases kept in the tree join their target's seeds.
    kept = Path(__file__).resolve().parent / "seeds"
    for target in kept.iterdir() if kept.is_dir() else []:
        for seed in target.iterdir():
            (out / target.name).mkdir(parents=True, exist_ok=True)
            shutil.copy(seed, out / target.name / seed.name)


if __name__ == "__main__":
    main()
