#!/usr/bin/python3
"""Frame-by-frame check of picture-decode's animated GIF frames against a
second, separately written reader and compositor.

  gif_frames_check.py PICTURE_DECODE WORKDIR

Writes a table of small GIFs with its own encoder, composes each one's first
frames here (own block reader, own LZW decoder, own disposal and
transparency), runs `picture-decode --frames N` on it and compares every
frame byte for byte. A mismatch prints the case, the frame and the first
pixel that differs.

Conventions of picture-decode's frames that this file shares: each frame is
the whole logical screen as RGBA, starting fully transparent (the box starts
from its background colour instead); a colour is opaque; what lies outside
the screen is dropped.
"""
import os
import random
import shutil
import struct
import subprocess
import sys

# --- writing GIFs -----------------------------------------------------------

MAX_CODE_BITS = 12
MAX_CODES = 1 << MAX_CODE_BITS


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def put(self, code, width):
        self.acc |= code << self.bits
        self.bits += width
        while self.bits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.bits -= 8

    def finish(self):
        if self.bits:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


def lzw_encode(indexes, min_code_size, clear_when_full=True, end_code=True):
    """GIF LZW: starts with a clear code, widens codes as the table grows and,
    unless told to keep a full table, clears again when it reaches 4096."""
    clear, eoi = 1 << min_code_size, (1 << min_code_size) + 1
    w = BitWriter()

    def reset():
        return {(i,): i for i in range(clear)}, eoi + 1, min_code_size + 1

    table, next_code, width = reset()
    w.put(clear, width)
    current = ()
    for index in indexes:
        grown = current + (index,)
        if grown in table:
            current = grown
            continue
        w.put(table[current], width)
        if next_code < MAX_CODES:
            table[grown] = next_code
            next_code += 1
            # The decoder adds this entry only when it reads the next code,
            # so the width follows one code later than the table.
            if next_code > (1 << width) and width < MAX_CODE_BITS:
                width += 1
            if next_code == MAX_CODES and clear_when_full:
                w.put(clear, width)
                table, next_code, width = reset()
        current = (index,)
    if current:
        w.put(table[current], width)
        # Reading that last code the decoder adds one more entry, which may
        # widen the end code.
        if next_code == (1 << width) and width < MAX_CODE_BITS:
            width += 1
    if end_code:
        w.put(eoi, width)
    return w.finish()


def sub_blocks(data, size=255):
    out = bytearray()
    for i in range(0, len(data), size):
        chunk = data[i:i + size]
        out += bytes([len(chunk)]) + chunk
    return bytes(out + b"\x00")


def colour_table(colours):
    """(size field, bytes): padded to a power of two of at least 2 entries."""
    n, field = 2, 0
    while n < len(colours):
        n, field = n * 2, field + 1
    raw = b"".join(bytes(c) for c in colours) + b"\x00\x00\x00" * (n - len(colours))
    return field, raw


INTERLACE_PASSES = [(0, 8), (4, 8), (2, 4), (1, 2)]


def interlaced_rows(height):
    return [y for start, step in INTERLACE_PASSES for y in range(start, height, step)]


def gce(delay=0, disposal=0, transparent=None):
    packed = (disposal & 7) << 2 | (1 if transparent is not None else 0)
    return b"\x21\xF9\x04" + struct.pack("<BHB", packed, delay, transparent or 0) + b"\x00"


def comment(text=b"made here"):
    return b"\x21\xFE" + sub_blocks(text)


def loop_extension(count):
    return b"\x21\xFF\x0BNETSCAPE2.0" + sub_blocks(b"\x01" + struct.pack("<H", count))


