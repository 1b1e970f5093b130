"""Driving one running copy of quorvel as a user would: keys and clicks through
XTEST (xdotool), reading what is on screen through the window system, the
accessibility tree and screen pixels."""

import os
import signal
import subprocess
import time
from dataclasses import dataclass

from . import a11y, layout, processes
from .desktop import SCREEN_SIZE
from .waiting import wait_until

PROGRAM_TITLE = "Quorvel 1.36"
CAPTION_PREFIX = "Quorvel    -- "
DOUBLE_CLICK_SECONDS = 0.6  # a little over Qt's default interval of 400 ms


@dataclass(frozen=True)
class MenuEntry:
    caption: str  # with the access key marked by "&", as the program spells it
    visible: bool
    enabled: bool
    checked: bool = False
    separator: bool = False


@dataclass(frozen=True)
class MessageBox:
    title: str
    text: str
    icon: str  # "none", "critical", "warning", or "information or question"


def _classify_icon(image):
    """Names a message-box icon by its dominant colour (the style draws the four
    standard icons red, yellow, blue and blue)."""
    if image is None or image.width == 0 or image.height == 0:
        return "none"
    red = image.count(lambda p: p[0] > 150 and p[1] < 110 and p[2] < 110)
    yellow = image.count(lambda p: p[0] > 170 and p[1] > 140 and p[2] < 110)
    blue = image.count(lambda p: p[2] > 140 and p[0] < 120)
    best = max(red, yellow, blue)
    # The question icon is a white bubble with a small blue mark.
    if blue == best and blue >= image.width * image.height // 50:
        return "information or question"
    if best < image.width * image.height // 10:
        return "none"
    if best == red:
        return "critical"
    if best == yellow:
        return "warning"
    return "information or question"


