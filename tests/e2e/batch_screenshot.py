"""Takes the README's screenshot of batch mode: a dozen photos in the batch list, the first one
chosen and shown above, and "Batch processing" at the end of its run with every file logged."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

from window_driver import Window, wait_for, xdotool


def find_in(root, name, role):
    queue = [root]
    while queue:
        node = queue.pop(0)
        if node.name == name and node.getRole() == role:
            return node
        queue.extend(c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c is not None)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--photos", nargs="+", required=True)
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="kv-batch-shot-")
    try:
        env = {"XDG_CONFIG_HOME": os.path.join(home, "config"), "XDG_DATA_HOME": os.path.join(home, "data"),
               "XDG_CACHE_HOME": os.path.join(home, "cache"), "HOME": home}
        source = os.path.join(home, "Photos")
        os.makedirs(source)
        photos = []
        for photo in args.photos:
            photos.append(os.path.join(source, os.path.basename(photo)))
            shutil.copy(photo, photos[-1])
        output = os.path.join(home, "Pictures", "Resized_Images")
        os.makedirs(output)
        window = Window(args.program, photos, env)
        try:
            batch_list = window.find("Batch list")
            wait_for("the photos listed", lambda: batch_list.description == "Total %d files" % len(photos))
            # The first card chosen: its photo opens above the list.
            box = batch_list.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            xdotool("mousemove", "--sync", str(box.x + 120), str(box.y + 60))
            xdotool("click", "1")
            wait_for("the photo shown", lambda: window.description_of("Image") != "No image", timeout=30)
            window.keys("alt+a")
            window.keys("Return")
            folder = window.find("Output folder", pyatspi.ROLE_TEXT, timeout=15)
            wait_for("the folder field focused", lambda: folder.getState().contains(pyatspi.STATE_FOCUSED))
            window.keys("ctrl+a")
            xdotool("type", "--delay", "5", output + "/")
            window.keys("Return")
            dialog = window.find("Batch processing", pyatspi.ROLE_DIALOG, timeout=15)
            wait_for("the run to end", lambda: find_in(dialog, "Done", pyatspi.ROLE_PUSH_BUTTON), timeout=120)
            xdotool("mousemove", "--sync", "5", "5")
            subprocess.run(["import", "-window", "root", args.output], check=True)
            window.keys("Return")
            window.press("Exit")
            window.wait_exit()
        finally:
            window.kill()
        return 0
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