def image(left, top, width, height, pixels, lct=None, interlaced=False, min_code=None,
          keep_bytes=None, keep_pixels=None, clear_when_full=True):
    """An image descriptor and its data. pixels are in display order;
    keep_bytes cuts the LZW data (no end code), keep_pixels ends it early."""
    assert len(pixels) == width * height
    packed = 0x40 if interlaced else 0
    table = b""
    if lct is not None:
        field, table = colour_table(lct)
        packed |= 0x80 | field
    rows = interlaced_rows(height) if interlaced else range(height)
    stream = [pixels[y * width + x] for y in rows for x in range(width)]
    if min_code is None:
        min_code = max(2, (max(pixels) if pixels else 0).bit_length())
    if keep_pixels is not None:
        stream = stream[:keep_pixels]
    data = lzw_encode(stream, min_code, clear_when_full, end_code=keep_bytes is None)
    if keep_bytes is not None:
        data = data[:keep_bytes]
    return (b"\x2C" + struct.pack("<HHHHB", left, top, width, height, packed) + table
            + bytes([min_code]) + sub_blocks(data))


def gif(width, height, gct, blocks, trailer=b"\x3B", cut=0):
    packed, table = 0, b""
    if gct is not None:
        field, table = colour_table(gct)
        packed = 0x80 | 0x70 | field
    data = b"GIF89a" + struct.pack("<HHBBB", width, height, packed, 0, 0) + table + b"".join(blocks) + trailer
    return data[:len(data) - cut] if cut else data


def solid(width, height, index):
    return [index] * (width * height)


def pattern(width, height, count, seed=0):
    return [(x * 3 + y * 5 + seed) % count for y in range(height) for x in range(width)]


# --- the independent reader and compositor ----------------------------------

class Ended(Exception):
    """The data ran out inside a block."""


class Reader:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def u8(self):
        if self.pos >= len(self.data):
            raise Ended()
        self.pos += 1
        return self.data[self.pos - 1]

    def u16(self):
        return self.u8() | self.u8() << 8

    def take(self, n):
        if self.pos + n > len(self.data):
            raise Ended()
        self.pos += n
        return self.data[self.pos - n:self.pos]

    def sub_block_data(self):
        """All sub-blocks up to the terminator; (data, whether it was complete)."""
        out = bytearray()
        try:
            while True:
                n = self.u8()
                if n == 0:
                    return bytes(out), True
                out += self.take(n)
        except Ended:
            out += self.data[self.pos:]
            self.pos = len(self.data)
            return bytes(out), False


def lzw_decode(min_code_size, data, pixel_count):
    """Indexes in stream order; fewer than pixel_count when the data runs short
    or turns bad. None when the image cannot be decoded at all."""
    if not 2 <= min_code_size <= 8:
        return None
    clear, eoi = 1 << min_code_size, (1 << min_code_size) + 1
    out = []
    bit_pos, total_bits = 0, len(data) * 8
    entries = None
    width = min_code_size + 1
    previous = None
    while len(out) < pixel_count:
        if bit_pos + width > total_bits:
            break
        code = 0
        for i in range(width):
            bit = bit_pos + i
            code |= ((data[bit >> 3] >> (bit & 7)) & 1) << i
        bit_pos += width
        if code == clear:
            entries = [[i] for i in range(clear)] + [None, None]
            width = min_code_size + 1
            previous = None
            continue
        if code == eoi:
            break
        if entries is None:  # data that does not begin with a clear code
            entries = [[i] for i in range(clear)] + [None, None]
        if previous is None:
            if code >= clear:
                break
            string = entries[code]
        elif code < len(entries) and entries[code] is not None:
            string = entries[code]
            if len(entries) < MAX_CODES:
                entries.append(previous + string[:1])
        elif code == len(entries) and len(entries) < MAX_CODES:
            string = previous + previous[:1]
            entries.append(string)
        else:
            break
        if len(entries) == (1 << width) and width < MAX_CODE_BITS:
            width += 1
        out.extend(string)
        previous = string
    return out[:pixel_count]


def read_palette(reader, field):
    raw = reader.take(3 * (2 << field))
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]


