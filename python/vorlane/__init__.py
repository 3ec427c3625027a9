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
    process_file,
    set_pixel_threads,
)
from . import batch

__all__ = [
    "ArchiveError",
    "Cancelled",
    "Component",
    "Image",
    "Maps",
    "PixelType",
    "batch",
    "load",
    "process_file",
    "set_pixel_threads",
]
