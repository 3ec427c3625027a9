"""Shared pages for the Python tests: grey pages with dark blocks at known places."""

import numpy as np
import pytest

BLOCKS = [(10, 12, 30, 20), (50, 8, 20, 40), (90, 70, 45, 25)]  # x, y, width, height


def grey_page(width=160, height=120, blocks=BLOCKS, seed=0):
    """A light page (values 200..239) with dark blocks (20..39); deterministic."""
    rng = np.random.default_rng(seed)
    page = rng.integers(200, 240, size=(height, width), dtype=np.uint8)
    for x, y, w, h in blocks:
        block = page[y:y + h, x:x + w]
        block[:] = rng.integers(20, 40, size=block.shape, dtype=np.uint8)
    return page


def block_mask(width=160, height=120, blocks=BLOCKS):
    mask = np.zeros((height, width), bool)
    for x, y, w, h in blocks:
        mask[y:y + h, x:x + w] = True
    return mask


@pytest.fixture
def page():
    return grey_page()
