"""Screenshots of an X display and what the end-to-end test reads from them.

A screenshot is taken with ImageMagick's `import` and read back as a binary PPM, so nothing beyond
ImageMagick and the Python standard library is needed. The device list is read as a person would
read it: rows are the bands of text below the column captions, and a cell is compared with the
same cell of another screenshot by how much of each pixel its text covers, which does not depend
on whether the row is selected or the list has the focus.
"""

import subprocess
from dataclasses import dataclass


@dataclass(frozen=True)
class Rect:
    x: int
    y: int
    width: int
    height: int

    @property
    def right(self):
        return self.x + self.width

    @property
    def bottom(self):
        return self.y + self.height


class Image:
    """An RGB picture; pixel (x, y) is the tuple (r, g, b)."""

    def __init__(self, width, height, data):
        if len(data) != width * height * 3:
            raise ValueError(f"{len(data)} bytes for a {width}x{height} picture")
        self.width = width
        self.height = height
        self.data = data

    def pixel(self, x, y):
        start = (y * self.width + x) * 3
        return tuple(self.data[start:start + 3])

    def region(self, rect):
        """The pixels of rect, row by row, as bytes."""
        rows = []
        for y in range(rect.y, rect.bottom):
            start = (y * self.width + rect.x) * 3
            rows.append(self.data[start:start + rect.width * 3])
        return b"".join(rows)

    def pixels(self, rect):
        for y in range(rect.y, rect.bottom):
            for x in range(rect.x, rect.right):
                yield x, y, self.pixel(x, y)