class Stream:
    """The frame stream after the header, read one image per step, for ever."""

    def __init__(self, data):
        if len(data) < 14 or data[:6] not in (b"GIF87a", b"GIF89a"):
            raise ValueError("not a usable GIF")
        self.width, self.height, packed = struct.unpack("<HHB", data[6:11])
        start = 13
        self.global_colours = None
        if packed & 0x80:
            size = 3 * (2 << (packed & 7))
            if start + size >= len(data):
                raise ValueError("global colour table reaches the end")
            self.global_colours = read_palette(Reader(data, start), packed & 7)
            start += size
        self.frames = data[start:]
        self.pos = 0
        self.delay, self.transparent = 0, None

    def next_image(self):
        disposal = 0
        wrapped = False
        while True:
            r = Reader(self.frames, self.pos)
            if self.pos >= len(self.frames) or self.frames[self.pos] in (0x3B, 0x00):
                assert not wrapped, "a stream without an image"
                self.pos, wrapped = 0, True
                continue
            kind = r.u8()
            try:
                if kind == 0x21:
                    label = r.u8()
                    if label == 0xF9:
                        r.u8()  # block size
                        packed = r.u8()
                        self.delay = r.u16()
                        index = r.u8()
                        disposal = (packed >> 2) & 7
                        self.transparent = index if packed & 1 else None
                    r.sub_block_data()
                    self.pos = r.pos
                    continue
                assert kind == 0x2C, f"unexpected block 0x{kind:02x} in the test data"
                left, top, w, h, packed = struct.unpack("<HHHHB", r.take(9))
                colours = self.global_colours
                if packed & 0x80:
                    colours = read_palette(r, packed & 7)
                min_code = r.u8()
                data, _ = r.sub_block_data()
            except Ended:
                self.pos = len(self.frames)
                return Image(0, 0, 0, 0, [], [], False, disposal, self.transparent, self.delay)
            self.pos = r.pos
            indexes = lzw_decode(min_code, data, w * h)
            return Image(left, top, w, h, indexes, colours or [], bool(packed & 0x40),
                         disposal, self.transparent, self.delay)


class Image:
    def __init__(self, left, top, w, h, indexes, colours, interlaced, disposal, transparent, delay):
        self.left, self.top, self.w, self.h = left, top, w, h
        self.indexes, self.colours, self.interlaced = indexes, colours, interlaced
        self.disposal, self.transparent, self.delay = disposal, transparent, delay

    def decoded(self):
        return self.indexes is not None

    def display_rows(self):
        return interlaced_rows(self.h) if self.interlaced else list(range(self.h))

    def covered(self, sw, sh):
        """The screen pixels under the image."""
        return [(x, y) for y in range(max(0, self.top), min(sh, self.top + self.h))
                for x in range(max(0, self.left), min(sw, self.left + self.w))]


def restores(disposal):
    return disposal in (2, 3)


def compose(data, frame_count):
    """The first frame_count composed screens, as RGBA bytes each."""
    s = Stream(data)
    sw, sh = s.width, s.height
    screen = [(0, 0, 0, 0)] * (sw * sh)
    saved = None
    frames = []
    for _ in range(frame_count):
        if saved is not None:
            for (x, y), pixel in saved:
                screen[y * sw + x] = pixel
            saved = None
        img = s.next_image()
        if restores(img.disposal):
            saved = [((x, y), screen[y * sw + x]) for x, y in img.covered(sw, sh)]
        # An image that cannot be decoded adds nothing; one whose data runs
        # short adds the pixels decoded before the data ended.
        if img.decoded():
            for stream_row, y in enumerate(img.display_rows()):
                for x in range(img.w):
                    if stream_row * img.w + x >= len(img.indexes):
                        break
                    index = img.indexes[stream_row * img.w + x]
                    sx, sy = img.left + x, img.top + y
                    if index == img.transparent or not (0 <= sx < sw and 0 <= sy < sh):
                        continue
                    screen[sy * sw + sx] = img.colours[index] + (255,)
        frames.append(b"".join(bytes(p) for p in screen))
    return sw, sh, frames


def single_image(data):
    """Whether at most one byte follows the first image (the GIF is shown still)."""
    s = Stream(data)
    s.next_image()
    return s.pos != 0 and len(s.frames) - s.pos <= 1


# --- the table --------------------------------------------------------------

RED, GREEN, BLUE, WHITE, BLACK = (200, 20, 30), (10, 180, 40), (20, 40, 210), (250, 250, 250), (0, 0, 0)
YELLOW, CYAN, GREY = (240, 220, 10), (10, 220, 230), (120, 120, 120)
G4 = [RED, GREEN, BLUE, WHITE]
G8 = [RED, GREEN, BLUE, WHITE, BLACK, YELLOW, CYAN, GREY]


