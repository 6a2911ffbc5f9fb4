"""End-to-end test of the browse window: a folder of photos remembered as the browse folder is shown
with its thumbnails in batch mode ("Browse"); at the next start they come from the disk cache, and
Enter on a photo opens it in the main window. With --screenshot, the browse window is photographed
instead of the last step."""

import argparse
import configparser
import os
import shutil
import sys
import time

import pyatspi

from window_driver import Home, screenshot, wait_for, xdotool


def thumbnails_shown(window, count):
    view = window.find("Thumbnails")
    return view.description == "%d files, %d thumbnails shown" % (count, count)


def open_browse(window):
    window.press("Batch Mode")
    window.press("Browse")
    return window.find("Thumbnails")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--photos", nargs="+", required=True)
    parser.add_argument("--screenshot")
    args = parser.parse_args()

    with Home("kv-browse-") as home:
        folder = home.path("Pictures", "Holiday 2024")
        os.makedirs(folder)
        os.makedirs(home.path("Pictures", "Family"))
        os.makedirs(home.path("Desktop", "Projects"))
        os.makedirs(home.path("Documents"))
        for photo in args.photos:
            shutil.copy(photo, folder)
        count = len(args.photos)
        settings = home.settings_file()
        os.makedirs(os.path.dirname(settings))
        with open(settings, "w") as f:
            f.write("[BROWSER]\nDEFAULT=%s\n" % folder)

        # The first run builds the thumbnails and keeps them in the disk cache at exit.
        with home.start(args.program) as window:
            open_browse(window)
            wait_for("the thumbnails built", lambda: thumbnails_shown(window, count), timeout=60)
            window.exit()
        cache = home.path(".cache", "KARVO Imaging", "KVIMGBRW_SMRES")
        if not os.path.isdir(cache) or len(os.listdir(cache)) < 2:
            raise AssertionError("no disk cache written: %s" % (os.listdir(cache) if os.path.isdir(cache) else None))

        # The second run shows them from the cache, in the folder the tree remembered.
        with home.start(args.program) as window:
            started = time.monotonic()
            open_browse(window)
            wait_for("the cached thumbnails", lambda: thumbnails_shown(window, count), timeout=20)
            print("cached thumbnails shown %.0f ms after Browse" % ((time.monotonic() - started) * 1000))
            window.find("Folders")
            if args.screenshot:
                screenshot(args.screenshot)
            else:
                # A click on the first photo and Enter open it in the main window.
                view = window.find("Thumbnails").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                xdotool("mousemove", "--sync", str(view.x + 100), str(view.y + 80))
                xdotool("click", "1")
                window.keys("Return")
                first = sorted(os.path.basename(p) for p in args.photos)[0]
                wait_for("the photo opened", lambda: window.frame.name.startswith(first), timeout=30)
                wait_for("the photo drawn", lambda: window.description_of("Image") != "No image", timeout=30)
            window.exit()

        stored = configparser.ConfigParser(interpolation=None)
        stored.optionxform = str
        stored.read(settings)
        if stored["SHELLTREE"].get("SELECTED") != folder or "LEFTWIDTH" not in stored["SPLITTER"]:
            raise AssertionError("the browse window's values were not kept: %s" % {s: dict(stored[s]) for s in stored})
        print("1 passed, 0 failed")
        return 0


if __name__ == "__main__":
    sys.exit(main())
