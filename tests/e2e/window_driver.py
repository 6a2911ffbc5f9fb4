"""Drives the real kvscalecrafter window the way a person and a screen reader do: controls are found
by their accessible names over the accessibility bus, keys and clicks go through the X server.

Run inside an X server and a D-Bus session (xvfb-run ... dbus-run-session -- python3 ...)."""

import os
import subprocess
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
        """Breadth first through the window's accessible tree; parts that vanish meanwhile are skipped."""
        queue = [self.frame]
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

    def keys(self, *keys):
        xdotool("key", "--clearmodifiers", *keys)

    def text_of(self, name, role=pyatspi.ROLE_SPIN_BUTTON):
        control = self.find(name, role)
        text = control.queryText()
        return text.getText(0, text.characterCount)

    def description_of(self, name):
        return self.find(name).description

    def wait_exit(self, timeout=DEFAULT_WAIT):
        return self.process.wait(timeout)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