def holes(width, height, fill, hole):
    """fill with a checkerboard of the hole index."""
    return [hole if (x + y) % 2 else fill for y in range(height) for x in range(width)]


def random_pixels(width, height, count, seed):
    rng = random.Random(seed)
    return [rng.randrange(count) for _ in range(width * height)]


PALETTE_256 = [((i * 37) % 256, (i * 91) % 256, (255 - i) % 256) for i in range(256)]

CASES = [
    ("disposal 0 and 1 stay under the next image", 6, gif(8, 6, G4, [
        gce(10, 0), image(0, 0, 8, 6, solid(8, 6, 0)),
        gce(10, 1), image(1, 1, 3, 2, solid(3, 2, 1)),
        gce(10, 0), image(3, 2, 4, 3, solid(4, 3, 2))])),
    ("transparent pixels show the screen beneath, also the empty screen", 4, gif(6, 4, G4, [
        gce(5, 1, transparent=3), image(0, 0, 6, 4, holes(6, 4, 0, 3)),
        gce(5, 1, transparent=0), image(1, 0, 4, 4, holes(4, 4, 2, 0))])),
    ("disposal 2 puts back what was under it, not a background colour", 5, gif(8, 6, G4, [
        gce(10, 0), image(0, 0, 8, 6, pattern(8, 6, 4)),
        gce(10, 2), image(2, 1, 4, 3, solid(4, 3, 3)),
        gce(10, 1), image(5, 3, 3, 3, solid(3, 3, 1))])),
    ("disposal 3 puts back the previous screen", 4, gif(8, 6, G4, [
        gce(10, 1), image(0, 0, 8, 6, solid(8, 6, 1)),
        gce(10, 3), image(0, 0, 5, 5, pattern(5, 5, 4, 1)),
        gce(10, 0), image(4, 4, 4, 2, solid(4, 2, 2))])),
    ("disposal 3 image after a disposal 2 one, overlapping", 7, gif(8, 6, G8, [
        gce(10, 0), image(0, 0, 8, 6, pattern(8, 6, 8)),
        gce(10, 2), image(1, 1, 4, 4, solid(4, 4, 5)),
        gce(10, 3), image(3, 2, 4, 4, solid(4, 4, 6)),
        gce(10, 1), image(6, 0, 2, 2, solid(2, 2, 7))])),
    ("disposal 2 of a transparent image restores only the screen it sat on", 5, gif(6, 6, G4, [
        gce(10, 0), image(0, 0, 6, 6, solid(6, 6, 0)),
        gce(10, 2, transparent=1), image(1, 1, 4, 4, holes(4, 4, 2, 1)),
        gce(10, 0, transparent=1), image(0, 3, 6, 3, holes(6, 3, 3, 1))])),
    ("a disposal 2 first image leaves the empty screen, also on the next loop", 5, gif(5, 4, G4, [
        gce(10, 2), image(0, 0, 3, 3, solid(3, 3, 2)),
        gce(10, 0), image(2, 1, 3, 3, solid(3, 3, 3))])),
    ("disposal 4 to 7 put nothing back", 4, gif(5, 4, G4, [
        gce(10, 4), image(0, 0, 5, 4, solid(5, 4, 0)),
        gce(10, 7), image(1, 1, 2, 2, solid(2, 2, 1)),
        gce(10, 0), image(3, 0, 2, 2, solid(2, 2, 2))])),
    ("local colour tables override the global one", 4, gif(6, 4, G4, [
        gce(10, 0), image(0, 0, 6, 4, pattern(6, 4, 4), lct=[YELLOW, CYAN, GREY, BLACK]),
        gce(10, 0), image(2, 0, 4, 2, pattern(4, 2, 4, 2)),
        gce(10, 0), image(0, 2, 3, 2, pattern(3, 2, 8), lct=G8[::-1])])),
    ("no global table, local tables only", 3, gif(4, 4, None, [
        gce(10, 0), image(0, 0, 4, 4, pattern(4, 4, 2), lct=[RED, BLUE]),
        gce(10, 0), image(1, 1, 2, 2, solid(2, 2, 1), lct=[WHITE, GREEN])])),
    ("interlaced images land on their display rows", 3, gif(7, 19, G8, [
        gce(10, 0), image(0, 0, 7, 19, pattern(7, 19, 8), interlaced=True),
        gce(10, 0), image(2, 5, 3, 3, pattern(3, 3, 8, 4), interlaced=True),
        gce(10, 0), image(0, 0, 1, 1, [2], interlaced=True)])),
    ("images partly and wholly outside the screen are clipped", 6, gif(8, 6, G4, [
        gce(10, 0), image(0, 0, 8, 6, solid(8, 6, 0)),
        gce(10, 2), image(5, 3, 6, 5, pattern(6, 5, 4)),
        gce(10, 0), image(20, 30, 3, 3, solid(3, 3, 2)),
        gce(10, 3), image(7, 0, 2, 9, solid(2, 9, 3)),
        gce(10, 0), image(0, 5, 9, 2, solid(9, 2, 1))])),
    ("LZW data cut short inside its sub-blocks", 4, gif(6, 5, G4, [
        gce(10, 0), image(0, 0, 6, 5, solid(6, 5, 0)),
        gce(10, 1), image(0, 0, 6, 5, pattern(6, 5, 4), keep_bytes=5),
        gce(10, 0), image(1, 1, 2, 2, solid(2, 2, 3))])),
    ("end code before the last pixel", 3, gif(6, 5, G4, [
        gce(10, 0), image(0, 0, 6, 5, solid(6, 5, 1)),
        gce(10, 0), image(0, 0, 6, 5, pattern(6, 5, 4), keep_pixels=13)])),
    ("the file ends inside the last image's data", 4, gif(6, 5, G4, [
        gce(10, 0), image(0, 0, 6, 5, solid(6, 5, 2)),
        gce(10, 0), image(0, 0, 6, 5, pattern(6, 5, 4))], trailer=b"", cut=4)),
    ("a minimum code size outside 2..8 draws nothing", 3, gif(4, 4, G4, [
        gce(10, 0), image(0, 0, 4, 4, solid(4, 4, 1)),
        gce(10, 0), image(0, 0, 4, 4, solid(4, 4, 2), min_code=9)])),
    ("delays 0, 7, 25 and 100 do not change what is composed", 4, gif(4, 4, G4, [
        gce(0, 0), image(0, 0, 4, 4, solid(4, 4, 0)),
        gce(7, 1), image(0, 0, 2, 2, solid(2, 2, 1)),
        gce(25, 1), image(2, 2, 2, 2, solid(2, 2, 2)),
        gce(100, 1), image(1, 1, 2, 2, solid(2, 2, 3))])),
    ("minimum code size 2 on a two-colour table", 3, gif(9, 7, [BLACK, WHITE], [
        gce(10, 0), image(0, 0, 9, 7, pattern(9, 7, 2)),
        gce(10, 0), image(0, 0, 9, 7, pattern(9, 7, 2, 1))])),
    ("minimum code size 8, table fills and clears, local 256-colour table", 3, gif(96, 64, G4, [
        gce(10, 0), image(0, 0, 96, 64, random_pixels(96, 64, 256, 1), lct=PALETTE_256),
        gce(10, 0), image(8, 8, 80, 50, random_pixels(80, 50, 256, 2), lct=PALETTE_256)])),
    ("full table kept without a clear code", 2, gif(90, 70, G4, [
        gce(10, 0), image(0, 0, 90, 70, random_pixels(90, 70, 256, 3), lct=PALETTE_256,
                          clear_when_full=False),
        gce(10, 0), image(0, 0, 90, 70, random_pixels(90, 70, 4, 4), min_code=8,
                          clear_when_full=False)])),
    # Only the second image has a control extension: the third image and,
    # after the wrap, the first one draw with its transparency too.
    ("the loop wraps past the trailer and keeps the last transparency", 7, gif(5, 5, G4, [
        image(0, 0, 5, 5, holes(5, 5, 0, 3)),
        gce(20, 0, transparent=3), image(1, 0, 3, 3, holes(3, 3, 1, 3)),
        image(2, 2, 3, 3, holes(3, 3, 2, 3))])),
    ("a zero byte in place of the trailer also loops", 5, gif(4, 3, G4, [
        gce(10, 1), image(0, 0, 4, 3, solid(4, 3, 0)),
        gce(10, 2), image(1, 1, 2, 2, solid(2, 2, 1))], trailer=b"\x00")),
    ("loop count and comment extensions are skipped", 5, gif(4, 4, G4, [
        loop_extension(1), comment(), gce(10, 0), image(0, 0, 4, 4, solid(4, 4, 3)),
        comment(b"x" * 300), gce(10, 2), image(0, 0, 2, 2, solid(2, 2, 0)),
        comment(), gce(10, 0), image(2, 2, 2, 2, solid(2, 2, 1))])),
    ("one image and a comment after it is played", 3, gif(4, 3, G4, [
        gce(10, 0, transparent=1), image(0, 0, 4, 3, holes(4, 3, 2, 1)), comment()])),
    ("one image before the trailer is shown still", 1, gif(5, 4, G4, [
        gce(10, 0, transparent=0), image(1, 0, 3, 4, holes(3, 4, 2, 0))])),
]


