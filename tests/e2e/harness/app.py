"""Driving one running copy of quorvel as a user would: keys and clicks through
XTEST (xdotool), reading what is on screen through the window system, the
accessibility tree and screen pixels."""

import time
from collections import namedtuple

from . import a11y, processes
from .desktop import SCREEN_SIZE
from .waiting import WaitTimeout, wait_until

CAPTION_PREFIX = "Quorvel    -- "
PANEL_BORDER = 2  # the viewing panel's inner top-left is this far inside it
# The main window's fixed layout: each control's (left, top, width, height) in twips
# (15 a pixel) relative to the client area below the menu bar, and its accessible role.
CONTROLS = {
    "Combo1": ((0, 2640, 2415, 315), "combo box"), "File1": ((0, 3000, 2415, 2040), "list"),
    "Frame1": ((0, 5040, 2415, 1095), "panel"), "Picture5": ((2400, 0, 6855, 5895), "frame"),
}
DOUBLE_CLICK_SECONDS = 0.6  # a little over Qt's default interval of 400 ms

# icon: "none", "critical", "warning", or "information or question"
MessageBox = namedtuple("MessageBox", "title text icon")


def _classify_icon(image):
    """Names a message-box icon by its dominant colour (the style draws the four
    standard icons red, yellow, blue and blue; the question a white bubble with a
    small blue mark)."""
    area = image.width * image.height
    if area == 0:
        return "none"
    red = image.count(lambda p: p[0] > 150 and p[1] < 110 and p[2] < 110)
    yellow = image.count(lambda p: p[0] > 170 and p[1] > 140 and p[2] < 110)
    blue = image.count(lambda p: p[2] > 140 and p[0] < 120)
    best = max(red, yellow, blue)
    if blue == best and blue >= area // 50:
        return "information or question"
    if best < area // 10:
        return "none"
    return "critical" if best == red else "warning" if best == yellow \
        else "information or question"


