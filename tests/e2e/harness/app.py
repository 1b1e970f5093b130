"""A running quorvel driven through XTEST, read through X, the accessibility tree and pixels."""

import subprocess
import time
from collections import namedtuple

from . import a11y
from .desktop import SCREEN_SIZE
from .processes import end_process, spawn, wait_until

# Each control's (left, top, width, height) in twips below the menu bar, and its role.
CONTROLS = {
    "Combo1": ((0, 2640, 2415, 315), "combo box"), "File1": ((0, 3000, 2415, 2040), "list"),
    "Frame1": ((0, 5040, 2415, 1095), "panel"), "Picture5": ((2400, 0, 6855, 5895), "frame"),
}
# Critical is drawn red, warning yellow, information and question (a small mark) blue.
ICONS = {"information or question": (50, lambda p: p[2] > 140 and p[0] < 120),
         "critical": (10, lambda p: p[0] > 150 and p[1] < 110 and p[2] < 110),
         "warning": (10, lambda p: p[0] > 170 and p[1] > 140 and p[2] < 110)}
MessageBox = namedtuple("MessageBox", "title text icon")  # icon: an ICONS key, or "none"


def icon_kind(image):
    counts = {kind: image.count(test) for kind, (_, test) in ICONS.items()}
    kind = max(counts, key=counts.get)
    enough = counts[kind] and counts[kind] >= image.width * image.height // ICONS[kind][0]
    return kind if enough else "none"


