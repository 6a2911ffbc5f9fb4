"""Takes the pictures of the window on a laptop's screen: one photo open ("single"), or batch mode
with the photos in the batch list and the first one chosen ("batch"). The window is maximised on
the screen the X server has."""

import argparse
import os
import shutil
import sys
import time

from window_driver import Home, screenshot, wait_for


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--mode", choices=["single", "batch"], required=True)
    parser.add_argument("--photos", nargs="+", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    with Home("kv-laptop-shot-") as home:
        source = home.path("Pictures", "Holiday")
        os.makedirs(source)
        photos = []
        for photo in args.photos:
            photos.append(os.path.join(source, os.path.basename(photo)))
            shutil.copy(photo, photos[-1])
        if args.mode == "single":
            window = home.start(args.program, photos[0])
            wait_for("the photo shown", lambda: window.description_of("Image") not in ("", "No image"), timeout=60)
        else:
            window = home.start(args.program, *photos)
            batch_list = window.find("Batch list")
            wait_for("the photos listed", lambda: batch_list.description == "Total %d files" % len(photos))
            window.open_first_batch_photo()
            # The cards' thumbnails are made in the background; a picture, not a test, may wait for them.
            time.sleep(3)
        screenshot(args.output)
        window.exit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
