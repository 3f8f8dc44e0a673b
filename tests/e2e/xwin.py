"""Small helpers for driving the real tool in a real X window (under
scripts/with-xvfb.sh): finding its window, reading its geometry, clicking and
typing with xdotool, and a loopback HTTP server that records what it gets."""

import os
import re
import socket
import subprocess
import threading
import time


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True, timeout=20).stdout


def wait_for(predicate, seconds=10.0, step=0.05, what="condition"):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    raise AssertionError(f"timed out waiting for {what}")


def find_window(title_part, seconds=15.0):
    def look():
        out = run("xdotool", "search", "--onlyvisible", "--name", title_part, check=False).split()
        return out[0] if out else None
    return wait_for(look, seconds, what=f"a window named {title_part!r}")


def client_geometry(win):
    """(x, y, width, height) of the client area in root coordinates."""
    out = run("xwininfo", "-id", win)
    x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", out).group(1))
    y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", out).group(1))
    w = int(re.search(r"Width:\s+(\d+)", out).group(1))
    h = int(re.search(r"Height:\s+(\d+)", out).group(1))
    return x, y, w, h


def frame_extents(win):
    """(left, right, top, bottom) that the window manager adds around the client."""
    out = run("xprop", "-id", win, "_NET_FRAME_EXTENTS", check=False)
    m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
    return tuple(int(v) for v in m.groups()) if m else (0, 0, 0, 0)


def outer_geometry(win):
    x, y, w, h = client_geometry(win)
    left, right, top, bottom = frame_extents(win)
    return x - left, y - top, w + left + right, h + top + bottom


def screen_size():
    out = run("xdpyinfo")
    m = re.search(r"dimensions:\s+(\d+)x(\d+) pixels", out)
    return int(m.group(1)), int(m.group(2))


def click(win, x, y, button=1):
    """Clicks at client coordinates of win."""
    cx, cy, _, _ = client_geometry(win)
    run("xdotool", "mousemove", "--sync", str(cx + x), str(cy + y))
    run("xdotool", "click", str(button))


def key(*names):
    run("xdotool", "key", "--delay", "30", *names)


def type_text(text):
    """Types into the focused control. xdotool types a character the keyboard
    map lacks by remapping a spare key first; the very first remap can race
    the client's keymap update and lose its character, so a throwaway one is
    typed and erased before the text."""
    run("xdotool", "type", "--delay", "120", "\u00e9")
    time.sleep(0.2)
    run("xdotool", "key", "BackSpace")
    time.sleep(0.1)
    run("xdotool", "type", "--delay", "120", text)


def screenshot(path, win=None):
    args = ["import", "-window", win or "root", path]
    subprocess.run(args, check=True, timeout=20)


class RecordingServer:
    """A loopback HTTP server that records each raw request and answers it with
    `body`: the same bytes every time, or body(request) for a callable. It
    runs until stop()."""

    def __init__(self, host, port, body, content_type="image/jpeg"):
        self.body = body if callable(body) else (lambda request: body)
        self.content_type = content_type
        self.requests = []
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((host, port))
        self.sock.listen(8)
        self.sock.settimeout(0.2)
        self.running = True
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while self.running:
            try:
                conn, _ = self.sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with conn:
                conn.settimeout(5)
                data = b""
                try:
                    while b"\r\n\r\n" not in data and len(data) < 65536:
                        chunk = conn.recv(4096)
                        if not chunk:
                            break
                        data += chunk
                    self.requests.append(data)
                    body = self.body(data)
                    head = (f"HTTP/1.0 200 OK\r\nContent-Type: {self.content_type}\r\n"
                            f"Content-Length: {len(body)}\r\n\r\n").encode()
                    conn.sendall(head + body)
                except OSError:
                    pass

    def stop(self):
        self.running = False
        self.sock.close()
        self.thread.join(timeout=5)


def start_tool(path, env_extra=None):
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)
    # Under the sanitizer build the whole GUI process runs instrumented; the
    # X, font and Qt plugin libraries keep allocations to process exit that
    # LeakSanitizer would report as our exit status. Our own code's leaks are
    # checked by the unit tests, which run without these libraries.
    env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
    env.update(env_extra or {})
    return subprocess.Popen([path], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
