"""An animated GIF in the real window, under Xvfb with a window manager: the
picture box cycles through its frames in order, without end, each frame
lasting about its delay (0 meaning 50 ms); choosing another brand replaces
the animation at once and for good; Esc ends the program with status 0
while the animation runs.

The loopback server answers brand 1 with the GIF and brand 11 with a JPEG.
The box's centre pixel is read straight from the X server many times a
second, so the timing is judged from many frames, not from one."""

import argparse
import ctypes
import io
import re
import statistics
import struct
import sys
import time

from PIL import Image

import xwin

INNER_CENTRE = (188, 250)  # client coordinates, the middle of the picture box's inner area
FRAMES = [("red", (220, 30, 30), 20), ("green", (30, 200, 60), 40), ("blue", (40, 60, 220), 0)]
JPEG_COLOUR = (230, 210, 20)
TOLERANCE_MS = 150  # for each single showing of a frame, on a loaded machine
SAMPLE_SECONDS = 5.0  # the loop lasts 650 ms: about seven loops


def frame_ms(delay):
    return 50 if delay == 0 else delay * 10


def animated_gif():
    """A 4 x 4 GIF of three full-screen solid frames, written by hand so the
    delays are exactly those of FRAMES."""
    table = b"".join(bytes(c) for _, c, _ in FRAMES) + b"\x00\x00\x00"
    out = b"GIF89a" + struct.pack("<HHBBB", 4, 4, 0x80 | 0x70 | 1, 0, 0) + table
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x01\x00\x00"  # loop once: the box loops anyway
    for index, (_, _, delay) in enumerate(FRAMES):
        out += b"\x21\xF9\x04" + struct.pack("<BHB", 0, delay, 0) + b"\x00"
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, 4, 4, 0)
        # 16 pixels of one index at minimum code size 2: clear, then the
        # index written out raw each time, 3 bits wide, then the end code.
        codes = [4] + [index] * 16 + [5]
        bits = 0
        nbits = 0
        width = 3
        entries = 6
        data = bytearray()
        for n, code in enumerate(codes):
            bits |= code << nbits
            nbits += width
            # After each raw index but the first the decoder adds an entry.
            if 2 <= n <= 16:
                entries += 1
                if entries == 1 << width and width < 12:
                    width += 1
            while nbits >= 8:
                data.append(bits & 0xFF)
                bits >>= 8
                nbits -= 8
        if nbits:
            data.append(bits & 0xFF)
        out += b"\x02" + bytes([len(data)]) + bytes(data) + b"\x00"
    return out + b"\x3B"


def solid_jpeg():
    out = io.BytesIO()
    Image.new("RGB", (64, 80), JPEG_COLOUR).save(out, "JPEG", quality=95)
    return out.getvalue()


def brand_of(request):
    m = re.match(rb"GET /velkaro/dremsil\.php\?id=(\d+)&", request)
    return int(m.group(1)) if m else None


def brands_asked(server):
    return [brand_of(r) for r in server.requests]


class XImageFuncs(ctypes.Structure):
    _fields_ = [(name, ctypes.c_void_p) for name in
                ("create_image", "destroy_image", "get_pixel", "put_pixel", "sub_image", "add_pixel")]


class XImage(ctypes.Structure):
    _fields_ = ([(n, ctypes.c_int) for n in ("width", "height", "xoffset", "format")]
                + [("data", ctypes.c_void_p)]
                + [(n, ctypes.c_int) for n in ("byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad",
                                               "depth", "bytes_per_line", "bits_per_pixel")]
                + [(n, ctypes.c_ulong) for n in ("red_mask", "green_mask", "blue_mask")]
                + [("obdata", ctypes.c_void_p), ("f", XImageFuncs)])


