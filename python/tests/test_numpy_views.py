"""Pixels and maps as numpy views of the image's own buffers."""

import gc

import numpy as np
import pytest

import vorlane
from conftest import grey_page


def colour_page():
    g = grey_page(40, 30)
    return np.dstack([g, 255 - g, g // 2])


@pytest.mark.parametrize("array, bilevel, fmt", [
    (grey_page(37, 21), False, "greyscale"),  # odd width: rows are padded
    ((grey_page(37, 21) > 100).astype(np.uint8), True, "bilevel"),
    (colour_page(), False, "colour"),
])
def test_round_trip_and_view_is_top_down(array, bilevel, fmt):
    image = vorlane.Image.from_numpy(array, bilevel=bilevel)
    assert image.format == fmt
    assert (image.width, image.height) == (array.shape[1], array.shape[0])
    np.testing.assert_array_equal(image.pixels, array)
    assert image.pixels.strides[0] < 0  # rows stored bottom-up, exposed top-down


def test_writing_through_the_view_changes_the_image():
    image = vorlane.Image.from_numpy(colour_page())
    image.pixels[2, 3] = (1, 2, 3)
    assert image.raw_pixels[2, 3, :3].tolist() == [3, 2, 1]  # stored blue, green, red
    grey = vorlane.Image.from_numpy(grey_page(20, 10))
    grey.pixels[:] = 77
    assert grey.threshold(76).pixels.min() == 1  # the library sees the new values


def test_view_keeps_the_image_alive():
    array = grey_page(20, 10)
    view = vorlane.Image.from_numpy(array).pixels
    gc.collect()
    others = [vorlane.Image.from_numpy(255 - array) for _ in range(50)]  # reuse freed memory
    np.testing.assert_array_equal(view, array)
    assert len(others) == 50


def test_map_view_and_pixel_types(page):
    image = vorlane.Image.from_numpy(page)
    image.threshold_niblack(7)  # labels the background in the "Standard" map
    standard = image.maps["Standard"]
    assert standard.shape == page.shape
    types = {t.name: t for t in image.maps.types("Standard")}
    background = types["Background"].label
    assert (standard == background).mean() > 0.5
    standard[:] = 0
    assert image.maps["Standard"].max() == 0
    with pytest.raises(KeyError):
        image.maps["no such map"]


@pytest.mark.parametrize("operation", [
    lambda i: i.rotate(0.1), lambda i: i.tilt(0.1), lambda i: i.crop(0, 0, 5, 5),
    lambda i: i.resample(10, 10),
])
def test_buffer_replacing_calls_refuse_while_views_live(operation):
    image = vorlane.Image.from_numpy(grey_page(20, 10))
    view = image.pixels
    with pytest.raises(BufferError):
        operation(image)
    del view
    operation(image)  # allowed once the view is gone


@pytest.mark.parametrize("fmt, operation", [
    ("greyscale", lambda i: i.threshold(100, in_place=True)),
    ("greyscale", lambda i: i.threshold_niblack(3, in_place=True)),
    ("greyscale", lambda i: i.apply_filter(np.ones((3, 3), int))),
    ("greyscale", lambda i: i.histogram_equalization()),
    ("greyscale", lambda i: i.negative()),
    ("bilevel", lambda i: i.rank_order_filter("median", 3)),
    ("bilevel", lambda i: i.salt_pepper_removal(3)),
    ("colour", lambda i: i.edge_detector(4)),
    ("colour", lambda i: i.edge_preserving_smoothing()),
    ("colour", lambda i: i.rank_order_filter("maximum", 5)),
    ("colour", lambda i: i.clear_similar(10, 10, 10, 30)),
    ("colour", lambda i: i.colour_reduction()),
])
def test_in_place_operations_keep_the_buffer(fmt, operation):
    source = {"greyscale": grey_page(30, 20), "bilevel": (grey_page(30, 20) > 100).astype(np.uint8),
              "colour": np.dstack([grey_page(30, 20)] * 3)}[fmt]
    image = vorlane.Image.from_numpy(source, bilevel=fmt == "bilevel")
    view = image.raw_pixels
    before = view.__array_interface__["data"][0]
    operation(image)
    assert image.raw_pixels.__array_interface__["data"][0] == before


@pytest.mark.parametrize("array, kwargs, error", [
    (np.zeros((4, 4), np.float32), {}, TypeError),
    (np.zeros((4, 4, 2), np.uint8), {}, ValueError),
    (np.full((4, 4), 2, np.uint8), {"bilevel": True}, ValueError),
    (np.zeros((0, 4), np.uint8), {}, ValueError),
])
def test_from_numpy_rejects(array, kwargs, error):
    with pytest.raises(error):
        vorlane.Image.from_numpy(array, **kwargs)