def parse_ppm(blob):
    """Reads a binary PPM (P6, maximum value 255) as written by ImageMagick."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while blob[pos:pos + 1].isspace():
            pos += 1
        if blob[pos:pos + 1] == b"#":
            pos = blob.index(b"\n", pos) + 1
            continue
        end = pos
        while not blob[end:end + 1].isspace():
            end += 1
        fields.append(blob[pos:end])
        pos = end
    magic, width, height, maximum = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if magic != b"P6" or maximum != 255:
        raise ValueError(f"not an 8-bit binary PPM: {magic!r} {maximum}")
    return Image(width, height, blob[pos + 1:pos + 1 + width * height * 3])


def take_screenshot(display, path):
    """Saves the whole screen of display as a PNG file at path and returns it as an Image."""
    subprocess.run(["import", "-display", display, "-window", "root", path], check=True, timeout=20)
    return load(path)


def load(path):
    blob = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, capture_output=True,
                          timeout=20).stdout
    return parse_ppm(blob)


def colour_distance(a, b):
    return abs(a[0] - b[0]) + abs(a[1] - b[1]) + abs(a[2] - b[2])


def dominant_colour(image, rect):
    counts = {}
    for _, _, colour in image.pixels(rect):
        counts[colour] = counts.get(colour, 0) + 1
    return max(counts.items(), key=lambda item: item[1])[0]


# A pixel belongs to text when it differs this much from the background of its line.
INK_DISTANCE = 150


def text_bands(image, strip):
    """The runs of lines (top, bottom exclusive) of strip that hold text, top to bottom."""
    bands = []
    top = None
    for y in range(strip.y, strip.bottom):
        line = Rect(strip.x, y, strip.width, 1)
        background = dominant_colour(image, line)
        inked = any(colour_distance(c, background) >= INK_DISTANCE for _, _, c in image.pixels(line))
        if inked and top is None:
            top = y
        elif not inked and top is not None:
            bands.append((top, y))
            top = None
    if top is not None:
        bands.append((top, strip.bottom))
    return bands


# The list marks the row of a device it cannot reach with a warning icon, mostly yellow, at the
# left of the address: this many pixels of the cell, and at least this many yellow pixels of it.
MARK_COLUMN = 2
MARK_WIDTH = 22
MARK_PIXELS = 10


def is_warning_yellow(colour):
    """Yellow as the warning icon has it, also when a selected row tints it: about (255, 255, 0)
    plain, (192, 220, 59) selected, (174, 209, 73) selected with the focus."""
    red, green, blue = colour
    return red > 150 and green > 150 and red - blue > 80


def changed_area(a, b):
    """The smallest rectangle that holds every pixel in which two screenshots differ, or None."""
    if (a.width, a.height) != (b.width, b.height):
        raise ValueError("screenshots of different sizes")
    rows = [y for y in range(a.height) if a.region(Rect(0, y, a.width, 1)) != b.region(Rect(0, y, b.width, 1))]
    if not rows:
        return None
    columns = [x for x in range(a.width)
               if a.region(Rect(x, rows[0], 1, rows[-1] - rows[0] + 1)) !=
               b.region(Rect(x, rows[0], 1, rows[-1] - rows[0] + 1))]
    return Rect(columns[0], rows[0], columns[-1] - columns[0] + 1, rows[-1] - rows[0] + 1)


@dataclass(frozen=True)
class ListLayout:
    """Where the device list is: its frame and the left edges and widths of the visible columns."""
    frame: Rect
    columns: tuple  # (left offset inside the frame, width) per visible column


class DeviceListView:
    """The device list as it appears in one screenshot."""

    # Text bands closer than this to the top of the list belong to the column captions.
    CAPTION_MARGIN = 18

    def __init__(self, image, layout):
        self.image = image
        self.layout = layout
        first = layout.columns[0]
        strip = Rect(layout.frame.x + first[0] + 2, layout.frame.y + 1, first[1] - 4, layout.frame.height - 2)
        bands = text_bands(image, strip)
        if not bands or bands[0][0] - layout.frame.y > self.CAPTION_MARGIN:
            raise AssertionError("the device list shows no column captions")
        self.caption = bands[0]
        self.rows = bands[1:]

    def row_centre(self, index):
        top, bottom = self.rows[index]
        first = self.layout.columns[0]
        return self.layout.frame.x + first[0] + first[1] // 2, (top + bottom) // 2

    def cell(self, row, column):
        """The rectangle of a cell's text: the text band of the row, one line more each way, right of
        the mark where the cell has one."""
        top, bottom = self.rows[row]
        left, width = self.layout.columns[column]
        if column == MARK_COLUMN and self.marked(row):
            left, width = left + MARK_WIDTH, width - MARK_WIDTH
        return Rect(self.layout.frame.x + left + 2, top - 1, width - 4, bottom - top + 2)

    def marked(self, row):
        """True when the row shows the warning mark."""
        top, bottom = self.rows[row]
        area = Rect(self.layout.frame.x + self.layout.columns[MARK_COLUMN][0], top, MARK_WIDTH, bottom - top)
        return sum(1 for _, _, colour in self.image.pixels(area) if is_warning_yellow(colour)) >= MARK_PIXELS

    def row_background(self, row):
        return dominant_colour(self.image, self.cell(row, 0))

    def text(self, row, column):
        """The text of a cell as coverage: per pixel, 0 for its background up to 1 for its text
        colour. Text is drawn as a blend of the two, so the same text gives the same coverage
        whether the row is selected, focused or neither."""
        rect = self.cell(row, column)
        background = dominant_colour(self.image, rect)
        distances = [colour_distance(c, background) for _, _, c in self.image.pixels(rect)]
        strongest = max(distances)
        return CellText(rect.width, [d / strongest if strongest else 0.0 for d in distances])


@dataclass(frozen=True)
class CellText:
    width: int
    coverage: list


# Two renderings of one text differ by a few hundredths; different texts differ by about 1 in
# tens of pixels.
SAME_TEXT_TOLERANCE = 0.25


def same_text(a, b):
    if a.width != b.width or len(a.coverage) != len(b.coverage):
        return False
    return all(abs(x - y) <= SAME_TEXT_TOLERANCE for x, y in zip(a.coverage, b.coverage))
