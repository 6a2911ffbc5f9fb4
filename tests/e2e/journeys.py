"""A user's journeys through the installed program, driven as a person and a screen reader do: the
program is the one of an installed tree (bin/kvscalecrafter with its data in share/), started in a
home of its own; controls are found by their accessible names, keys and clicks go through the X
server. One journey a run, chosen with --journey."""

import argparse
import os
import re
import shutil
import stat
import subprocess
import sys

import pyatspi

from image_facts import jpeg_size, tiff_facts
from window_driver import Home, wait_for, xdotool


class Journey(Home):
    """A home of its own with the installed tree's programs."""

    def __init__(self, prefix, photos):
        super().__init__("kv-journey-")
        self.prefix = prefix
        self.photos = photos

    def program(self, name="kvscalecrafter"):
        return os.path.join(self.prefix, "bin", name)

    def start(self, *arguments, environment=None):
        return super().start(self.program(), *arguments, environment=environment)


def opened(window, name, width, height):
    """Whether the photo of that file name is open: the title names it, and the size fields show its
    own size (a photo opens at its own size while the settings are not locked)."""
    return (window.frame.name.startswith(name + " - ") and
            (window.text_of("Width"), window.text_of("Height")) == (str(width), str(height)))


def choose_from_menu(window, menu, item):
    """Opens a menu of the menu bar and clicks one of its items, as a person does (a screen reader's
    action would wait for a dialog the item opens to close again)."""
    window.click(window.find(menu, pyatspi.ROLE_MENU_ITEM))
    entry = window.find(item, pyatspi.ROLE_MENU_ITEM)
    wait_for(repr(item) + " shown", lambda: entry.getState().contains(pyatspi.STATE_SHOWING))
    window.click(entry)


def activate(window):
    """A click on the view: without a window manager the window takes the keys only after a click."""
    xdotool("mousemove", "--window", window.window_id, "300", "300")
    xdotool("click", "1")


def press_button(window, name):
    """Presses a dialog's button through its accessible action."""
    def find():
        for i in range(window.app.childCount):
            top = window.app.getChildAtIndex(i)
            found = pyatspi.findDescendant(top, lambda a: a.name == name and a.getRole() == pyatspi.ROLE_PUSH_BUTTON)
            if found is not None and found.getState().contains(pyatspi.STATE_SHOWING):
                return found
        return None
    wait_for("the button " + repr(name), find).queryAction().doAction(0)


def dialog_text_field(window, name):
    """A named text field of an open dialog."""
    def find():
        for i in range(window.app.childCount):
            top = window.app.getChildAtIndex(i)
            if top.getRole() != pyatspi.ROLE_DIALOG:
                continue
            found = pyatspi.findDescendant(top, lambda a: a.name == name and a.getRole() == pyatspi.ROLE_TEXT)
            if found is not None:
                return found
        return None
    return wait_for("the field " + repr(name), find)


def print_size_to_tiff(journey):
    """Opens a 640x480 photo of 192 dpi from the command line, sets 300 dpi and a print width of 4
    inches, saves as TIFF, and opens the result again: 1200x900 pixels at 300 dpi."""
    photo = journey.path("photo.jpg")
    shutil.copy(journey.photos["kodak-dc240.jpg"], photo)
    output = journey.path("print.tif")
    window = journey.start(photo)
    wait_for("the photo", lambda: opened(window, "photo.jpg", 640, 480))
    window.type_into("Resolution", "300")
    window.click(window.find("Edit print size", pyatspi.ROLE_RADIO_BUTTON))
    window.type_into("Print width", "4")
    wait_for("the print height to follow", lambda: window.text_of("Print height") == "3")
    wait_for("the pixels to follow", lambda: (window.text_of("Width"), window.text_of("Height")) == ("1200", "900"))

    window.resize_and_save(output)
    wait_for("the TIFF", lambda: os.path.exists(output) and tiff_facts(output), timeout=40)
    width, height, dpi = tiff_facts(output)
    if (width, height) != (1200, 900) or abs(dpi - 300) > 0.01:
        raise AssertionError("wrote %dx%d at %g dpi, expected 1200x900 at 300" % (width, height, dpi))
    window.exit()

    again = journey.start(output)
    wait_for("the TIFF opened", lambda: opened(again, "print.tif", 1200, 900))
    wait_for("its resolution", lambda: again.text_of("Resolution") == "300")
    again.exit()


