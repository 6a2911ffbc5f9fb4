"""End-to-end test of batch mode: ten photos named on the command line fill the batch list; Enter
runs the batch, the folder is typed into "Batch Settings", Enter takes its default button, and once
"Batch processing" has logged every file its default button ("Done") closes it. The ten results
and the log are checked."""

import argparse
import os
import shutil
import sys

from window_driver import Home, wait_for


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--photos", nargs="+", required=True)
    args = parser.parse_args()

    with Home("kv-batch-e2e-") as home:
        source = home.path("photos")
        os.makedirs(source)
        photos = []
        for i in range(10):
            photo = os.path.join(source, "photo%02d.jpg" % (i + 1))
            shutil.copy(args.photos[i % len(args.photos)], photo)
            photos.append(photo)
        output = home.path("results")
        os.makedirs(output)

        window = home.start(args.program, *photos)
        batch_list = window.find("Batch list")
        wait_for("ten photos in the batch list", lambda: batch_list.description == "Total 10 files")
        # Files named on the command line have no output size until "Apply to All" gives them the bar's.
        window.apply_to_all()
        log_text = window.run_batch(output)
        window.close_batch()

        written = sorted(os.listdir(output))
        expected = ["photo%02d.jpg" % (i + 1) for i in range(10)]
        if written != expected:
            raise AssertionError("written %s, expected %s" % (written, expected))
        for i in range(10):
            if ("File %d from 10\n" % (i + 1)) not in log_text or ("photo%02d.jpg" % (i + 1)) not in log_text:
                raise AssertionError("file %d missing from the log:\n%s" % (i + 1, log_text))
        window.exit()
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
