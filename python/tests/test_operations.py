"""Operations on small images against numpy references of what they must give."""

import math

import numpy as np
import pytest

import vorlane
from conftest import BLOCKS, block_mask, grey_page


def clipped_window(a, size, reduce, pad):
    """reduce over size x size windows clipped to the picture (pad: the neutral value)."""
    r = size // 2
    p = np.pad(a, r, constant_values=pad)
    stack = [p[dy:dy + a.shape[0], dx:dx + a.shape[1]] for dy in range(size) for dx in range(size)]
    return reduce(np.stack(stack), axis=0)


@pytest.mark.parametrize("value", [0, 30, 128, 239, 255])
def test_global_threshold(page, value):
    out = vorlane.Image.from_numpy(page).threshold(value)
    assert out.format == "bilevel"
    np.testing.assert_array_equal(out.pixels, (page > value).astype(np.uint8))


def test_threshold_into_destination_and_in_place(page):
    image = vorlane.Image.from_numpy(page)
    dest = vorlane.Image("greyscale", page.shape[1], page.shape[0])
    assert image.threshold(128, destination=dest) is dest
    np.testing.assert_array_equal(dest.pixels, np.where(page > 128, 255, 0))
    assert image.threshold(128, in_place=True) is image
    np.testing.assert_array_equal(image.pixels, np.where(page > 128, 255, 0))
    with pytest.raises(ValueError):
        image.threshold(1, destination=vorlane.Image("bilevel", 3, 3))


@pytest.mark.parametrize("method", ["threshold_niblack", "threshold_weszka_rosenfeld"])
def test_local_and_automatic_thresholds_find_the_blocks(page, method):
    image = vorlane.Image.from_numpy(page)
    out = image.threshold_niblack(15) if method == "threshold_niblack" else getattr(image, method)()
    black = out.pixels == 0
    mask = block_mask()
    assert black[mask].mean() > 0.9 and black[~mask].mean() < 0.1


