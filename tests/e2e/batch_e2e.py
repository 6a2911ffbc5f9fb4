"""End-to-end test of batch mode: ten photos named on the command line fill the batch list; Enter
runs the batch, the folder is typed into "Batch Settings", Enter takes its default button, and once
"Batch processing" has logged every file its default button ("Done") closes it. The ten results
and the log are checked."""

import argparse
import os
import shutil
import sys
import tempfile

import pyatspi

from window_driver import Window, wait_for, xdotool


def find_in(root, name, role):
    """The first control of that name and role under root, or None."""
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
    parser.add_argument("--photos", nargs="+", required=True)
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="kv-batch-e2e-")
    try:
        env = {"XDG_CONFIG_HOME": os.path.join(home, "config"), "XDG_DATA_HOME": os.path.join(home, "data"),
               "XDG_CACHE_HOME": os.path.join(home, "cache"), "HOME": home}
        source = os.path.join(home, "photos")
        os.makedirs(source)
        photos = []
        for i in range(10):
            photo = os.path.join(source, "photo%02d.jpg" % (i + 1))
            shutil.copy(args.photos[i % len(args.photos)], photo)
            photos.append(photo)
        output = os.path.join(home, "results")
        os.makedirs(output)

        window = Window(args.program, photos, env)
        try:
            batch_list = window.find("Batch list")
            wait_for("ten photos in the batch list", lambda: batch_list.description == "Total 10 files")

            # Without a window manager a click makes the window the active one. Files named on the
            # command line have no output size until "Apply to &All" gives them the bar's.
            window.focus("Image")
            window.keys("alt+a")
            # Enter is Run's key only once Run is enabled.
            run = window.find("Run", pyatspi.ROLE_MENU_ITEM)
            wait_for("Run enabled", lambda: run.getState().contains(pyatspi.STATE_SENSITIVE))
            # Enter runs the batch; the folder is typed into the dialog, whose default button is OK.
            window.keys("Return")
            folder = window.find("Output folder", pyatspi.ROLE_TEXT, timeout=15)
            wait_for("the folder field focused", lambda: folder.getState().contains(pyatspi.STATE_FOCUSED))
            window.keys("ctrl+a")
            xdotool("type", "--delay", "10", output + "/")
            window.keys("Return")

            dialog = window.find("Batch processing", pyatspi.ROLE_DIALOG, timeout=15)
            done = wait_for("the run to end", lambda: find_in(dialog, "Done", pyatspi.ROLE_PUSH_BUTTON), timeout=60)
            log = find_in(dialog, "Log", pyatspi.ROLE_TEXT)
            text = log.queryText()
            log_text = text.getText(0, text.characterCount)
            window.keys("Return")
            wait_for("the dialog closed", lambda: done.getState().contains(pyatspi.STATE_DEFUNCT) or
                     not done.getState().contains(pyatspi.STATE_SHOWING))

            written = sorted(os.listdir(output))
            expected = ["photo%02d.jpg" % (i + 1) for i in range(10)]
            if written != expected:
                raise AssertionError("written %s, expected %s" % (written, expected))
            for i in range(10):
                if ("File %d from 10\n" % (i + 1)) not in log_text or ("photo%02d.jpg" % (i + 1)) not in log_text:
                    raise AssertionError("file %d missing from the log:\n%s" % (i + 1, log_text))

            window.press("Exit")
            if window.wait_exit() != 0:
                raise AssertionError("the program did not end cleanly")
        finally:
            window.kill()
        print("1 passed, 0 failed")
        return 0
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
