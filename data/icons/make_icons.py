#!/usr/bin/env python3
"""Draws the desktop icons: the program's icon and the icon of its archive type.

The program's icon is the window icon of src/app/pictures/make_pictures.py, drawn by the same
functions on a 32-unit grid, written as PNG files at the sizes a desktop asks for and as SVG.
The same drawings are also written at the sizes Windows shows, into ../windows/icons/.
Run it from this folder after changing a drawing; the files it writes are kept in the
repository. Only the standard library is used.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "app", "pictures"))
import make_pictures as pictures  # noqa: E402

GRID = 32
SIZES = (16, 32, 48, 64, 128)
# The sizes Windows shows, from the smallest list view to the largest tiles; the build packs them
# into one .ico file each for the executable, the installer and the archive type.
WINDOWS_SIZES = (16, 24, 32, 48, 64, 128, 256)
APP_ICON = "org.morvane.Morvane"
TYPE_ICON = "application-x-morvane-pod"


class ScaledCanvas(pictures.Canvas):
    """A canvas of any size that takes its drawing on the 32-unit grid."""

    def __init__(self, size):
        super().__init__(size, size)
        self.factor = size / GRID

    def polygon(self, points, colour):
        super().polygon([(x * self.factor, y * self.factor) for x, y in points], colour)


class SvgCanvas:
    """Records the same drawing calls as polygons of an SVG image on the 32-unit grid."""

    def __init__(self):
        self.shapes = []

    def polygon(self, points, colour):
        coordinates = " ".join(f"{x:g},{y:g}" for x, y in points)
        self.shapes.append(f'  <polygon points="{coordinates}" fill="#{colour[0]:02x}{colour[1]:02x}{colour[2]:02x}"/>')

    rect = pictures.Canvas.rect
    frame = pictures.Canvas.frame
    line = pictures.Canvas.line

    def write_svg(self, path):
        with open(path, "w", encoding="utf-8") as out:
            out.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{GRID}" height="{GRID}" '
                      f'viewBox="0 0 {GRID} {GRID}">\n')
            out.write("\n".join(self.shapes) + "\n</svg>\n")


def program_icon(c):
    # The window icon's drawing: a crate with a list on top of it.
    pictures.crate(c, 4, 11, 24, 18)
    c.frame(9, 2, 14, 12, pictures.WHITE, pictures.BLUE, 1.5)
    c.line(11.5, 6, 20.5, 6, pictures.BLUE, 1.2)
    c.line(11.5, 9.5, 18.5, 9.5, pictures.BLUE, 1.2)


def archive_icon(c):
    # A document page holding the program's crate: a file packed by Morvane.
    c.polygon([(5, 1), (21, 1), (28, 8), (28, 31), (5, 31)], pictures.INK)
    c.polygon([(6, 2), (20.6, 2), (27, 8.4), (27, 30), (6, 30)], pictures.WHITE)
    c.polygon([(21, 1), (21, 8), (28, 8)], pictures.LIGHT_BLUE)
    c.line(9, 6, 18, 6, pictures.BLUE, 1.2)
    c.line(9, 9.5, 16, 9.5, pictures.BLUE, 1.2)
    pictures.crate(c, 9, 17, 15, 11)


def write(kind, name, draw):
    for size in SIZES:
        folder = os.path.join("hicolor", f"{size}x{size}", kind)
        os.makedirs(folder, exist_ok=True)
        canvas = ScaledCanvas(size)
        draw(canvas)
        canvas.write_png(os.path.join(folder, name + ".png"))
    folder = os.path.join("hicolor", "scalable", kind)
    os.makedirs(folder, exist_ok=True)
    svg = SvgCanvas()
    draw(svg)
    svg.write_svg(os.path.join(folder, name + ".svg"))


def write_windows(name, draw):
    folder = os.path.join("..", "windows", "icons")
    os.makedirs(folder, exist_ok=True)
    for size in WINDOWS_SIZES:
        canvas = ScaledCanvas(size)
        draw(canvas)
        canvas.write_png(os.path.join(folder, f"{name}-{size}.png"))


if __name__ == "__main__":
    write("apps", APP_ICON, program_icon)
    write("mimetypes", TYPE_ICON, archive_icon)
    write_windows("Morvane", program_icon)
    write_windows("Archive", archive_icon)