class PixelReader:
    """Reads one screen pixel from the X server in well under a millisecond,
    where a screenshot through a program would take a tenth of a second."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.POINTER(XImage)
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            raise AssertionError("cannot open the X display")
        self.root = self.x11.XDefaultRootWindow(self.display)

    def rgb(self, x, y):
        z_pixmap, all_planes = 2, 0xFFFFFFFF
        image = self.x11.XGetImage(self.display, self.root, x, y, 1, 1, all_planes, z_pixmap)
        if not image:
            raise AssertionError(f"XGetImage failed at {x},{y}")
        get_pixel = ctypes.CFUNCTYPE(ctypes.c_ulong, ctypes.POINTER(XImage), ctypes.c_int, ctypes.c_int)(
            image.contents.f.get_pixel)
        destroy = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(XImage))(image.contents.f.destroy_image)
        pixel = get_pixel(image, 0, 0)
        destroy(image)
        return (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF

    def close(self):
        self.x11.XCloseDisplay(self.display)


def near(a, b, tolerance=24):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def classify(colour):
    for name, c, _ in FRAMES:
        if near(colour, c):
            return name
    return "jpeg" if near(colour, JPEG_COLOUR) else "other"


def sample(reader, point, seconds):
    """(time, class) pairs, read as fast as the server answers, for seconds."""
    samples = []
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        colour = reader.rgb(*point)
        samples.append((time.monotonic(), classify(colour)))
        time.sleep(0.002)
    return samples


def runs(samples):
    """[(class, start time)] of each stretch of equal samples."""
    out = []
    for t, c in samples:
        if not out or out[-1][0] != c:
            out.append((c, t))
    return out


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    print("ok -", message)


def check_animation(samples):
    stretches = runs(samples)
    names = [c for c, _ in stretches]
    print(f"{len(samples)} samples, {len(stretches)} stretches:", " ".join(n[0] for n in names))
    check(set(names) <= {n for n, _, _ in FRAMES},
          f"only the frames' colours are shown while it plays ({sorted(set(names))})")
    order = [n for n, _, _ in FRAMES]

    def follows(a, b):
        return order[(order.index(a) + 1) % len(order)] == b

    # On a busy machine a 50 ms frame can go unseen: its paint is merged with
    # the next one, or the sampler sleeps through it. Allow a few of those.
    steps = list(zip(names, names[1:]))
    skipped = [(a, b) for a, b in steps if not follows(a, b)]
    check(len(skipped) * 5 <= len(steps),
          f"every frame is followed by the next one, the last by the first "
          f"({len(skipped)} of {len(steps)} steps skip a frame: {skipped[:5]})")
    # The first and the last stretch are cut by the sampling window; a
    # stretch that a skip ends also holds the frame that went unseen.
    durations = {n: [] for n in order}
    for (c, start), (following, end) in zip(stretches[1:-1], stretches[2:]):
        if follows(c, following):
            durations[c].append((end - start) * 1000)
    loops = min(len(d) for d in durations.values())
    check(loops >= 4, f"it keeps playing: {loops} full loops of every frame in {SAMPLE_SECONDS} s")
    for name, _, delay in FRAMES:
        want = frame_ms(delay)
        shown = durations[name]
        # The median is held closer, so that 50 ms is told from 0 or 100 ms;
        # single showings may stretch when the machine is busy.
        got = statistics.median(shown)
        close = sum(abs(d - want) <= TOLERANCE_MS for d in shown)
        check(abs(got - want) <= max(30, want * 0.3) and close * 4 >= len(shown) * 3,
              f"{name} (delay {delay}) lasts about {want} ms: median {got:.0f} ms of "
              f"{[round(d) for d in shown]}, {close} within {TOLERANCE_MS} ms")
    red, green = (statistics.median(durations[n]) for n in ("red", "green"))
    check(green > red, f"the 400 ms frame lasts longer than the 200 ms one ({green:.0f} > {red:.0f})")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--host", required=True, help="the tool's configured picture service host:port")
    args = ap.parse_args()

    host, _, port = args.host.partition(":")
    bodies = {1: animated_gif(), 11: solid_jpeg()}
    server = xwin.RecordingServer(host, int(port or 80), lambda r: bodies.get(brand_of(r), b"no such brand"))
    tool = xwin.start_tool(args.tool)
    reader = PixelReader()
    try:
        win = xwin.find_window("Velkaro")
        xwin.wait_for(lambda: xwin.frame_extents(win) != (0, 0, 0, 0), 30, what="the window frame")
        time.sleep(0.5)
        cx, cy, _, _ = xwin.client_geometry(win)
        point = (cx + INNER_CENTRE[0], cy + INNER_CENTRE[1])

        # To the drop-down by Tab (name box, button, drop-down), open it and
        # confirm its last entry, brand 1.
        xwin.key("Tab", "Tab", "alt+Down", "End", "Return")
        xwin.wait_for(lambda: classify(reader.rgb(*point)) in {n for n, _, _ in FRAMES}, 15, step=0.01,
                      what="the first frame of the animation")
        check(brands_asked(server) == [1], f"the last entry asks for brand 1 ({brands_asked(server)})")
        check_animation(sample(reader, point, SAMPLE_SECONDS))

        # The first entry, brand 11, answers with a JPEG.
        chosen = time.monotonic()
        xwin.key("alt+Down", "Home", "Return")
        xwin.wait_for(lambda: brands_asked(server)[1:] == [11], 10, step=0.01, what="the request for brand 11")
        xwin.wait_for(lambda: classify(reader.rgb(*point)) == "jpeg", 2, step=0.005,
                      what="the JPEG to replace the animation")
        shown_after = time.monotonic() - chosen
        check(shown_after < 1.0, f"the new picture is shown {shown_after * 1000:.0f} ms after the choice")
        later = sample(reader, point, 1.2)
        seen = sorted({c for _, c in later})
        check(seen == ["jpeg"], f"no frame of the animation comes back over a further second ({seen})")

        # Back to the animation, then Esc while it plays.
        xwin.key("alt+Down", "End", "Return")
        xwin.wait_for(lambda: classify(reader.rgb(*point)) in {n for n, _, _ in FRAMES}, 10, step=0.01,
                      what="the animation again")
        playing = {c for _, c in sample(reader, point, 1.0)}
        check(len(playing) == len(FRAMES), f"it plays again before Esc ({sorted(playing)})")
        xwin.key("Escape")
        status = tool.wait(timeout=10)
        check(status == 0, f"Esc during the animation ends the program with status 0 (got {status})")
    finally:
        reader.close()
        if tool.poll() is None:
            tool.kill()
            tool.wait()
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
