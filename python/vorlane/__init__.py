"""Image classes for the analysis of scanned documents, with numpy views of the pixels.

    >>> import numpy as np, vorlane
    >>> page = vorlane.Image.from_numpy(np.full((40, 60), 200, np.uint8))
    >>> bilevel = page.threshold_niblack(7)
    >>> bilevel.pixels.shape
    (40, 60)
"""

from ._vorlane import (
    ArchiveError,
    Cancelled,
    Component,
    Image,
    Maps,
    PixelType,
    load,
    page_count,
    process_file,
    set_pixel_threads,
    write_report,
)
from . import batch


def pages(path):
    """The pages of a page file, one image at a time: each is loaded when the iterator
    reaches it, so a file of many pages never has more than one in memory here."""
    for index in range(page_count(path)):
        yield load(path, index)


__all__ = [
    "ArchiveError",
    "Cancelled",
    "Component",
    "Image",
    "Maps",
    "PixelType",
    "batch",
    "load",
    "page_count",
    "pages",
    "process_file",
    "set_pixel_threads",
    "write_report",
]
