"""Takes the screenshot of batch mode: a dozen photos in the batch list, the first one chosen and
shown above, and "Batch processing" at the end of its run with every file logged."""

import argparse
import os
import shutil
import sys

from window_driver import Home, screenshot, wait_for


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--photos", nargs="+", required=True)
    args = parser.parse_args()

    with Home("kv-batch-shot-") as home:
        source = home.path("Photos")
        os.makedirs(source)
        photos = []
        for photo in args.photos:
            photos.append(os.path.join(source, os.path.basename(photo)))
            shutil.copy(photo, photos[-1])
        output = home.path("Pictures", "Resized_Images")
        os.makedirs(output)
        window = home.start(args.program, *photos)
        batch_list = window.find("Batch list")
        wait_for("the photos listed", lambda: batch_list.description == "Total %d files" % len(photos))
        window.open_first_batch_photo()
        window.apply_to_all()
        window.run_batch(output, timeout=120)
        screenshot(args.output)
        window.close_batch()
        window.exit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