def named_setting(journey):
    """Saves the settings under a name, changes them, and loads the name again."""
    photo = journey.path("photo.jpg")
    shutil.copy(journey.photos["kodak-dc240.jpg"], photo)
    window = journey.start(photo)
    window.type_into("Width", "320")
    wait_for("the height to follow", lambda: window.text_of("Height") == "240")

    choose_from_menu(window, "File", "Save settings...")
    name = dialog_text_field(window, "Name")
    name.queryEditableText().setTextContents("web small")
    press_button(window, "OK")
    saved = journey.path(".local", "share", "KARVO Scale Crafter", "Settings", "web small.qzr")
    wait_for("the settings file", lambda: os.path.exists(saved))
    wait_for("the dialog closed", lambda: not window.dialog_open())

    window.type_into("Width", "500")
    wait_for("the new width", lambda: window.text_of("Height") == "375")
    choose_from_menu(window, "File", "Load settings...")
    dialog_text_field(window, "Name").queryEditableText().setTextContents("web small")
    press_button(window, "OK")
    wait_for("the dialog closed", lambda: not window.dialog_open())
    wait_for("the named settings back", lambda: (window.text_of("Width"), window.text_of("Height")) == ("320", "240"))
    window.exit()


def next_previous(journey):
    """Next and Previous through a folder whose middle photo is broken: its message, then the photo
    after it; Previous then passes over the file that has just failed and goes straight back."""
    folder = journey.path("photos")
    os.makedirs(folder)
    shutil.copy(journey.photos["kodak-dc240.jpg"], os.path.join(folder, "a.jpg"))
    with open(journey.photos["kodak-dc240.jpg"], "rb") as f:
        head = f.read(2000)
    with open(os.path.join(folder, "b.jpg"), "wb") as f:
        f.write(head[:20] + b"\0" * 1980)  # a JPEG that breaks after its first bytes
    subprocess.run([journey.program("kvscale"), "resize", journey.photos["kodak-dc240.jpg"], "-o",
                    os.path.join(folder, "c.jpg"), "--percent", "50"], check=True)

    window = journey.start(os.path.join(folder, "a.jpg"))
    wait_for("a.jpg", lambda: opened(window, "a.jpg", 640, 480))
    activate(window)
    window.keys("alt+Right")
    wait_for("the message about b.jpg", lambda: window.dialog_open(), timeout=15)
    press_button(window, "OK")
    wait_for("c.jpg", lambda: opened(window, "c.jpg", 320, 240))
    activate(window)
    window.keys("alt+Left")
    wait_for("a.jpg again", lambda: opened(window, "a.jpg", 640, 480))
    if window.dialog_open():
        raise AssertionError("b.jpg was tried again")
    window.exit()


