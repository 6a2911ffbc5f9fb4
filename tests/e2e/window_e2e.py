"""End-to-end test of the window: opens a photo, sets 400 % and "KARVO Super-Resolution", waits for the
exact preview, saves through "Resize and Save..." and checks the file; then checks that the settings
written at exit are read back at the next start."""

import argparse
import configparser
import os
import shutil
import struct
import sys
import tempfile

import pyatspi

from window_driver import Window, wait_for, xdotool


def jpeg_size(path):
    """Width and height from a JPEG's frame header."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        return None
    i = 2
    while i + 9 < len(data):
        if data[i] != 0xFF:
            return None
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--photo", required=True)
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="kv-e2e-")
    try:
        env = {"XDG_CONFIG_HOME": os.path.join(home, "config"), "XDG_DATA_HOME": os.path.join(home, "data"),
               "XDG_CACHE_HOME": os.path.join(home, "cache"), "HOME": home}
        photo = os.path.join(home, "photo.jpg")
        shutil.copy(args.photo, photo)
        output = os.path.join(home, "photo-4x.jpg")

        window = Window(args.program, [photo], env)
        try:
            # Percent, 400, and the super-resolution algorithm.
            # A selector opens its list on a click; the keys choose in the list.
            window.click(window.find_described("Sets unuts for above fields", pyatspi.ROLE_COMBO_BOX))
            window.keys("Down", "Return")
            window.type_into("Width", "400")
            wait_for("the height to follow", lambda: window.text_of("Height") == "400")
            algorithm = window.click(window.find_labelled("Algorithm:", pyatspi.ROLE_COMBO_BOX))
            window.keys("End", "Return")
            wait_for("the algorithm chosen", lambda: algorithm.name == "KARVO Super-Resolution")
            wait_for("the exact preview", lambda: window.description_of("Image") == "Exact preview", timeout=40)

            # Resize and Save..., a name typed into the save dialog.
            window.keys("ctrl+s")
            wait_for("the save dialog", lambda: _dialog_open(window), timeout=15)
            window.keys("ctrl+a")
            xdotool("type", "--delay", "10", output)
            window.keys("Return")
            wait_for("the saved file", lambda: os.path.exists(output) and jpeg_size(output), timeout=40)
            size = jpeg_size(output)
            if size != (2560, 1920):
                raise AssertionError("saved %s, expected 2560x1920" % (size,))

            window.press("Exit")
            if window.wait_exit() != 0:
                raise AssertionError("the program did not end cleanly")
        finally:
            window.kill()

        settings = configparser.ConfigParser()
        settings.optionxform = str
        settings.read(os.path.join(home, "config", "KARVO Imaging", "KARVO Scale Crafter.conf"))
        main_section = settings["MAIN"]
        if main_section.get("INTERPOLMODE") != "9" or main_section.get("INPERCENTS") != "1":
            raise AssertionError("settings not written at exit: %s" % dict(main_section))

        # The next start reads them back: percent mode with 400 in the width field.
        again = Window(args.program, [], env)
        try:
            wait_for("the width read back", lambda: again.text_of("Width") == "400")
            again.press("Exit")
            again.wait_exit()
        finally:
            again.kill()
        print("1 passed, 0 failed")
        return 0
    finally:
        shutil.rmtree(home, ignore_errors=True)


def _dialog_open(window):
    app = window.app
    return any(app.getChildAtIndex(i).getRole() == pyatspi.ROLE_DIALOG for i in range(app.childCount))


if __name__ == "__main__":
    sys.exit(main())