class Quorvel:
    """One started copy of the program; its output goes to files in the sandbox logs."""

    def __init__(self, desktop, sandbox, binary, cwd, name, args=()):
        self.desktop = desktop
        self.sandbox = sandbox
        self.name = name
        self.cwd_at_start = str(cwd)
        self.stdout_path = sandbox.logs / f"{name}.stdout"
        self.stderr_path = sandbox.logs / f"{name}.stderr"
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen([str(binary), *map(str, args)], cwd=cwd,
                                            env=sandbox.environment(desktop.env),
                                            stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                            start_new_session=True)
        self.window = None
        self._last_click = 0.0

    # ------------------------------------------------------------ process
    @property
    def pid(self):
        return self.process.pid

    def is_running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=10):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{self.name} still running after {timeout}s") from None

    def kill(self, sig=signal.SIGKILL):
        os.kill(self.pid, sig)
        self.process.wait(timeout=10)

    def stop(self):
        if self.is_running():
            processes.end_process(self.pid)
        self.process.poll()

    def working_folder(self):
        """The process's current folder, which follows the folder browser."""
        return os.readlink(f"/proc/{self.pid}/cwd")

    def output(self):
        return self.stdout_path.read_text(errors="replace") + self.stderr_path.read_text(
            errors="replace")

    # ------------------------------------------------------------ windows
    def accessible(self):
        app = a11y.application(self.pid)
        if app is None:
            raise LookupError(f"{self.name} is not in the accessibility tree")
        return app

    def main_frame(self):
        for child in self.accessible().children():
            if child.role == "frame" and any(c.role == "menu bar" for c in child.children()):
                return child
        raise LookupError("no main window in the accessibility tree")

    def _main_x_window(self):
        """The X window of the main frame (a message box may carry the same caption)."""
        try:
            frame = self.main_frame()
        except LookupError:
            return None
        if not frame.showing:
            return None
        for window in self.desktop.windows_of(self.pid):
            if self.desktop.window_geometry(window) == frame.extents:
                return window
        return None

    def main_window_shown(self):
        return self._main_x_window() is not None

    def wait_for_window(self, timeout=20):
        """Waits until the main window is on screen and published, then focuses it."""
        def ready():
            if not self.is_running():
                raise AssertionError(f"{self.name} exited with {self.process.returncode}:\n"
                                     + self.output())
            return self._main_x_window()
        self.window = wait_until(ready, timeout, message=f"the main window of {self.name}")
        self.activate()
        return self

    def activate(self):
        self.desktop.xdotool("windowactivate", "--sync", self.window)
        wait_until(lambda: int(self.desktop.xdotool("getactivewindow")) == self.window,
                   timeout=5, message="the main window to take the focus")

    def caption(self):
        """The main window's caption as the window manager shows it."""
        return self.desktop.window_name(self.window)

    def client_origin(self):
        """Screen position of the client area's top-left (below the menu bar)."""
        frame = self.main_frame()
        client = next(c for c in frame.children() if c.role == "filler")
        return client.extents[:2]

    def client_size(self):
        frame = self.main_frame()
        client = next(c for c in frame.children() if c.role == "filler")
        return client.extents[2:]

    def control(self, name):
        """The control of the form's layout, found by its fixed place in the client area."""
        frame = self.main_frame()
        client = next(c for c in frame.children() if c.role == "filler")
        cx, cy = client.extents[:2]
        x, y, _, _ = layout.control_rect(name)
        for child in client.children():
            if child.role == layout.ROLES[name] and child.showing and \
                    abs(child.extents[0] - cx - x) <= 1 and abs(child.extents[1] - cy - y) <= 1:
                return child
        raise LookupError(f"control {name} not found at ({x}, {y})")

    def shows(self, name):
        """Whether the control is on screen at its place. A hidden control has no place
        in the accessibility tree, so it is known by its kind; a control that is not in
        the window at all is an error, never a quiet False."""
        try:
            return self.control(name).showing
        except LookupError:
            pass
        frame = self.main_frame()
        client = next(c for c in frame.children() if c.role == "filler")
        if any(child.role == layout.ROLES[name] and not child.showing
               for child in client.children()):
            return False
        raise LookupError(f"control {name} is not in the window at all")

    def control_screen_rect(self, name):
        cx, cy = self.client_origin()
        x, y, w, h = layout.control_rect(name)
        return cx + x, cy + y, w, h

    # ------------------------------------------------------------ input
    def click(self, x, y, button=1, double=False):
        # One xdotool call: the X server handles the move before the click.
        # (--sync would wait forever-ish when the pointer is already there.)
        # A click soon after the last one would pair with it into a double-click.
        since = time.monotonic() - self._last_click
        if since < DOUBLE_CLICK_SECONDS:
            time.sleep(DOUBLE_CLICK_SECONDS - since)
        repeat = ["--repeat", 2, "--delay", 60] if double else []
        self.desktop.xdotool("mousemove", x, y, "click", *repeat, button)
        self._last_click = time.monotonic()

    def key(self, *keys):
        self.desktop.xdotool("key", "--clearmodifiers", *keys)

    def hold_key(self, key, seconds):
        """Holds a key down that long, so that the keyboard repeats it."""
        self.desktop.xdotool("keydown", key)
        time.sleep(seconds)
        self.desktop.xdotool("keyup", key)

    def type_text(self, text):
        self.desktop.xdotool("type", "--delay", 30, "--", text)

    # ------------------------------------------------------------ menus
    def menu_bar(self):
        """The menu-bar entries, hidden ones included (visible=False)."""
        bar = next(c for c in self.main_frame().children() if c.role == "menu bar")
        return [MenuEntry(a11y.with_access_key(item.name, item.key_binding()),
                          visible=item.visible, enabled=item.enabled)
                for item in bar.children() if item.role == "menu item"]

    def _menu_bar_item(self, title):
        bar = next(c for c in self.main_frame().children() if c.role == "menu bar")
        for item in bar.children():
            if a11y.with_access_key(item.name, item.key_binding()) == title:
                return item
        raise LookupError(f"no menu {title!r} in the menu bar")

    def _open_menu(self, title):
        """Opens a menu-bar menu with its access key; returns its popup."""
        item = self._menu_bar_item(title)
        binding = item.key_binding()
        self.activate()
        keys = binding.replace("Alt+", "alt+").lower() if binding else "F10"

        def popup():
            menus = [c for c in self._menu_bar_item(title).children() if c.role == "popup menu"]
            return menus[0] if menus and menus[0].showing else None
        self.key(keys)
        return wait_until(popup, timeout=5, message=f"the {title!r} menu to open")

    def _close_menus(self):
        bar = next(c for c in self.main_frame().children() if c.role == "menu bar")

        def closed():
            open_menus = [m for item in bar.children() for m in item.children()
                          if m.role == "popup menu" and m.showing]
            if open_menus:
                self.key("Escape")
            return not open_menus
        wait_until(closed, timeout=5, interval=0.2, message="the menus to close")

    def menu_items(self, title):
        """Opens the menu as a user would, reads its entries, and closes it again."""
        popup = self._open_menu(title)
        entries = []
        for item in popup.children():
            if item.role == "separator":
                entries.append(MenuEntry("-", item.visible, False, separator=True))
            elif item.role in ("menu item", "menu", "check menu item", "radio menu item"):
                entries.append(MenuEntry(a11y.with_access_key(item.name, item.key_binding()),
                                         visible=item.showing, enabled=item.enabled,
                                         checked=item.checked))
        self._close_menus()
        return entries

    def choose_menu(self, title, caption):
        """Opens the menu with its access key and walks to the entry with the arrow keys."""
        popup = self._open_menu(title)
        steps = len(popup.children()) * 2
        for _ in range(steps):
            current = [c for c in popup.children() if c.focused or c.selected]
            if current and current[0].name == caption.replace("&", ""):
                self.key("Return")
                return
            self.key("Down")
            popup = wait_until(lambda: [c for c in self._menu_bar_item(title).children()
                                        if c.role == "popup menu"][0], timeout=5)
        self._close_menus()
        raise LookupError(f"could not reach {caption!r} in {title!r} with the arrow keys")

    def _walk_to(self, items, caption):
        """Presses Down until the entry named caption is the open menu's current one
        (names compared without access-key marks and outer blanks)."""
        wanted = caption.replace("&", "").strip()
        for _ in range(len(items()) * 2 + 2):
            current = [c for c in items() if c.focused or c.selected]
            if current and current[0].name.strip() == wanted:
                return True
            self.key("Down")
        return False

    def choose_submenu(self, title, submenu, caption):
        """Walks a menu-bar menu to a submenu with the arrow keys, opens it with Right
        and chooses the entry there, as a keyboard user does."""
        self._open_menu(title)

        def popup_items():
            menus = [c for c in self._menu_bar_item(title).children() if c.role == "popup menu"]
            return menus[0].children() if menus else []
        if not self._walk_to(popup_items, submenu):
            self._close_menus()
            raise LookupError(f"could not reach {submenu!r} in {title!r}")
        self.key("Right")

        def submenu_items():
            entry = next((c for c in popup_items() if c.name.strip() == submenu.strip()), None)
            if entry is None:
                return []
            children = entry.children()
            inner = [c for c in children if c.role == "popup menu"]
            items = inner[0].children() if inner else children
            return items if any(i.showing for i in items) else []
        wait_until(submenu_items, timeout=5, message=f"the {submenu!r} submenu to open")
        if not self._walk_to(submenu_items, caption):
            self._close_menus()
            raise LookupError(f"could not reach {caption!r} in {submenu!r}")
        self.key("Return")

    def exit_via_menu(self):
        self.choose_menu("&File", "Exit")

    # ------------------------------------------------------------ lists
    def list_entries(self, name):
        """The entries of a list control, exactly as shown (folder entries keep their indent)."""
        return [item.name for item in self.control(name).children() if item.role == "list item"]

    def file_list(self):
        return self.list_entries("File1")

    def folder_list(self):
        """The folder list's entries without their indentation."""
        return [entry.strip() for entry in self.list_entries("Dir1")]

    def highlighted(self, name):
        return [item.name.strip() for item in self.control(name).children()
                if item.role == "list item" and item.selected]

    def _entry_on_screen(self, name, entry):
        box = self.control(name)
        bx, by, bw, bh = box.extents
        for item in box.children():
            if item.role == "list item" and item.name.strip() == entry:
                cx, cy = item.center
                if bx < cx < bx + bw - 1 and by < cy < by + bh - 1:
                    return item, 0
                return item, (-1 if cy <= by else 1)
        raise LookupError(f"{entry!r} is not in {name}: {self.list_entries(name)}")

    def click_list_entry(self, name, entry, double=False):
        """Clicks an entry of a list (matched without indentation), scrolling it into view."""
        self.activate()
        for _ in range(100):
            item, direction = self._entry_on_screen(name, entry)
            if direction == 0:
                self.click(*item.center, double=double)
                return
            self.click(*self.control(name).center, button=4 if direction < 0 else 5)
        raise AssertionError(f"could not scroll {entry!r} into view in {name}")

    # ------------------------------------------------------------ combo boxes
    def _popup_items(self, name):
        combo = self.control(name)
        lists = [c for c in combo.children() if c.role == "list"]
        return [i for i in lists[0].children() if i.role == "list item"] if lists else []

    def _open_combo(self, name):
        x, y, w, h = self.control_screen_rect(name)
        self.activate()
        self.click(x + w - 8, y + h // 2)
        return wait_until(lambda: [i for i in self._popup_items(name) if i.showing],
                          timeout=5, message=f"the {name} list to drop down")

    def drive(self):
        return self.control("Drive1").name

    def drives(self):
        return [i.name for i in self._popup_items("Drive1")]

    def choose_drive(self, volume):
        """Drops the drive list down and clicks the volume."""
        shown = self._open_combo("Drive1")
        for item in shown:
            if item.name == volume:
                self.click(*item.center)
                wait_until(lambda: self.drive() == volume, timeout=5,
                           message=f"the drive list to show {volume!r}")
                return
        self.key("Escape")
        raise LookupError(f"no volume {volume!r} in {[i.name for i in shown]}")

    def filter_text(self):
        combo = self.control("Combo1")
        editor = next(c for c in combo.children() if c.role == "text")
        return editor.text()

    def filter_choices(self):
        return [i.name for i in self._popup_items("Combo1")]

    def drop_down_filter(self):
        return [i.name for i in self._open_combo("Combo1")]

    def type_filter(self, text):
        """Replaces the filter text by typing it, one keystroke at a time."""
        combo = self.control("Combo1")
        editor = next(c for c in combo.children() if c.role == "text")
        self.activate()
        self.click(*editor.center)
        wait_until(lambda: next(c for c in self.control("Combo1").children()
                                if c.role == "text").focused, timeout=5,
                   message="the filter box to take the focus")
        self.key("ctrl+a")
        self.type_text(text)

    # ------------------------------------------------------------ labels
    def info_labels(self):
        """The "File's Information" frame as {caption: value}, e.g. {"Size:": "1 KB"}."""
        frame = self.control("Frame1")
        labels = [c for c in frame.children() if c.role == "label" and c.showing]
        labels.sort(key=lambda n: (n.extents[1], n.extents[0]))
        result, caption = {}, None
        for label in labels:
            text = label.name
            # An empty label is published under the group box's title.
            if text == frame.name:
                text = ""
            if caption is None:
                caption = text
            else:
                result[caption] = text
                caption = None
        return result

    # ------------------------------------------------------------ message boxes
    def _message_box_nodes(self):
        return [c for c in self.accessible().children()
                if c.role in ("alert", "dialog") and c.showing]

    def message_box(self):
        """(title, text, icon) of the message box on screen, or None."""
        boxes = self._message_box_nodes()
        if not boxes:
            return None
        box = boxes[0]
        parts = box.children()
        texts = [p.name for p in parts if p.role == "label" and p.showing and p.name]
        icons = [p for p in parts if p.role in ("image", "icon") and p.showing]
        icon = "none"
        if icons:
            x, y, w, h = icons[0].extents
            icon = _classify_icon(self.desktop.grab().crop(x, y, w, h))
        return MessageBox(self._dialog_title(box), "\n".join(texts), icon)

    def _dialog_title(self, box):
        # The caption the window manager draws, when the dialog's window is found.
        for window in self.desktop.windows_of(self.pid):
            if window == self.window:
                continue
            name = self.desktop.window_name(window)
            if name == box.name:
                return name
        return box.name

    def wait_message_box(self, timeout=10):
        return wait_until(self.message_box, timeout, message=f"a message box from {self.name}")

    def press_ok(self):
        """Clicks the message box's OK button."""
        box = wait_until(lambda: self._message_box_nodes(), timeout=10,
                         message="a message box")[0]
        button = box.find(lambda n: n.role == "push button" and n.name.replace("&", "") == "OK")
        if button is None:
            raise LookupError("the message box has no OK button")
        self.click(*button.center)

    def press_button(self, caption):
        """Clicks the message box's button with that caption (access-key marks ignored)."""
        box = wait_until(lambda: self._message_box_nodes(), timeout=10,
                         message="a message box")[0]
        button = box.find(lambda n: n.role == "push button" and n.name.replace("&", "") == caption)
        if button is None:
            raise LookupError(f"the message box has no {caption!r} button")
        self.click(*button.center)

    # ------------------------------------------------------------ pixels
    def panel_pixels(self):
        """The viewing panel (Picture5) as it is on screen, border included."""
        x, y, w, h = self.control_screen_rect("Picture5")
        return self.desktop.grab().crop(x, y, w, h)

    def full_screen_window(self):
        """The program's window that covers the whole screen, or None."""
        for window in self.desktop.windows_of(self.pid):
            if window != self.window and \
                    self.desktop.window_geometry(window) == (0, 0, *SCREEN_SIZE):
                return window
        return None

    def wait_full_screen(self, shown=True, timeout=10):
        what = "the full-screen view to " + ("open" if shown else "close")
        if shown:
            return wait_until(self.full_screen_window, timeout, message=what)
        return wait_until(lambda: self.full_screen_window() is None, timeout, message=what)

    def window_image(self):
        x, y, w, h = self.desktop.frame_geometry(self.window)
        return self.desktop.grab().crop(x, y, w, h)

    def settle(self, quiet=0.3, timeout=5):
        """Waits until the window stops changing on screen (for screenshots)."""
        last, since = None, time.monotonic()

        def still():
            nonlocal last, since
            now = self.desktop.grab().data
            if now != last:
                last, since = now, time.monotonic()
            return time.monotonic() - since >= quiet
        wait_until(still, timeout, interval=0.1, message="the screen to settle")