@pytest.mark.parametrize("fmt, operation, reference", [
    ("colour", lambda i: i.negative(), lambda a: 255 - a),
    ("bilevel", lambda i: i.negative(), lambda a: 1 - a),
    ("greyscale", lambda i: i.crop(7, 5, 20, 11), lambda a: a[5:16, 7:27]),
    ("bilevel", lambda i: i.rank_order_filter("minimum", 3),
     lambda a: clipped_window(a, 3, np.min, 1)),
    ("bilevel", lambda i: i.rank_order_filter("maximum", 5),
     lambda a: clipped_window(a, 5, np.max, 0)),
    ("greyscale", lambda i: i.apply_filter(np.ones((1, 1), int)), lambda a: a),
    ("greyscale", lambda i: i.histogram_transformation(np.arange(256)[::-1]), lambda a: 255 - a),
])
def test_pixel_operations(fmt, operation, reference):
    a = grey_page(45, 33)
    if fmt == "bilevel":
        a = (a > 100).astype(np.uint8)
    elif fmt == "colour":
        a = np.dstack([a, a // 2, 255 - a])
    image = vorlane.Image.from_numpy(a, bilevel=fmt == "bilevel")
    operation(image)
    np.testing.assert_array_equal(image.pixels, reference(a))


def test_conversions_round_trip(page):
    grey = vorlane.Image.from_numpy(page)
    colour = grey.convert("colour")
    np.testing.assert_array_equal(colour.pixels, np.dstack([page] * 3))
    back = colour.convert("greyscale").pixels.astype(int)
    assert np.abs(back - page).max() <= 1  # luminance weights round
    assert grey.copy().pixels.tolist() == page.tolist()
    assert "Standard" in colour.maps  # maps travel with the conversion


@pytest.mark.parametrize("operation, check", [
    (lambda i: i.resample(80, 50), lambda i: (i.width, i.height) == (80, 50)),
    (lambda i: i.rotate(0.2), lambda i: i.width > 160 and i.height > 120),
    (lambda i: i.rotate(0.2, keep_size=True), lambda i: (i.width, i.height) == (160, 120)),
    (lambda i: i.tilt(0.2, 1), lambda i: i.width > 160 and i.height == 120),
    (lambda i: i.crop(10, 20, 30, 40), lambda i: (i.width, i.height) == (30, 40)),
])
def test_geometry_brings_the_maps_along(page, operation, check):
    image = vorlane.Image.from_numpy(page)
    image.maps.add("Notes")
    operation(image)
    assert check(image)
    for name in image.maps.names():
        assert image.maps[name].shape == image.pixels.shape


def test_rotation_by_a_right_angle_turns_the_picture():
    a = grey_page(30, 20)
    image = vorlane.Image.from_numpy(a)
    image.rotate(math.pi / 2)
    turned = image.pixels
    assert turned.shape == (30, 20)
    # Clockwise; sampling at the exact angle moves some rows by one.
    assert (turned == np.rot90(a, -1)).mean() > 0.7 > (turned == np.rot90(a, 1)).mean()


def test_components_match_the_blocks(page):
    bilevel = vorlane.Image.from_numpy(page).threshold(128)
    components = bilevel.cc_analysis()
    assert sorted(c.size for c in components) == sorted(w * h for _, _, w, h in BLOCKS)
    covered = np.zeros(page.shape, bool)
    for c in components:
        for y, xl, xr in c.runs:
            covered[y, xl:xr + 1] = True
    np.testing.assert_array_equal(covered, block_mask())
    boxes = {tuple(c.bounding_box) for c in bilevel.components}
    assert boxes == {tuple(b) for b in bilevel.bb_analysis()}
    centres = sorted(c.centre for c in components)
    expected = sorted((x + (w - 1) / 2, y + (h - 1) / 2) for x, y, w, h in BLOCKS)
    np.testing.assert_allclose(centres, expected, atol=1e-4)
    assert bilevel.combine_components(0, 1) == 0 and len(bilevel.components) == 2


def test_colour_components():
    a = np.zeros((20, 30, 3), np.uint8)
    a[:, :15] = (200, 30, 30)
    a[:, 15:] = (30, 30, 200)
    image = vorlane.Image.from_numpy(a)
    for components in (image.colour_cc(), image.ex_colour_cc(20.0)):
        assert sorted(c.size for c in components) == [300, 300]


def test_display_bitmap_shows_the_grey_page(page):
    image = vorlane.Image.from_numpy(page)
    shown = image.display_bitmap()
    assert shown.shape == page.shape + (3,)
    np.testing.assert_array_equal(shown[..., 0], page)
    assert image.thumbnail().ndim == 3


def test_histograms_and_profiles(page):
    image = vorlane.Image.from_numpy(page)
    hist = image.histograms()["luminance"]
    np.testing.assert_array_equal(hist, np.bincount(page.ravel(), minlength=256))
    colour = vorlane.Image.from_numpy(np.dstack([page, page // 2, 255 - page]))
    hists = colour.histograms(["red", "blue"], rect=(0, 0, 50, 40))
    np.testing.assert_array_equal(hists["blue"], np.bincount((255 - page[:40, :50]).ravel(),
                                                             minlength=256))
    rows, columns = image.projection(0, 0, page.shape[1], page.shape[0], 0x01)
    dark = 255 - page.astype(int)
    np.testing.assert_array_equal(rows, dark.sum(axis=1))
    np.testing.assert_array_equal(columns, dark.sum(axis=0))


def test_overlay_tints_the_listed_components(page):
    bilevel = vorlane.Image.from_numpy(page).threshold(128)
    bilevel.cc_analysis()
    plain, tinted = bilevel.display_bitmap(), bilevel.display_bitmap(overlay=[0])
    changed = np.any(plain != tinted, axis=2)
    y, xl, xr = bilevel.components[0].runs[0]
    assert changed[y, xl] and changed.sum() == bilevel.components[0].size


def lined_page(angle_deg, width=800, height=1000):
    """White page with rows of word-like dashes rising to the right by angle_deg."""
    page = np.full((height, width), 255, np.uint8)
    ys, xs = np.mgrid[0:height, 0:width]
    # Distance along the turned text lines: a line of ink 3 px thick every 24 px, broken into
    # words by gaps along the line.
    t = np.tan(np.radians(angle_deg))
    across = (ys + xs * t) % 24
    along = (xs - ys * t) % 60
    page[(across < 3) & (along < 45) & (xs > 40) & (xs < width - 40)] = 0
    return page


@pytest.mark.parametrize("angle", [-4.3, 0.0, 1.7])
def test_estimate_skew_finds_the_angle_of_lines(angle):
    image = vorlane.Image.from_numpy(lined_page(angle))
    found, confidence, trusted = image.estimate_skew()
    assert trusted and confidence > 0.5
    assert abs(found - angle) <= 0.05


def test_estimate_skew_does_not_trust_a_blank_page():
    image = vorlane.Image.from_numpy(np.full((400, 300), 250, np.uint8))
    assert image.estimate_skew() == (0.0, pytest.approx(0.0, abs=0.5), False)
