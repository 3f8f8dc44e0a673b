"""The real tool in a real window, under Xvfb with a window manager: its outer
size and place, that it cannot be resized or maximized, the exact request that
typing a name and choosing a brand sends, the reply shown stretched over the
picture box's inner area, and Esc ending the program with status 0."""

import argparse
import io
import os
import sys
import time

from PIL import Image

import xwin

OUTER = (626, 524)
INNER = (1, 1, 375, 499)  # picture box inner area in client coordinates (x0, y0, x1, y1)
QUADRANTS = [(220, 30, 30), (30, 160, 40), (30, 60, 200), (230, 200, 20)]


def quadrant_jpeg():
    """748 x 996, one flat colour per quadrant, so the stretch can be checked."""
    img = Image.new("RGB", (748, 996))
    w, h = 748 // 2, 996 // 2
    for i, colour in enumerate(QUADRANTS):
        img.paste(colour, ((i % 2) * w, (i // 2) * h, (i % 2 + 1) * w, (i // 2 + 1) * h))
    out = io.BytesIO()
    img.save(out, "JPEG", quality=95)
    return out.getvalue()


def grab_client(win, path):
    xwin.screenshot(path)
    x, y, w, h = xwin.client_geometry(win)
    return Image.open(path).convert("RGB").crop((x, y, x + w, y + h))


def near(a, b, tolerance=12):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    print("ok -", message)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--host", required=True, help="the tool's configured picture service host:port")
    ap.add_argument("--shots", required=True)
    args = ap.parse_args()
    os.makedirs(args.shots, exist_ok=True)

    host, _, port = args.host.partition(":")
    server = xwin.RecordingServer(host, int(port or 80), quadrant_jpeg())
    tool = xwin.start_tool(args.tool)
    try:
        win = xwin.find_window("Velkaro")
        # The window manager frames the window and publishes what it allows a
        # moment after it is mapped; the tool then fits its outer size.
        allowed = xwin.wait_for(
            lambda: (lambda a: a if "_NET_WM_ACTION_CLOSE" in a else None)(
                xwin.run("xprop", "-id", win, "_NET_WM_ALLOWED_ACTIONS", check=False)),
            10, what="the window manager's allowed actions")
        try:
            xwin.wait_for(lambda: xwin.outer_geometry(win)[2:] == OUTER, 5, what="the outer size to settle")
        except AssertionError:
            print("client", xwin.client_geometry(win), "extents", xwin.frame_extents(win))
            raise
        time.sleep(0.3)

        sw, sh = xwin.screen_size()
        outer = xwin.outer_geometry(win)
        check(outer[2:] == OUTER, f"outer size is 626 x 524 (got {outer[2]} x {outer[3]})")
        check(outer[:2] == ((sw - 626) // 2, (sh - 524) // 2),
              f"window is centred on the {sw} x {sh} screen (outer origin {outer[:2]})")

        check("MAXIMIZE" not in allowed and "RESIZE" not in allowed,
              "the window manager offers neither maximize nor resize")
        check("MINIMIZE" in allowed, "the window can be minimized")
        xwin.run("wmctrl", "-i", "-r", win, "-b", "add,maximized_vert,maximized_horz", check=False)
        xwin.run("xdotool", "windowsize", win, "900", "800", check=False)
        time.sleep(0.5)
        check(xwin.outer_geometry(win)[2:] == OUTER, "maximize and resize requests leave it 626 x 524")

        before = grab_client(win, os.path.join(args.shots, "before.png"))
        check(all(near(before.getpixel((x, y)), before.getpixel((5, 5)), 0)
                  for x, y in [(10, 10), (370, 490), (187, 250)]),
              "the empty picture box shows only its background")

        # The focus starts in the name box: type straight away.
        xwin.type_text("张三")
        # Open the drop-down by its arrow, go to its last entry, confirm it.
        # To the drop-down by Tab (name box, button, drop-down), open its list,
        # go to the entry and confirm it. Keys are handled in order, so the
        # list is open by the time the later keys arrive.
        xwin.key("Tab", "Tab", "alt+Down", "End", "Return")
        xwin.wait_for(lambda: server.requests, 10, what="the order request")
        shot = os.path.join(args.shots, "window.png")
        # The reply is decoded and painted after the handler returns: wait for it.
        xwin.wait_for(lambda: near(grab_client(win, shot).getpixel((94, 125)), QUADRANTS[0]), 15,
                      step=0.2, what="the reply to be shown")

        request = server.requests[0].decode("latin-1")
        lines = request.split("\r\n")
        check(lines[0] == "GET /velkaro/dremsil.php?id=1&name=%E5%BC%A0%E4%B8%89 HTTP/1.0",
              f"request line is exact ({lines[0]!r})")
        headers = dict(line.split(": ", 1) for line in lines[1:] if line)
        check(headers == {"Host": args.host,
                          "User-Agent": "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)",
                          "Accept": "*/*"},
              f"exactly the three headers are sent ({headers})")
        check(len(server.requests) == 1, "one confirmed choice sends one request")

        after = grab_client(win, shot)
        x0, y0, x1, y1 = INNER
        cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
        probes = [((x0 + cx) // 2, (y0 + cy) // 2), ((cx + x1) // 2, (y0 + cy) // 2),
                  ((x0 + cx) // 2, (cy + y1) // 2), ((cx + x1) // 2, (cy + y1) // 2)]
        for colour, probe in zip(QUADRANTS, probes):
            check(near(after.getpixel(probe), colour), f"quadrant colour {colour} at {probe}")
        for corner, colour in zip([(x0, y0), (x1 - 1, y0), (x0, y1 - 1), (x1 - 1, y1 - 1)], QUADRANTS):
            check(near(after.getpixel(corner), colour), f"the picture reaches inner corner {corner}")
        frame_same = all(after.getpixel(p) == before.getpixel(p)
                         for p in [(0, 0), (375, 0), (0, 499), (375, 499), (0, 250), (187, 0)])
        check(frame_same, "the picture box frame is unchanged")
        outside = [(400, 300), (600, 400), (380, 250), (500, 480)]
        check(all(after.getpixel(p) == before.getpixel(p) for p in outside),
              "nothing outside the picture box's inner area changed there")

        xwin.key("Escape")
        status = tool.wait(timeout=10)
        check(status == 0, f"Esc closes the window and the program ends with status 0 (got {status})")
    finally:
        if tool.poll() is None:
            tool.kill()
            tool.wait()
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
