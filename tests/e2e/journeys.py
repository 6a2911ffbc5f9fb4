"""A user's journeys through the installed program, driven as a person and a screen reader do: the
program is the one of an installed tree (bin/kvscalecrafter with its data in share/), started in a
home of its own; controls are found by their accessible names, keys and clicks go through the X
server. One journey a run, chosen with --journey."""

import argparse
import os
import shutil
import stat
import struct
import subprocess
import sys
import tempfile

import pyatspi

from window_driver import Window, wait_for, xdotool


def tiff_facts(path):
    """Width, height and horizontal resolution (dots per inch) from a TIFF's first directory."""
    with open(path, "rb") as f:
        data = f.read()
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    (offset,) = struct.unpack(order + "I", data[4:8])
    (count,) = struct.unpack(order + "H", data[offset:offset + 2])
    tags = {}
    for i in range(count):
        entry = data[offset + 2 + 12 * i:offset + 14 + 12 * i]
        tag, kind, _, value = struct.unpack(order + "HHI4s", entry)
        if kind == 3:
            tags[tag] = struct.unpack(order + "H", value[:2])[0]
        elif kind == 4:
            tags[tag] = struct.unpack(order + "I", value)[0]
        elif kind == 5:
            (at,) = struct.unpack(order + "I", value)
            num, den = struct.unpack(order + "II", data[at:at + 8])
            tags[tag] = num / den
    unit = tags.get(296, 2)  # 2 inches, 3 centimetres
    dpi = tags[282] * (2.54 if unit == 3 else 1.0)
    return tags[256], tags[257], dpi


class Journey:
    def __init__(self, prefix, photos):
        self.prefix = prefix
        self.photos = photos
        self.home = tempfile.mkdtemp(prefix="kv-journey-")
        self.env = {"XDG_CONFIG_HOME": self.path("config"), "XDG_DATA_HOME": self.path("data"),
                    "XDG_CACHE_HOME": self.path("cache"), "HOME": self.home}
        self.windows = []

    def path(self, *parts):
        return os.path.join(self.home, *parts)

    def program(self, name="kvscalecrafter"):
        return os.path.join(self.prefix, "bin", name)

    def start(self, *arguments, environment=None):
        env = dict(self.env)
        env.update(environment or {})
        window = Window(self.program(), list(arguments), env)
        self.windows.append(window)
        return window

    def close(self, window):
        window.press("Exit")
        if window.wait_exit() != 0:
            raise AssertionError("the program did not end cleanly")

    def finish(self):
        for window in self.windows:
            window.kill()
        shutil.rmtree(self.home, ignore_errors=True)


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
    journey.close(window)

    again = journey.start(output)
    wait_for("the TIFF opened", lambda: opened(again, "print.tif", 1200, 900))
    wait_for("its resolution", lambda: again.text_of("Resolution") == "300")
    journey.close(again)


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
    saved = journey.path("data", "KARVO Scale Crafter", "Settings", "web small.qzr")
    wait_for("the settings file", lambda: os.path.exists(saved))
    wait_for("the dialog closed", lambda: not window.dialog_open())

    window.type_into("Width", "500")
    wait_for("the new width", lambda: window.text_of("Height") == "375")
    choose_from_menu(window, "File", "Load settings...")
    dialog_text_field(window, "Name").queryEditableText().setTextContents("web small")
    press_button(window, "OK")
    wait_for("the dialog closed", lambda: not window.dialog_open())
    wait_for("the named settings back", lambda: (window.text_of("Width"), window.text_of("Height")) == ("320", "240"))
    journey.close(window)


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
    journey.close(window)


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
    journey.close(window)


JOURNEYS = {"print-size-to-tiff": print_size_to_tiff, "named-setting": named_setting,
            "next-previous": next_previous, "manual": manual}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--journey", required=True, choices=sorted(JOURNEYS))
    parser.add_argument("--prefix", required=True, help="the installed tree")
    parser.add_argument("--photos", required=True, help="the folder of the test photos")
    args = parser.parse_args()
    photos = {name: os.path.join(args.photos, name) for name in os.listdir(args.photos)}
    journey = Journey(args.prefix, photos)
    try:
        JOURNEYS[args.journey](journey)
    finally:
        journey.finish()
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
