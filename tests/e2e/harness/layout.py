"""The main window's fixed layout, as the form lays it out (twips, 15 per pixel).

Positions are relative to the client area below the menu bar; the harness uses
them to find controls on the screen and in the accessibility tree.
"""

TWIPS_PER_PIXEL = 15

# name: (left, top, width, height) in twips
_CONTROLS_TWIPS = {
    "Image4": (0, 0, 2415, 375),
    "Drive1": (0, 360, 2415, 315),
    "Dir1": (0, 720, 2415, 1890),
    "Combo1": (0, 2640, 2415, 315),
    "File1": (0, 3000, 2415, 2040),
    "Frame1": (0, 5040, 2415, 1095),
    "Picture5": (2400, 0, 6855, 5895),
    "HScroll1": (2400, 5880, 6855, 233),
    "VScroll1": (9240, 0, 233, 5895),
}

# The role each control has in the accessibility tree.
ROLES = {
    "Image4": "image",
    "Drive1": "combo box",
    "Dir1": "list",
    "Combo1": "combo box",
    "File1": "list",
    "Frame1": "panel",
    "Picture5": "frame",
    "HScroll1": "scroll bar",
    "VScroll1": "scroll bar",
}

CLIENT_SIZE = (632, 409)

# The "Please Select A File" picture: light-blue text on black, at the viewing
# panel's inner top-left, inside the panel's 2-pixel border.
PLACEHOLDER_SIZE = (179, 36)
PANEL_BORDER = 2


def to_pixels(twips):
    return round(twips / TWIPS_PER_PIXEL)


def control_rect(name):
    """(x, y, width, height) in pixels, relative to the client area."""
    return tuple(to_pixels(v) for v in _CONTROLS_TWIPS[name])


def control_names():
    return list(_CONTROLS_TWIPS)
