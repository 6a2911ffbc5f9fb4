"""Takes the README's screenshot: the window with a photo enlarged 4x by "KARVO Super-Resolution",
the exact preview drawn, the view moved to the photo's middle."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

from window_driver import Window, wait_for, xdotool


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--photo", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--pan-x", type=int, default=0)
    parser.add_argument("--pan-y", type=int, default=0)
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="kv-shot-")
    try:
        env = {"XDG_CONFIG_HOME": os.path.join(home, "config"), "XDG_DATA_HOME": os.path.join(home, "data"),
               "XDG_CACHE_HOME": os.path.join(home, "cache"), "HOME": home}
        photo = os.path.join(home, os.path.basename(args.photo))
        shutil.copy(args.photo, photo)
        window = Window(args.program, [photo], env)
        try:
            window.click(window.find_described("Sets unuts for above fields", pyatspi.ROLE_COMBO_BOX))
            window.keys("Down", "Return")
            window.type_into("Width", "400")
            algorithm = window.click(window.find_labelled("Algorithm:", pyatspi.ROLE_COMBO_BOX))
            window.keys("End", "Return")
            wait_for("the algorithm chosen", lambda: algorithm.name == "KARVO Super-Resolution")
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
            window.press("Exit")
            window.wait_exit()
        finally:
            window.kill()
        return 0
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
