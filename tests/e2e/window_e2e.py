"""End-to-end test of the window: opens a photo, sets 400 % and "KARVO Super-Resolution", waits for the
exact preview, saves through "Resize and Save..." and checks the file; then checks that the settings
written at exit are read back at the next start."""

import argparse
import configparser
import os
import shutil
import sys

from image_facts import jpeg_size
from window_driver import Home, wait_for


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--photo", required=True)
    args = parser.parse_args()

    with Home("kv-e2e-") as home:
        photo = home.path("photo.jpg")
        shutil.copy(args.photo, photo)
        output = home.path("photo-4x.jpg")

        window = home.start(args.program, photo)
        # Percent, 400, and the super-resolution algorithm.
        window.size_in_percent(400)
        window.choose_super_resolution()
        wait_for("the exact preview", lambda: window.description_of("Image") == "Exact preview", timeout=40)

        # Resize and Save..., a name typed into the save dialog.
        window.resize_and_save(output)
        wait_for("the saved file", lambda: os.path.exists(output) and jpeg_size(output), timeout=40)
        size = jpeg_size(output)
        if size != (2560, 1920):
            raise AssertionError("saved %s, expected 2560x1920" % (size,))
        window.exit()

        settings = configparser.ConfigParser()
        settings.optionxform = str
        settings.read(home.settings_file())
        main_section = settings["MAIN"]
        if main_section.get("INTERPOLMODE") != "9" or main_section.get("INPERCENTS") != "1":
            raise AssertionError("settings not written at exit: %s" % dict(main_section))

        # The next start reads them back: percent mode with 400 in the width field.
        again = home.start(args.program)
        wait_for("the width read back", lambda: again.text_of("Width") == "400")
        again.exit()
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