class Quorvel:
    def __init__(self, session, cwd, name, args=()):
        self.desktop, self.name, self.window, self._last_click = session.desktop, name, None, 0.0
        self.log_path = session.logs / f"{name}.log"
        self.process = spawn([str(session.binary), *map(str, args)], session.environment(),
                             self.log_path, cwd)
        self.pid = self.process.pid

    def is_running(self):
        return self.process.poll() is None

    def stop(self):
        if self.is_running():
            end_process(self.pid)
        self.process.poll()

    def output(self):
        return self.log_path.read_text(errors="replace")

    def accessible(self):
        return a11y.application(self.pid)

    def main_frame(self):
        return next((c for c in self.accessible().children() if c.role == "frame"
                     and any(k.role == "menu bar" for k in c.children())), None)

    def _part(self, role):
        return next(c for c in self.main_frame().children() if c.role == role)

    def main_window(self):  # matched by extents: a message box may carry its caption
        try:
            frame = self.main_frame()
            if frame and frame.showing:
                return next((w for w in self.desktop.windows_of(self.pid)
                             if self.desktop.window_geometry(w) == frame.extents), None)
        except (LookupError, subprocess.CalledProcessError):  # gone, or a window just closed
            return None

    def wait_for_window(self, timeout=20):
        def ready():
            assert self.is_running(), f"exited with {self.process.returncode}:\n{self.output()}"
            return self.main_window()
        self.window = wait_until(ready, timeout, message=f"the main window of {self.name}")
        self.activate()
        return self

    def activate(self):
        self.desktop.focus(self.window)

    def caption(self):  # _NET_WM_NAME, as the window manager shows it
        return self.desktop.xdotool("getwindowname", self.window)

    def wait_caption(self, text):
        wait_until(lambda: self.caption() == "Quorvel    -- " + str(text),
                   message=f"the caption to name {text}")

    def window_titled(self, title):
        return next((n for n in self.accessible().children()
                     if n.name == title and n.showing), None)

    def wait_window(self, title):
        return wait_until(lambda: self.window_titled(title), message=f"the window {title!r}")

    def control_rect(self, name):
        cx, cy = self._part("filler").extents[:2]
        x, y, w, h = (round(v / 15) for v in CONTROLS[name][0])
        return cx + x, cy + y, w, h

    def control(self, name):
        x, y, _, _ = self.control_rect(name)
        return next(c for c in self._part("filler").children() if c.role == CONTROLS[name][1]
                    and c.showing and abs(c.extents[0] - x) <= 1 and abs(c.extents[1] - y) <= 1)

    def tray_icon(self):
        for window in self.desktop.windows_of(self.pid):
            x, y, width, height = self.desktop.window_geometry(window)
            if width <= 48 and height <= 48 and y >= SCREEN_SIZE[1] - 48:
                return x + width // 2, y + height // 2

    def wait_tray_icon(self, present=True):
        return wait_until(lambda: self.tray_icon() if present else self.tray_icon() is None,
                          message=f"the tray icon, {present}")

    def hide_to_tray(self):
        self.choose_menu("&File", "Minimize to SysTray...")
        wait_until(lambda: not self.main_window(), message="the window to hide")

    def click(self, x, y, button=1, double=False):
        # Apart by more than Qt's double-click interval (400 ms), so as not to pair by chance.
        time.sleep(max(0.0, self._last_click + 0.6 - time.monotonic()))
        repeat = ["--repeat", 2, "--delay", 60] if double else []
        self.desktop.xdotool("mousemove", x, y, "click", *repeat, button)
        self._last_click = time.monotonic()

    def key(self, *keys):
        self.desktop.xdotool("key", "--clearmodifiers", *keys)

    def menu_bar_item(self, title):
        return next(i for i in self._part("menu bar").children()
                    if i.name == title.replace("&", ""))

    def _entries(self, title, submenu=None):
        entries = [e for p in self.menu_bar_item(title).children()
                   if p.role == "popup menu" and p.showing for e in p.children()]
        if submenu is not None:
            kids = [k for e in entries if e.name.strip() == submenu.strip() for k in e.children()]
            kids = [e for k in kids if k.role == "popup menu" for e in k.children()] or kids
            entries = kids if any(e.showing for e in kids) else []
        return entries

    def _walk_to(self, caption, title, submenu=None):
        wanted = caption.replace("&", "").strip()
        entries = wait_until(lambda: self._entries(title, submenu), timeout=5,
                             message=f"the menu {submenu or title!r} to open")
        for _ in range(len(entries) * 2 + 2):
            if any(e.current and e.name.strip() == wanted for e in self._entries(title, submenu)):
                return
            self.key("Down")
        self.key("Escape", "Escape", "Escape")
        raise LookupError(f"could not reach {caption!r} in {submenu or title!r}")

    def choose_menu(self, title, caption, submenu=None):
        self.activate()
        self.key("alt+" + title[title.index("&") + 1].lower())
        if submenu is not None:
            self._walk_to(submenu, title)
            self.key("Right")
        self._walk_to(caption, title, submenu)
        self.key("Return")

    def file_list(self, selected=False):
        return [i.name.strip() for i in self.control("File1").children()
                if i.role == "list item" and ("selected" in i.states or not selected)]

    def click_list_entry(self, entry, double=False):
        self.activate()
        for _ in range(100):
            box = self.control("File1")
            bx, by, bw, bh = box.extents
            cx, cy = next(i for i in box.children() if i.role == "list item"
                          and i.name.strip() == entry).center
            if bx < cx < bx + bw - 1 and by < cy < by + bh - 1:
                return self.click(cx, cy, double=double)
            self.click(*box.center, button=4 if cy <= by else 5)
        raise AssertionError(f"could not scroll {entry!r} into view")

    def filter_box(self):
        return next(c for c in self.control("Combo1").children() if c.role == "text")

    def drop_down_filter(self):
        x, y, w, h = self.control_rect("Combo1")
        self.activate()
        self.click(x + w - 8, y + h // 2)
        wait_until(lambda: any(i.showing for c in self.control("Combo1").children()
                               if c.role == "list" for i in c.children()), 5, message="the list")

    def type_filter(self, text):
        self.activate()
        self.click(*self.filter_box().center)
        wait_until(lambda: self.filter_box().current, 5, message="the filter box to take focus")
        self.key("ctrl+a")
        self.desktop.xdotool("type", "--delay", 30, "--", text)

    def info_labels(self):
        frame = self.control("Frame1")
        labels = sorted((c for c in frame.children() if c.role == "label" and c.showing),
                        key=lambda n: (n.extents[1], n.extents[0]))
        # An empty label is published under the group box's title.
        texts = ["" if label.name == frame.name else label.name for label in labels]
        return dict(zip(texts[::2], texts[1::2]))

    def wait_picture(self, path, size_text):
        self.wait_caption(path)
        labels = wait_until(lambda: (shown := self.info_labels())["Pic's Size:"] and shown,
                            message="the file's information")
        assert labels["Pic's Size:"] == size_text and labels["Size:"] and labels["Date:"]

    def message_box(self, node=False):
        box = next((c for c in self.accessible().children()
                    if c.role in ("alert", "dialog") and c.showing), None)
        if box is None or node:
            return box
        parts = box.children()
        texts = [p.name for p in parts if p.role == "label" and p.showing and p.name]
        icons = [p for p in parts if p.role in ("image", "icon") and p.showing]
        icon = icon_kind(self.desktop.grab().crop(*icons[0].extents)) if icons else "none"
        return MessageBox(box.name, "\n".join(texts), icon)

    def wait_message_box(self, timeout=10):
        return wait_until(self.message_box, timeout, message=f"a message box from {self.name}")

    def answer(self, expected=None, button="OK"):
        if expected is not None:
            assert self.wait_message_box() == expected
        box = wait_until(lambda: self.message_box(node=True))
        self.click(*box.find(lambda n: n.role == "push button" and n.name == button).center)
        wait_until(lambda: self.message_box(node=True) is None, message="the box to close")

    def panel_pixel(self, x, y):
        return self.desktop.grab().crop(*self.control_rect("Picture5")).pixel(x + 2, y + 2)

    def wait_full_screen(self, shown=True, timeout=10):
        covers = lambda: any(w != self.window and self.desktop.window_geometry(  # noqa: E731
            w) == (0, 0, *SCREEN_SIZE) for w in self.desktop.windows_of(self.pid))
        wait_until(lambda: covers() == shown, timeout,
                   message="the full-screen view to " + ("open" if shown else "close"))
