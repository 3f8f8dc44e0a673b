"""The real tool against the real picture service, in a real window under Xvfb:
type a name (Chinese included), choose a brand, see the order picture, save it
twice, and open both web links in a stand-in browser."""

import argparse
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import urllib.request

from PIL import Image

import xwin

NAME = "张三 Zhang"
NAME_QUERY = "%E5%BC%A0%E4%B8%89%20%5A%68%61%6E%67"
SAVED = re.compile(r"^(10|[0-9]){5}\.jpg$")


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    print("ok -", message)


def start_service(binary, host):
    service = subprocess.Popen([binary, "--listen", host], stdout=subprocess.PIPE, text=True)
    line = service.stdout.readline()
    if not line.startswith("listening"):
        service.kill()
        raise AssertionError(f"the picture service did not start on {host}: {line!r}")
    return service


def stand_in_browser(directory):
    """A browser that only writes down each address it is asked to open."""
    log = os.path.join(directory, "opened.txt")
    script = os.path.join(directory, "stand-in-browser")
    with open(script, "w") as f:
        f.write(f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{log}'\n")
    os.chmod(script, stat.S_IRWXU)
    return script, log


def opened(log):
    if not os.path.exists(log):
        return []
    with open(log) as f:
        return f.read().split()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--service", required=True)
    ap.add_argument("--host", required=True)
    ap.add_argument("--shots", required=True)
    args = ap.parse_args()
    os.makedirs(args.shots, exist_ok=True)

    work = tempfile.mkdtemp(prefix="velkaro-e2e-")
    # The tool saves next to its executable: run a copy in a directory of its own.
    tool_path = os.path.join(work, "velkaro")
    shutil.copy2(args.tool, tool_path)
    browser, log = stand_in_browser(work)
    env = {"BROWSER": browser, "PATH": "/usr/local/bin:/usr/bin:/bin"}
    for name in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"):
        os.environ.pop(name, None)

    service = start_service(args.service, args.host)
    tool = xwin.start_tool(tool_path, env)
    try:
        win = xwin.find_window("Velkaro")
        xwin.wait_for(lambda: xwin.frame_extents(win) != (0, 0, 0, 0), 30, what="the window frame")
        time.sleep(0.5)
        empty_path = os.path.join(args.shots, "e2e-empty.png")
        xwin.screenshot(empty_path)
        empty = Image.open(empty_path).convert("RGB")

        xwin.type_text(NAME)
        # To the drop-down by Tab (name box, button, drop-down), open its list,
        # go to the entry and confirm it. Keys are handled in order, so the
        # list is open by the time the later keys arrive.
        xwin.key("Tab", "Tab", "alt+Down", "Home", "Return")  # 兰博基尼, brand 11
        url = f"http://{args.host}/velkaro/dremsil.php?id=11&name={NAME_QUERY}"
        with urllib.request.urlopen(url, timeout=20) as reply:
            expected = reply.read()
        shot_path = os.path.join(args.shots, "e2e-order.png")
        x, y, w, h = xwin.client_geometry(win)
        inner = (x + 1, y + 1, x + 375, y + 499)

        def changed_pixels():
            xwin.screenshot(shot_path)
            shown = Image.open(shot_path).convert("RGB")
            return sum(1 for px in range(inner[0], inner[2], 4) for py in range(inner[1], inner[3], 4)
                       if shown.getpixel((px, py)) != empty.getpixel((px, py)))

        # Painted after the handler returns: wait until the picture is there.
        differing = xwin.wait_for(lambda: (lambda n: n if n > 1000 else None)(changed_pixels()), 20,
                                  step=0.3, what="the order picture to be shown")
        check(differing > 1000, f"the picture box shows the order picture ({differing} sampled pixels changed)")
        shown = Image.open(shot_path).convert("RGB")
        left, right, top, bottom = xwin.frame_extents(win)
        shown.crop((x - left, y - top, x + w + right, y + h + bottom)).save(
            os.path.join(args.shots, "window-order.png"))

        xwin.click(win, 412 + 96, 96 + 16)  # 保存装逼图片
        time.sleep(0.5)
        xwin.click(win, 412 + 96, 96 + 16)
        saved = xwin.wait_for(lambda: [f for f in os.listdir(work) if f.endswith(".jpg")]
                              if len([f for f in os.listdir(work) if f.endswith(".jpg")]) >= 2 else None,
                              10, what="two saved pictures")
        check(all(SAVED.match(f) for f in saved), f"saved names are five numbers of 0 to 10 and .jpg: {saved}")
        for f in saved:
            with open(os.path.join(work, f), "rb") as fh:
                check(fh.read() == expected, f"{f} holds exactly the bytes the service sends")

        xwin.click(win, 440 + 20, 152 + 12)  # 标签1
        xwin.click(win, 444 + 20, 192 + 12)  # 标签2
        xwin.click(win, 384 + 10, 16 + 16)   # 标签3: nothing
        xwin.wait_for(lambda: len(opened(log)) >= 2, 10, what="the stand-in browser")
        time.sleep(1.0)
        check(opened(log) == ["https://velkaro.example/", "https://velkaro.example/group/305718264"],
              f"each link label opens its own address once: {opened(log)}")

        xwin.key("Escape")
        check(tool.wait(timeout=10) == 0, "closing ends the program with status 0")
    finally:
        if tool.poll() is None:
            tool.kill()
            tool.wait()
        service.terminate()
        service.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
