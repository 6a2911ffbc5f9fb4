"""Drives the real kvscalecrafter window the way a person and a screen reader do: controls are found
by their accessible names over the accessibility bus, keys and clicks go through the X server.

Run inside an X server and a D-Bus session (xvfb-run ... dbus-run-session -- python3 ...)."""

import os
import shutil
import subprocess
import tempfile
import time

import pyatspi

DEFAULT_WAIT = 30.0


class DriverError(Exception):
    pass


def wait_for(what, condition, timeout=DEFAULT_WAIT, step=0.05):
    """Polls condition until it answers something true; fails with what after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = condition()
        except Exception:  # the accessibility tree changes while it is read
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise DriverError("timed out waiting for " + what)
        time.sleep(step)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def find_in(root, name, role):
    """The first control of that name and role under root, or None."""
    queue = [root]
    while queue:
        node = queue.pop(0)
        if node.name == name and node.getRole() == role:
            return node
        queue.extend(c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c is not None)
    return None


def screenshot(path):
    """The whole screen, with the pointer moved out of the way first."""
    xdotool("mousemove", "--sync", "5", "5")
    subprocess.run(["import", "-window", "root", path], check=True)


class Home:
    """A home folder of a test's own, removed afterwards with every window started from it: the
    program keeps its settings, data and cache there as it does in a user's home. When a test fails
    and KV_FAILURE_SCREENSHOT names a file, the screen as it was is kept there."""

    def __init__(self, prefix="kv-e2e-"):
        self.root = tempfile.mkdtemp(prefix=prefix)
        self.env = {"XDG_CONFIG_HOME": self.path(".config"), "XDG_DATA_HOME": self.path(".local", "share"),
                    "XDG_CACHE_HOME": self.path(".cache"), "HOME": self.root, "LANG": "C.UTF-8"}
        self.windows = []

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def settings_file(self):
        return self.path(".config", "KARVO Imaging", "KARVO Scale Crafter.conf")

    def start(self, program, *arguments, environment=None):
        """The program started in this home with these arguments (and variables)."""
        env = dict(self.env)
        env.update(environment or {})
        window = Window(program, list(arguments), env)
        self.windows.append(window)
        return window

    def __enter__(self):
        return self

    def __exit__(self, kind, *_):
        if kind is not None and os.environ.get("KV_FAILURE_SCREENSHOT"):
            screenshot(os.environ["KV_FAILURE_SCREENSHOT"])
        for window in self.windows:
            window.kill()
        shutil.rmtree(self.root, ignore_errors=True)


class Window:
    """The program started with arguments in an environment of its own."""

    def __init__(self, program, arguments, environment):
        env = dict(os.environ)
        env.update(environment)
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
        self.process = subprocess.Popen([program, *arguments], env=env)
        self.app = wait_for("the program on the accessibility bus", self._find_app)
        self.frame = wait_for("the main window", lambda: self.app.getChildAtIndex(0))
        # Keys go to the window under the pointer when no window manager gives the focus.
        wid = wait_for("the X window", lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid), "--name", "KARVO Scale Crafter"],
            capture_output=True, text=True).stdout.split())
        self.window_id = wid[-1]
        xdotool("mousemove", "--window", self.window_id, "300", "300")

    def _search(self, predicate):
        """Breadth first through the program's windows (the main window first, then its dialogs);
        parts that vanish meanwhile are skipped."""
        queue = [self.frame] + [w for w in (self.app.getChildAtIndex(i) for i in range(1, self.app.childCount))
                                if w is not None]
        while queue:
            node = queue.pop(0)
            try:
                if predicate(node):
                    return node
                queue.extend(c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c is not None)
            except Exception:
                continue
        return None

    def _find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def find(self, name, role=None, timeout=DEFAULT_WAIT):
        """The first control of that accessible name (and role) in the window."""
        def search():
            return self._search(lambda a: a.name == name and (role is None or a.getRole() == role))
        return wait_for("a control named " + repr(name), search, timeout)

    def find_where(self, predicate):
        """The first control of the program's windows for which predicate holds, or None."""
        return self._search(predicate)

    def find_labelled(self, label, role, timeout=DEFAULT_WAIT):
        """The control a label names (a selector's accessible name is its current entry)."""
        def search():
            caption = self._search(lambda a: a.name == label and a.getRole() == pyatspi.ROLE_LABEL)
            for relation in caption.getRelationSet():
                if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR:
                    target = relation.getTarget(0)
                    if target.getRole() == role:
                        return target
            return None
        return wait_for("the control labelled " + repr(label), search, timeout)

    def find_described(self, description, role, timeout=DEFAULT_WAIT):
        """The control whose description (its tool tip) is this."""
        def search():
            return self._search(lambda a: a.description == description and a.getRole() == role)
        return wait_for("the control described " + repr(description), search, timeout)

    def click(self, control):
        """A click in the middle of the control, where the screen reader says it stands."""
        box = control.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xdotool("mousemove", "--sync", str(box.x + box.width // 2), str(box.y + box.height // 2))
        xdotool("click", "1")
        return control

    def focus(self, name, role=None):
        control = self.click(self.find(name, role))
        wait_for(repr(name) + " to take the focus", lambda: control.getState().contains(pyatspi.STATE_FOCUSED))
        return control

    def type_into(self, name, text):
        """Replaces a field's text as typed, then leaves the field."""
        self.focus(name, pyatspi.ROLE_SPIN_BUTTON)
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "20", text)
        xdotool("key", "Tab")

    def press(self, name, role=pyatspi.ROLE_MENU_ITEM):
        """Carries out a control's first action, as a screen reader's "activate" does."""
        self.find(name, role).queryAction().doAction(0)

    def choose(self, selector, *keys):
        """Opens a selector's list with a click and chooses in it with keys and Enter; the keys go out
        only once the list shows, or they would reach the window behind it."""
        self.click(selector)
        wait_for("the list open", lambda: selector.getState().contains(pyatspi.STATE_EXPANDED))
        self.keys(*keys, "Return")
        wait_for("the list closed", lambda: not selector.getState().contains(pyatspi.STATE_EXPANDED))
        return selector

    def size_in_percent(self, percent):
        """Percent in the units selector (a click opens its list, the keys choose in it), then the width;
        the height follows under Keep aspect."""
        self.choose(self.find_described("Sets units for above fields", pyatspi.ROLE_COMBO_BOX), "Down")
        self.type_into("Width", str(percent))
        wait_for("the height to follow", lambda: (self.text_of("Width"), self.text_of("Height")) == (str(percent),) * 2)

    def choose_super_resolution(self):
        """"KARVO Super-Resolution", the last entry of the algorithm selector."""
        algorithm = self.choose(self.find_labelled("Algorithm:", pyatspi.ROLE_COMBO_BOX), "End")
        wait_for("the algorithm chosen", lambda: algorithm.name == "KARVO Super-Resolution")

    def keys(self, *keys):
        xdotool("key", "--clearmodifiers", *keys)

    def text_of(self, name, role=pyatspi.ROLE_SPIN_BUTTON):
        control = self.find(name, role)
        text = control.queryText()
        return text.getText(0, text.characterCount)

    def description_of(self, name):
        return self.find(name).description

    def dialog_open(self):
        """Whether one of the program's dialogs or message boxes is showing."""
        return any(self.app.getChildAtIndex(i).getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)
                   for i in range(self.app.childCount))

    def resize_and_save(self, path):
        """Resize and Save... (Ctrl+S) with a path typed into the save dialog; a JPEG's options are
        taken as offered."""
        self.keys("ctrl+s")
        wait_for("the save dialog", self.dialog_open, timeout=15)
        self.keys("ctrl+a")
        xdotool("type", "--delay", "10", path)
        self.keys("Return")
        if os.path.splitext(path)[1].lower() in (".jpg", ".jpeg", ".jpe"):
            options = self.find("JPEG Options", pyatspi.ROLE_DIALOG, timeout=15)
            find_in(options, "Save", pyatspi.ROLE_PUSH_BUTTON).queryAction().doAction(0)

    def open_first_batch_photo(self):
        """A click on the first card of the batch list: its photo opens in the view above."""
        box = self.find("Batch list").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xdotool("mousemove", "--sync", str(box.x + 120), str(box.y + 60))
        xdotool("click", "1")
        wait_for("the photo shown", lambda: self.description_of("Image") != "No image")

    def apply_to_all(self):
        """"Apply to All" (Alt+A) from the view: every photo of the batch list gets the bar's size, and
        Run is enabled. Without a window manager a click makes the window the active one."""
        self.focus("Image")
        self.keys("alt+a")
        run = self.find("Run", pyatspi.ROLE_MENU_ITEM)
        wait_for("Run enabled", lambda: run.getState().contains(pyatspi.STATE_SENSITIVE))

    def run_batch(self, folder, choose=lambda: None, timeout=60):
        """Runs the batch (Enter) into folder, typed into "Batch Settings"; choose() sets the dialog's
        other values before its default button is pressed. Answers the log of "Batch processing"
        once its run has ended; the dialog is left open."""
        self.keys("Return")
        field = self.find("Output folder", pyatspi.ROLE_TEXT, timeout=15)
        wait_for("the folder field focused", lambda: field.getState().contains(pyatspi.STATE_FOCUSED))
        self.keys("ctrl+a")
        xdotool("type", "--delay", "10", folder.rstrip("/") + "/")
        choose()
        self.keys("Return")
        dialog = self.find("Batch processing", pyatspi.ROLE_DIALOG, timeout=15)
        self.batch_done = wait_for("the run to end", lambda: find_in(dialog, "Done", pyatspi.ROLE_PUSH_BUTTON),
                                   timeout)
        text = find_in(dialog, "Log", pyatspi.ROLE_TEXT).queryText()
        return text.getText(0, text.characterCount)

    def close_batch(self):
        """"Done" (the default button of "Batch processing"), and the dialog gone."""
        done = self.batch_done
        self.keys("Return")
        wait_for("the dialog closed", lambda: done.getState().contains(pyatspi.STATE_DEFUNCT) or
                 not done.getState().contains(pyatspi.STATE_SHOWING))

    def exit(self):
        """File > Exit, and the program ending cleanly."""
        self.press("Exit")
        if self.wait_exit() != 0:
            raise DriverError("the program did not end cleanly")

    def wait_exit(self, timeout=DEFAULT_WAIT):
        return self.process.wait(timeout)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.kill()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
