"""End-to-end test of the browse window: a folder of photos remembered as the browse folder is shown
with its thumbnails in batch mode ("Browse"); at the next start they come from the disk cache, the
photos are copied in the browser and pasted into the batch list, and once browsing is done the batch
is run and writes them at the bar's size. With --screenshot, the browse window is photographed
instead of the last steps."""

import argparse
import configparser
import os
import shutil
import sys
import time

import pyatspi

from image_facts import jpeg_size
from window_driver import Home, screenshot, wait_for, xdotool


def thumbnails_shown(window, count):
    view = window.find("Thumbnails")
    return view.description == "%d files, %d thumbnails shown" % (count, count)


def open_browse(window):
    window.press("Batch Mode")
    window.press("Browse")
    return window.find("Thumbnails")


def focused(control):
    return control.getState().contains(pyatspi.STATE_FOCUSED)


def add_to_batch_and_run(window, photos, output):
    """A click into the grid, Ctrl+A and Ctrl+C there, Shift+Tab to the batch list and Ctrl+V; then
    Done, and Enter runs the batch into the output folder. Each photo is written to fit the bar's
    640 x 480 with its own proportions."""
    os.makedirs(output)
    view = window.find("Thumbnails")
    box = view.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", "--sync", str(box.x + 100), str(box.y + 80))
    xdotool("click", "1")
    wait_for("the thumbnails focused", lambda: focused(view))
    # The keys arrive in order: what the batch list holds at the end tells that each was taken.
    window.keys("ctrl+a")
    window.keys("ctrl+c")
    batch_list = window.find("Batch list")
    window.keys("shift+Tab")
    wait_for("the batch list focused", lambda: focused(batch_list))
    window.keys("ctrl+v")
    wait_for("the photos in the batch list", lambda: batch_list.description == "Total %d files" % len(photos))

    window.press("Done", pyatspi.ROLE_PUSH_BUTTON)
    run = window.find("Run", pyatspi.ROLE_MENU_ITEM)
    wait_for("Run enabled once browsing is done", lambda: run.getState().contains(pyatspi.STATE_SENSITIVE))
    wait_for("the batch list still focused", lambda: focused(batch_list))
    window.run_batch(output)
    window.close_batch()

    written = sorted(os.listdir(output))
    expected = sorted(os.path.basename(p) for p in photos)
    if written != expected:
        raise AssertionError("written %s, expected %s" % (written, expected))
    for photo in photos:
        width, height = jpeg_size(photo)
        scale = min(640 / width, 480 / height)
        want = (width * scale, height * scale)
        got = jpeg_size(os.path.join(output, os.path.basename(photo)))
        if abs(got[0] - want[0]) > 1 or abs(got[1] - want[1]) > 1:
            raise AssertionError("%s written at %s, expected about %s" % (os.path.basename(photo), got, want))
    print("the batch wrote %s" % ", ".join("%s" % f for f in written))


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
                add_to_batch_and_run(window, args.photos, home.path("results"))
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