def upright_portrait(journey):
    """A portrait from a camera held sideways (stored 1512x1134 with Orientation 6) opens upright at
    1134x1512, is cropped to 4:5 at 1080x1350 and saved: the file is a 1080x1350 upright portrait
    that says orientation 1, the middle of the picture as ImageMagick crops the upright photo."""
    upright = journey.path("upright.png")
    subprocess.run(["/usr/bin/convert", journey.photos["kodak-dc240.jpg"], "-strip", "-rotate", "90", "-resize",
                    "1134x1512!", upright], check=True)
    photo = journey.path("portrait.jpg")
    subprocess.run(["/usr/bin/convert", upright, "-rotate", "270", "-quality", "92", photo], check=True)
    subprocess.run(["exiftool", "-q", "-overwrite_original", "-n", "-Orientation=6", photo], check=True)
    output = journey.path("portrait-4x5.jpg")

    window = journey.start(photo)
    wait_for("the upright portrait", lambda: opened(window, "portrait.jpg", 1134, 1512))
    crop = window.choose(window.find_described("Sets how to correct output size", pyatspi.ROLE_COMBO_BOX), "Down")
    wait_for("Crop chosen", lambda: crop.name == "Crop")
    window.type_into("Width", "1080")
    window.type_into("Height", "1350")
    wait_for("the 4:5 size", lambda: (window.text_of("Width"), window.text_of("Height")) == ("1080", "1350"))
    window.resize_and_save(output)
    wait_for("the portrait written", lambda: os.path.exists(output) and jpeg_size(output), timeout=40)
    window.exit()

    if jpeg_size(output) != (1080, 1350):
        raise AssertionError("wrote %s, expected 1080x1350" % (jpeg_size(output),))
    tag = subprocess.run(["exiftool", "-n", "-s3", "-Orientation", output], capture_output=True, text=True).stdout
    if tag.strip() != "1":
        raise AssertionError("the portrait says orientation %r" % tag.strip())

    def difference(reference):
        made = journey.path("reference.png")
        subprocess.run(["/usr/bin/convert", reference, "-resize", "1080x1350^", "-gravity", "center", "-extent",
                        "1080x1350", made], check=True)
        compared = subprocess.run(["compare", "-metric", "RMSE", output, made, "null:"], capture_output=True, text=True)
        return float(re.search(r"\(([0-9.e-]+)\)", compared.stderr).group(1))
    sideways = journey.path("sideways.png")
    subprocess.run(["/usr/bin/convert", photo, sideways], check=True)  # as stored: no -auto-orient
    upright_difference, sideways_difference = difference(upright), difference(sideways)
    if upright_difference > 0.05 or upright_difference * 3 > sideways_difference:
        raise AssertionError("the portrait differs from the upright crop by %g (from a sideways one by %g)" %
                             (upright_difference, sideways_difference))


def jpeg_spellings(journey):
    """Next and Previous step through a.jpg, b.jpeg and c.TIFF as through any other photos."""
    folder = journey.path("photos")
    os.makedirs(folder)
    shutil.copy(journey.photos["kodak-dc240.jpg"], os.path.join(folder, "a.jpg"))
    subprocess.run([journey.program("kvscale"), "resize", journey.photos["kodak-dc240.jpg"], "-o",
                    os.path.join(folder, "b.jpeg"), "--percent", "50"], check=True)
    subprocess.run([journey.program("kvscale"), "resize", journey.photos["kodak-dc240.jpg"], "-o",
                    os.path.join(folder, "c.TIFF"), "--percent", "25"], check=True)

    window = journey.start(os.path.join(folder, "a.jpg"))
    wait_for("a.jpg", lambda: opened(window, "a.jpg", 640, 480))
    for key, name, width, height in (("alt+Right", "b.jpeg", 320, 240), ("alt+Right", "c.TIFF", 160, 120),
                                     ("alt+Left", "b.jpeg", 320, 240)):
        activate(window)
        window.keys(key)
        wait_for(name, lambda: opened(window, name, width, height))
    if window.dialog_open():
        raise AssertionError("a message was shown")
    window.exit()


def manual(journey):
    """F1 opens the installed manual in the desktop's browser (here a stand-in that notes the address)."""
    tools = journey.path("tools")
    os.makedirs(tools)
    opened = journey.path("opened")
    launcher = os.path.join(tools, "xdg-open")
    with open(launcher, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$1\" >> '%s'\n" % opened)
    os.chmod(launcher, stat.S_IRWXU)
    window = journey.start(environment={"PATH": tools + os.pathsep + os.environ["PATH"]})
    activate(window)
    window.keys("F1")
    wait_for("the manual opened", lambda: os.path.exists(opened) and open(opened).read().strip())
    address = open(opened).read().split()[0]
    expected = "file://" + os.path.join(os.path.realpath(journey.prefix), "share", "kvscalecrafter", "help") + "/"
    # The view had the focus: the page that explains it.
    if address != expected + "index.html#view":
        raise AssertionError("opened %s, expected the view's part of the manual under %s" % (address, expected))
    window.exit()