class Quorvel:
    """One started copy of the program; its output goes to files in the sandbox logs."""

    def __init__(self, desktop, sandbox, binary, cwd, name, args=()):
        self.desktop = desktop
        self.name = name
        self.log_path = sandbox.logs / f"{name}.log"
        self.process = processes.spawn([str(binary), *map(str, args)],
                                       sandbox.environment(desktop.env), self.log_path, cwd)
        self.window = None
        self._last_click = 0.0

    # ------------------------------------------------------------ process
    @property
    def pid(self):
        return self.process.pid

    def is_running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=10):
        return self.process.wait(timeout=timeout)

    def stop(self):
        if self.is_running():
            processes.end_process(self.pid)
        self.process.poll()

    def output(self):
        return self.log_path.read_text(errors="replace")

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

    def _part(self, role):
        return next(c for c in self.main_frame().children() if c.role == role)

    def _main_x_window(self):
        """The X window of the main frame (a message box may carry the same caption)."""
        try:
            frame = self.main_frame()
        except LookupError:
            return None
        if frame.showing:
            for window in self.desktop.windows_of(self.pid):
                if self.desktop.window_geometry(window) == frame.extents:
                    return window
        return None

    def main_window_shown(self):
        return self._main_x_window() is not None

    def stays_hidden(self, seconds=1.0):
        """Gives a click time to take effect, and says whether the window stayed away."""
        try:
            wait_until(self.main_window_shown, timeout=seconds, interval=0.1)
            return False
        except WaitTimeout:
            return True

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
        wait_until(lambda: self.desktop.active_window() == self.window,
                   timeout=5, message="the main window to take the focus")

    def caption(self):
        """The main window's caption as the window manager shows it."""
        return self.desktop.window_name(self.window)

    def wait_caption(self, text):
        wait_until(lambda: self.caption() == CAPTION_PREFIX + str(text),
                   message=f"the caption to name {text}")

    def window_titled(self, title):
        """A window of the program other than the main window, by its caption."""
        return next((n for n in self.accessible().children()
                     if n.name == title and n.showing), None)

    def wait_window(self, title):
        return wait_until(lambda: self.window_titled(title), message=f"the window {title!r}")

    def control(self, name):
        """The control of the form's layout, found by its fixed place in the client area."""
        x, y, _, _ = self.control_screen_rect(name)
        for child in self._part("filler").children():
            if child.role == CONTROLS[name][1] and child.showing and \
                    abs(child.extents[0] - x) <= 1 and abs(child.extents[1] - y) <= 1:
                return child
        raise LookupError(f"control {name} not found at ({x}, {y})")

    def control_screen_rect(self, name):
        cx, cy = self._part("filler").extents[:2]
        x, y, w, h = (round(v / 15) for v in CONTROLS[name][0])
        return cx + x, cy + y, w, h

    def tray_icon(self):
        """The centre of the program's icon in the tray host's strip at the screen's bottom."""
        for window in self.desktop.windows_of(self.pid):
            x, y, width, height = self.desktop.window_geometry(window)
            if width <= 48 and height <= 48 and y >= SCREEN_SIZE[1] - 48:
                return x + width // 2, y + height // 2
        return None

    def wait_tray_icon(self, present=True):
        return wait_until(lambda: self.tray_icon() if present else self.tray_icon() is None,
                          message="the tray icon to " + ("come" if present else "go"))

    # ------------------------------------------------------------ input
    def click(self, x, y, button=1, double=False):
        # One xdotool call: the X server handles the move before the click. A click
        # soon after the last one would pair with it into a double-click.
        since = time.monotonic() - self._last_click
        if since < DOUBLE_CLICK_SECONDS:
            time.sleep(DOUBLE_CLICK_SECONDS - since)
        repeat = ["--repeat", 2, "--delay", 60] if double else []
        self.desktop.xdotool("mousemove", x, y, "click", *repeat, button)
        self._last_click = time.monotonic()

    def key(self, *keys):
        self.desktop.xdotool("key", "--clearmodifiers", *keys)

    def press_button(self, window, caption):
        """Clicks the push button with that caption (access-key marks ignored)."""
        button = window.find(lambda n: n.role == "push button"
                             and n.name.replace("&", "") == caption.replace("&", ""))
        if button is None:
            raise LookupError(f"no button {caption!r} in {window.name!r}")
        self.click(*button.center)

    # ------------------------------------------------------------ menus
    def menu_bar_item(self, title):
        return next(i for i in self._part("menu bar").children() if i.caption() == title)

    def _popup_entries(self, title, submenu=None):
        """The entries of the open menu (or of its open submenu), or [] while closed."""
        popups = [c for c in self.menu_bar_item(title).children()
                  if c.role == "popup menu" and c.showing]
        entries = popups[0].children() if popups else []
        if submenu is not None:
            entry = next((c for c in entries if c.name.strip() == submenu.strip()), None)
            kids = entry.children() if entry else []
            inner = [c for c in kids if c.role == "popup menu"]
            entries = inner[0].children() if inner else kids
            entries = entries if any(e.showing for e in entries) else []
        return entries

    def _walk_to(self, caption, title, submenu=None):
        """Presses Down until the entry is the open menu's current one."""
        wanted = caption.replace("&", "").strip()
        entries = wait_until(lambda: self._popup_entries(title, submenu), timeout=5,
                             message=f"the menu {submenu or title!r} to open")
        for _ in range(len(entries) * 2 + 2):
            if any(e.current and e.name.strip() == wanted
                   for e in self._popup_entries(title, submenu)):
                return
            self.key("Down")
        self.key("Escape", "Escape", "Escape")
        raise LookupError(f"could not reach {caption!r} in {submenu or title!r}")

    def choose_menu(self, title, caption, submenu=None):
        """Opens the menu with its access key, walks to the entry with the arrow keys
        (into the submenu with Right) and chooses it with Return, as a keyboard user does."""
        self.activate()
        self.key("alt+" + title[title.index("&") + 1].lower())
        if submenu is not None:
            self._walk_to(submenu, title)
            self.key("Right")
        self._walk_to(caption, title, submenu)
        self.key("Return")

    # ------------------------------------------------------------ lists
    def file_list(self):
        return [i.name for i in self.control("File1").children() if i.role == "list item"]

    def highlighted(self, name):
        return [i.name.strip() for i in self.control(name).children()
                if i.role == "list item" and i.selected]

    def click_list_entry(self, name, entry, double=False):
        """Clicks an entry of a list (matched without indentation), scrolling it into view."""
        self.activate()
        for _ in range(100):
            box = self.control(name)
            bx, by, bw, bh = box.extents
            item = next((i for i in box.children()
                         if i.role == "list item" and i.name.strip() == entry), None)
            if item is None:
                raise LookupError(f"{entry!r} is not in {name}")
            cx, cy = item.center
            if bx < cx < bx + bw - 1 and by < cy < by + bh - 1:
                return self.click(cx, cy, double=double)
            self.click(*box.center, button=4 if cy <= by else 5)
        raise AssertionError(f"could not scroll {entry!r} into view in {name}")

    def _filter_editor(self):
        return next(c for c in self.control("Combo1").children() if c.role == "text")

    def filter_text(self):
        return self._filter_editor().text()

    def drop_down_filter(self):
        x, y, w, h = self.control_screen_rect("Combo1")
        self.activate()
        self.click(x + w - 8, y + h // 2)
        wait_until(lambda: [i for c in self.control("Combo1").children() if c.role == "list"
                            for i in c.children() if i.showing],
                   timeout=5, message="the filter list to drop down")

    def type_filter(self, text):
        """Replaces the filter text by typing it, one keystroke at a time."""
        self.activate()
        self.click(*self._filter_editor().center)
        wait_until(lambda: self._filter_editor().current, timeout=5,
                   message="the filter box to take the focus")
        self.key("ctrl+a")
        self.desktop.xdotool("type", "--delay", 30, "--", text)

    # ------------------------------------------------------------ labels
    def info_labels(self):
        """The "File's Information" frame as {caption: value}, e.g. {"Size:": "1 KB"}."""
        frame = self.control("Frame1")
        labels = sorted((c for c in frame.children() if c.role == "label" and c.showing),
                        key=lambda n: (n.extents[1], n.extents[0]))
        # An empty label is published under the group box's title.
        texts = ["" if label.name == frame.name else label.name for label in labels]
        return dict(zip(texts[::2], texts[1::2]))

    def wait_picture(self, path, size_text):
        """Waits for the picture's caption and information, as a click shows them."""
        self.wait_caption(path)
        labels = wait_until(lambda: (lambda l: l if l["Pic's Size:"] else None)(
            self.info_labels()), message="the file's information")
        assert labels["Pic's Size:"] == size_text
        assert labels["Size:"] and labels["Date:"]

    # ------------------------------------------------------------ message boxes
    def _message_box_node(self):
        return next((c for c in self.accessible().children()
                     if c.role in ("alert", "dialog") and c.showing), None)

    def message_box(self):
        """(title, text, icon) of the message box on screen, or None."""
        box = self._message_box_node()
        if box is None:
            return None
        parts = box.children()
        texts = [p.name for p in parts if p.role == "label" and p.showing and p.name]
        icons = [p for p in parts if p.role in ("image", "icon") and p.showing]
        icon = _classify_icon(self.desktop.grab().crop(*icons[0].extents)) if icons else "none"
        return MessageBox(box.name, "\n".join(texts), icon)

    def wait_message_box(self, timeout=10):
        return wait_until(self.message_box, timeout, message=f"a message box from {self.name}")

    def answer(self, expected=None, button="OK"):
        """Checks the message box on screen, if expected, and closes it with the button."""
        if expected is not None:
            assert self.wait_message_box() == expected
        self.press_button(wait_until(self._message_box_node, message="a message box"), button)
        wait_until(lambda: not self.is_running() or self.message_box() is None,
                   message="the message box to close")

    # ------------------------------------------------------------ pixels
    def panel_pixel(self, x, y):
        """A pixel of the viewing panel, from the inner top-left of its border."""
        return self.desktop.grab().crop(*self.control_screen_rect("Picture5")).pixel(
            PANEL_BORDER + x, PANEL_BORDER + y)

    def full_screen_window(self):
        """The program's window that covers the whole screen, or None."""
        return next((w for w in self.desktop.windows_of(self.pid) if w != self.window
                     and self.desktop.window_geometry(w) == (0, 0, *SCREEN_SIZE)), None)

    def wait_full_screen(self, shown=True, timeout=10):
        return wait_until(lambda: (self.full_screen_window() is None) != shown, timeout,
                          message="the full-screen view to " + ("open" if shown else "close"))

    def settle(self, quiet=0.3, timeout=5):
        """Waits until the screen stops changing (for screenshots)."""
        last, since = None, time.monotonic()

        def still():
            nonlocal last, since
            now = self.desktop.grab().data
            if now != last:
                last, since = now, time.monotonic()
            return time.monotonic() - since >= quiet
        wait_until(still, timeout, interval=0.1, message="the screen to settle")
