"""Writes GIFs with two independent encoders (Pillow and ImageMagick) and,
for each, the RGBA pixels Pillow decodes from it, for the reader's test.

Usage: make_reference_gifs.py OUTPUT_DIR
Writes NAME.gif, NAME.rgba and a line "NAME WIDTH HEIGHT" in cases.txt.
"""
import os
import random
import shutil
import subprocess
import sys

from PIL import Image

out = sys.argv[1]
rng = random.Random(1234)
cases = []


def palette_image(width, height, colours, pixel):
    image = Image.new("P", (width, height))
    palette = []
    for i in range(colours):
        palette += [rng.randrange(256), rng.randrange(256), rng.randrange(256)]
    image.putpalette(palette)
    image.putdata([pixel(x, y) for y in range(height) for x in range(width)])
    return image


def record(name):
    decoded = Image.open(os.path.join(out, name + ".gif"))
    decoded.seek(0)
    rgba = decoded.convert("RGBA")
    with open(os.path.join(out, name + ".rgba"), "wb") as f:
        f.write(rgba.tobytes())
    cases.append("%s %d %d" % (name, rgba.width, rgba.height))


noise = palette_image(61, 37, 256, lambda x, y: rng.randrange(256))
noise.save(os.path.join(out, "pillow_noise.gif"), optimize=False)
record("pillow_noise")

gradient = palette_image(200, 120, 64, lambda x, y: (x // 4 + y // 3) % 64)
gradient.save(os.path.join(out, "pillow_gradient_interlaced.gif"), optimize=False, interlace=True)
record("pillow_gradient_interlaced")

spots = palette_image(90, 50, 16, lambda x, y: 0 if (x * y) % 7 == 0 else rng.randrange(1, 16))
spots.save(os.path.join(out, "pillow_transparent.gif"), optimize=False, transparency=0)
record("pillow_transparent")

convert = shutil.which("convert-im6.q16") or "/usr/bin/convert"
if os.path.exists(convert):
    photo = Image.new("RGB", (320, 240))
    photo.putdata([((x * 255) // 319, (y * 255) // 239, rng.randrange(256) if (x // 16 + y // 16) % 3 == 0 else 128)
                   for y in range(240) for x in range(320)])
    source = os.path.join(out, "photo.ppm")
    photo.save(source)
    for name, extra in (("magick_photo", []), ("magick_photo_interlaced", ["-interlace", "GIF"]),
                        ("magick_few_colours", ["-colors", "5"])):
        subprocess.run([convert, source] + extra + [os.path.join(out, name + ".gif")], check=True, timeout=60)
        record(name)

with open(os.path.join(out, "cases.txt"), "w") as f:
    f.write("\n".join(cases) + "\n")