def batch_unique_names(journey):
    """Twenty photos opened at once (as a file manager's "Open with" hands them over) resized to 50 %
    into a folder that already holds some of their names, under "Save with unique name": every photo
    is written, the files that were there stay as they were, and a taken name gets the first free
    number (photo07.jpg and photo07_1.jpg taken: photo07_2.jpg)."""
    # Photos of even sizes, so that half of each is exact; landscape and portrait.
    kinds = ["DSCN0010.jpg", "Canon_40D.jpg", "small.jpg", "Konica_Minolta_DiMAGE_Z3.jpg", "image01137.jpg",
             "kodak-dc240.jpg"]
    source = journey.path("Pictures", "Holiday")
    os.makedirs(source)
    halves = {}
    for i in range(20):
        name = "photo%02d.jpg" % (i + 1)
        shutil.copy(journey.photos[kinds[i % len(kinds)]], os.path.join(source, name))
        width, height = jpeg_size(os.path.join(source, name))
        halves[name] = (width // 2, height // 2)

    # Results of an earlier day, some of them under names this batch makes.
    output = journey.path("Pictures", "Resized")
    os.makedirs(output)
    earlier = {"photo03.jpg": "testorig.jpg", "photo07.jpg": "testimgint.jpg", "photo07_1.jpg": "testimgari.jpg",
               "photo12.jpg": "Fujifilm_FinePix_E500.jpg", "photo15_2.jpg": "Canon_40D_photoshop_import.jpg"}
    for name, photo in earlier.items():
        shutil.copy(journey.photos[photo], os.path.join(output, name))
    renamed = {"photo03.jpg": "photo03_1.jpg", "photo07.jpg": "photo07_2.jpg", "photo12.jpg": "photo12_1.jpg"}
    expected = {name: renamed.get(name, name) for name in halves}

    window = journey.start(*(os.path.join(source, name) for name in sorted(halves)))
    batch_list = window.find("Batch list")
    wait_for("twenty photos in the batch list", lambda: batch_list.description == "Total 20 files")
    # A percentage is taken of the photo shown; each photo of the list then gets its own 50 %.
    window.open_first_batch_photo()
    window.size_in_percent(50)
    window.apply_to_all()

    def unique_names():
        rule = window.click(window.find("Save with unique name", pyatspi.ROLE_RADIO_BUTTON))
        wait_for("unique names chosen", lambda: rule.getState().contains(pyatspi.STATE_CHECKED))
    log = window.run_batch(output, choose=unique_names)
    window.close_batch()
    window.exit()

    written = sorted(os.listdir(output))
    if written != sorted(set(earlier) | set(expected.values())):
        raise AssertionError("the output folder holds %s" % written)
    for name, photo in earlier.items():
        with open(os.path.join(output, name), "rb") as f, open(journey.photos[photo], "rb") as was:
            if f.read() != was.read():
                raise AssertionError(name + ", there before the batch, was changed")
    for name, result in expected.items():
        size = jpeg_size(os.path.join(output, result))
        if size != halves[name]:
            raise AssertionError("%s is %s, expected %s" % (result, size, halves[name]))

    # One entry a photo: its input, the name it was written under, and the size.
    entries = {}
    for entry in re.split(r"(?=^File \d+ from 20\s*$)", log.replace("\r", ""), flags=re.M):
        found = re.search(r"^Name: (\S+)\nOutput file\n.*\nName:(\S+)\nSize: (\d+)x(\d+) pixels", entry, re.M)
        if found:
            entries[found.group(1)] = (found.group(2), (int(found.group(3)), int(found.group(4))))
    for name, result in expected.items():
        if entries.get(name) != (result, halves[name]):
            raise AssertionError("the log says %s of %s, expected %s:\n%s" % (entries.get(name), name,
                                                                             (result, halves[name]), log))
    if "exists" in log or "Can't" in log:
        raise AssertionError("the log tells of a failure:\n" + log)


def resolution_key_by_key(journey):
    """A 640x480 photo of 300 dpi, and 150 typed into Resolution one key after the other, as a person
    types: the print size stays, so the photo becomes 320x240 (not the 450x450 that applying "1",
    then "15", then "150" on their own would make), and it is saved so, as kvscale --dpi 150 makes it."""
    photo = journey.path("photo.jpg")
    shutil.copy(journey.photos["DSCN0010.jpg"], photo)
    output = journey.path("photo_150dpi.jpg")
    window = journey.start(photo)
    wait_for("the photo", lambda: opened(window, "photo.jpg", 640, 480))
    window.type_into("Resolution", "150")
    wait_for("the size to follow", lambda: (window.text_of("Width"), window.text_of("Height")) == ("320", "240"))
    if window.text_of("Resolution") != "150":
        raise AssertionError("the resolution field shows " + window.text_of("Resolution"))
    window.resize_and_save(output)
    wait_for("the saved photo", lambda: os.path.exists(output) and jpeg_size(output) is not None, timeout=40)
    expected = journey.path("kvscale.jpg")
    subprocess.run([journey.program("kvscale"), "resize", photo, "-o", expected, "--dpi", "150"], check=True)
    if jpeg_size(output) != jpeg_size(expected) or jpeg_size(output) != (320, 240):
        raise AssertionError("saved %s, kvscale made %s" % (jpeg_size(output), jpeg_size(expected)))
    window.exit()


def batch_empty_folder(journey):
    """A batch run whose output folder field has been emptied: "Batch Settings" refuses it with a
    message that says so and stays open for a folder; cancelled, nothing was written anywhere, and
    the root of the file system was never taken for the folder nor remembered as it."""
    source = journey.path("Photos")
    os.makedirs(source)
    photos = []
    for name in ("DSCN0010.jpg", "kodak-dc240.jpg"):
        photos.append(os.path.join(source, name))
        shutil.copy(journey.photos[name], photos[-1])
    names = sorted(os.path.basename(p) for p in photos)
    in_root_before = [n for n in names if os.path.exists(os.path.join("/", n))]
    window = journey.start(*photos)
    batch_list = window.find("Batch list")
    wait_for("two photos in the batch list", lambda: batch_list.description == "Total 2 files")
    window.apply_to_all()
    window.keys("Return")
    field = window.find("Output folder", pyatspi.ROLE_TEXT, timeout=15)
    wait_for("the folder field focused", lambda: field.getState().contains(pyatspi.STATE_FOCUSED))
    window.keys("ctrl+a", "BackSpace", "Return")
    wait_for("the message that no folder is given", lambda: window.find_where(
        lambda a: a.getRole() == pyatspi.ROLE_LABEL and a.name.startswith("No output folder is given")), timeout=15)
    window.keys("Return")
    wait_for("the message closed", lambda: not any(window.app.getChildAtIndex(i).getRole() == pyatspi.ROLE_ALERT
                                                   for i in range(window.app.childCount)))
    # "Batch Settings" is still there, its folder field waiting.
    wait_for("the field focused again", lambda: field.getState().contains(pyatspi.STATE_FOCUSED))
    window.keys("Escape")
    wait_for("Batch Settings closed", lambda: not window.dialog_open())
    window.exit()
    if sorted(os.listdir(source)) != names:
        raise AssertionError("the photos' folder holds " + str(os.listdir(source)))
    if [n for n in names if os.path.exists(os.path.join("/", n))] != in_root_before:
        raise AssertionError("results were written into /")
    with open(journey.settings_file()) as f:
        if re.search(r"^OUTFOLDER=/$", f.read(), re.M | re.I):
            raise AssertionError("the root was remembered as the output folder")


JOURNEYS = {"print-size-to-tiff": print_size_to_tiff, "named-setting": named_setting,
            "next-previous": next_previous, "manual": manual, "batch-unique-names": batch_unique_names,
            "resolution-key-by-key": resolution_key_by_key, "batch-empty-folder": batch_empty_folder,
            "upright-portrait": upright_portrait, "jpeg-spellings": jpeg_spellings}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--journey", required=True, choices=sorted(JOURNEYS))
    parser.add_argument("--prefix", required=True, help="the installed tree")
    parser.add_argument("--photos", required=True, help="the folder of the test photos")
    args = parser.parse_args()
    photos = {name: os.path.join(args.photos, name) for name in os.listdir(args.photos)}
    with Journey(args.prefix, photos) as journey:
        JOURNEYS[args.journey](journey)
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