# --- running picture-decode -------------------------------------------------

def read_pam(path):
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"ENDHDR\n") + len(b"ENDHDR\n")
    fields = dict(line.split(" ", 1) for line in data[:end].decode("ascii").splitlines()[1:-1])
    if fields.get("DEPTH") != "4" or fields.get("TUPLTYPE") != "RGB_ALPHA":
        raise AssertionError(f"{path}: not an RGBA PAM: {fields}")
    return int(fields["WIDTH"]), int(fields["HEIGHT"]), data[end:]


def first_difference(width, expected, got):
    for i in range(0, min(len(expected), len(got)), 4):
        if expected[i:i + 4] != got[i:i + 4]:
            pixel = i // 4
            return (pixel % width, pixel // width), tuple(expected[i:i + 4]), tuple(got[i:i + 4])
    return None


def check_case(tool, workdir, number, name, frame_count, data):
    """Problems found for one case; empty when every frame agrees."""
    stem = os.path.join(workdir, f"case{number:02d}")
    with open(stem + ".gif", "wb") as f:
        f.write(data)
    sw, sh, expected = compose(data, frame_count)
    still = single_image(data)
    done = subprocess.run([tool, "--frames", str(frame_count), stem + ".gif", stem + ".pam"],
                          capture_output=True, timeout=60)
    line = done.stdout.decode("ascii", "replace").strip()
    if done.returncode != 0 or line != f"GIF {sw}x{sh}":
        return [f"exit {done.returncode}, printed {line!r}, expected 'GIF {sw}x{sh}'"]
    paths = [stem + ".pam"] if still else [f"{stem}-{k}.pam" for k in range(1, frame_count + 1)]
    unwanted = stem + ".pam" if not still else f"{stem}-1.pam"
    problems = []
    if os.path.exists(unwanted):
        problems.append(f"wrote {os.path.basename(unwanted)}, so it took the GIF as "
                        f"{'animated' if still else 'still'}")
    for k, (path, want) in enumerate(zip(paths, expected), start=1):
        if not os.path.exists(path):
            problems.append(f"frame {k}: {os.path.basename(path)} not written")
            continue
        w, h, got = read_pam(path)
        if (w, h) != (sw, sh) or len(got) != len(want):
            problems.append(f"frame {k}: {w}x{h} with {len(got)} bytes, expected {sw}x{sh}")
            continue
        diff = first_difference(sw, want, got)
        if diff:
            (x, y), e, g = diff
            problems.append(f"frame {k}: first differing pixel ({x},{y}): expected RGBA {e}, got {g}")
    return problems


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    tool, workdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    failed = 0
    for number, (name, frame_count, data) in enumerate(CASES, start=1):
        problems = check_case(tool, workdir, number, name, frame_count, data)
        print(f"{'FAIL' if problems else 'ok  '} case {number:02d}: {name} ({frame_count} frames)")
        for p in problems:
            print("       ", p)
        failed += bool(problems)
    print(f"{len(CASES) - failed} of {len(CASES)} cases agree")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
