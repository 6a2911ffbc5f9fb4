"""Takes the README's screenshot: the window with a photo enlarged 4x by "KARVO Super-Resolution",
the exact preview drawn, the view moved to the photo's middle."""

import argparse
import os
import shutil
import subprocess
import sys

import pyatspi

from window_driver import Home, wait_for, xdotool


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--photo", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--pan-x", type=int, default=0)
    parser.add_argument("--pan-y", type=int, default=0)
    args = parser.parse_args()

    with Home("kv-shot-") as home:
        photo = home.path(os.path.basename(args.photo))
        shutil.copy(args.photo, photo)
        window = home.start(args.program, photo)
        window.size_in_percent(400)
        window.choose_super_resolution()
        # Drag the photo so that the view shows its middle.
        view = window.find("Image").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        x, y = view.x + view.width * 3 // 4, view.y + view.height * 3 // 4
        xdotool("mousemove", "--sync", str(x), str(y))
        xdotool("mousedown", "1")
        for step in range(1, 11):
            xdotool("mousemove", "--sync", str(x - step * args.pan_x // 10), str(y - step * args.pan_y // 10))
        xdotool("mouseup", "1")
        xdotool("mousemove", "--sync", str(view.x + view.width + 40), str(view.y + 5))
        wait_for("the exact preview", lambda: window.description_of("Image") == "Exact preview", timeout=120)
        subprocess.run(["import", "-window", "root", args.output], check=True)
        window.exit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
