"""End-to-end test of the browse window: a folder of photos remembered as the browse folder is shown
with its thumbnails in batch mode ("Browse"); at the next start they come from the disk cache, the
photos are copied in the browser and pasted into the batch list, and once browsing is done the batch
is run and writes them at the bar's size. With --screenshot, the browse window is photographed
instead of the last steps."""

import argparse
import configparser
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

from window_driver import Window, wait_for, xdotool


def thumbnails_shown(window, count):
    view = window.find("Thumbnails")
    return view.description == "%d files, %d thumbnails shown" % (count, count)


def open_browse(window):
    window.press("Batch Mode")
    window.press("Browse")
    return window.find("Thumbnails")


def focused(control):
    return control.getState().contains(pyatspi.STATE_FOCUSED)


def image_size(path):
    width, height = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True,
                                   text=True).stdout.split()
    return int(width), int(height)


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
    window.keys("Return")
    folder = window.find("Output folder", pyatspi.ROLE_TEXT, timeout=15)
    wait_for("the folder field focused", lambda: focused(folder))
    window.keys("ctrl+a")
    xdotool("type", "--delay", "10", output + "/")
    window.keys("Return")
    dialog = window.find("Batch processing", pyatspi.ROLE_DIALOG, timeout=15)
    done = wait_for("the run to end", lambda: pyatspi.findDescendant(
        dialog, lambda a: a.name == "Done" and a.getRole() == pyatspi.ROLE_PUSH_BUTTON, True), timeout=60)
    window.keys("Return")
    wait_for("the dialog closed", lambda: done.getState().contains(pyatspi.STATE_DEFUNCT) or
             not done.getState().contains(pyatspi.STATE_SHOWING))

    written = sorted(os.listdir(output))
    expected = sorted(os.path.basename(p) for p in photos)
    if written != expected:
        raise AssertionError("written %s, expected %s" % (written, expected))
    for photo in photos:
        width, height = image_size(photo)
        scale = min(640 / width, 480 / height)
        want = (width * scale, height * scale)
        got = image_size(os.path.join(output, os.path.basename(photo)))
        if abs(got[0] - want[0]) > 1 or abs(got[1] - want[1]) > 1:
            raise AssertionError("%s written at %s, expected about %s" % (os.path.basename(photo), got, want))
    print("the batch wrote %s" % ", ".join("%s" % f for f in written))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--photos", nargs="+", required=True)
    parser.add_argument("--screenshot")
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="kv-browse-")
    try:
        env = {"XDG_CONFIG_HOME": os.path.join(home, ".config"), "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
               "XDG_CACHE_HOME": os.path.join(home, ".cache"), "HOME": home, "LANG": "C.UTF-8"}
        folder = os.path.join(home, "Pictures", "Holiday 2024")
        os.makedirs(folder)
        os.makedirs(os.path.join(home, "Pictures", "Family"))
        os.makedirs(os.path.join(home, "Desktop", "Projects"))
        os.makedirs(os.path.join(home, "Documents"))
        for photo in args.photos:
            shutil.copy(photo, folder)
        count = len(args.photos)
        settings = os.path.join(home, ".config", "KARVO Imaging", "KARVO Scale Crafter.conf")
        os.makedirs(os.path.dirname(settings))
        with open(settings, "w") as f:
            f.write("[BROWSER]\nDEFAULT=%s\n" % folder)

        # The first run builds the thumbnails and keeps them in the disk cache at exit.
        window = Window(args.program, [], env)
        try:
            open_browse(window)
            wait_for("the thumbnails built", lambda: thumbnails_shown(window, count), timeout=60)
            window.press("Exit")
            if window.wait_exit() != 0:
                raise AssertionError("the program did not end cleanly")
        finally:
            window.kill()
        cache = os.path.join(home, ".cache", "KARVO Imaging", "KVIMGBRW_SMRES")
        if not os.path.isdir(cache) or len(os.listdir(cache)) < 2:
            raise AssertionError("no disk cache written: %s" % (os.listdir(cache) if os.path.isdir(cache) else None))

        # The second run shows them from the cache, in the folder the tree remembered.
        window = Window(args.program, [], env)
        try:
            started = time.monotonic()
            open_browse(window)
            wait_for("the cached thumbnails", lambda: thumbnails_shown(window, count), timeout=20)
            print("cached thumbnails shown %.0f ms after Browse" % ((time.monotonic() - started) * 1000))
            window.find("Folders")
            if args.screenshot:
                xdotool("mousemove", "--sync", "5", "5")
                subprocess.run(["import", "-window", "root", args.screenshot], check=True)
            else:
                add_to_batch_and_run(window, args.photos, os.path.join(home, "results"))
            window.press("Exit")
            if window.wait_exit() != 0:
                raise AssertionError("the program did not end cleanly")
        finally:
            window.kill()

        stored = configparser.ConfigParser(interpolation=None)
        stored.optionxform = str
        stored.read(settings)
        if stored["SHELLTREE"].get("SELECTED") != folder or "LEFTWIDTH" not in stored["SPLITTER"]:
            raise AssertionError("the browse window's values were not kept: %s" % {s: dict(stored[s]) for s in stored})
        print("1 passed, 0 failed")
        return 0
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
