"""Images travel through pickle with their pixels, maps and components."""

import pickle

import numpy as np
import pytest

import vorlane
from conftest import grey_page


def bilevel_with_components():
    grey = vorlane.Image.from_numpy(grey_page())
    grey.name = "page one"
    bilevel = grey.threshold_niblack(15)
    bilevel.maps.add("Notes")
    bilevel.maps["Notes"][3:6, 4:9] = 7
    bilevel.cc_analysis()
    return bilevel


@pytest.mark.parametrize("make", [
    bilevel_with_components,
    lambda: vorlane.Image.from_numpy(grey_page(31, 17)),
    lambda: vorlane.Image.from_numpy(np.dstack([grey_page(9, 5)] * 3)),
])
def test_pickle_round_trip(make, tmp_path):
    image = make()
    copy = pickle.loads(pickle.dumps(image))
    assert (copy.format, copy.name, copy.dpi) == (image.format, image.name, image.dpi)
    np.testing.assert_array_equal(copy.pixels, image.pixels)
    assert copy.maps.names() == image.maps.names()
    for name in image.maps.names():
        np.testing.assert_array_equal(copy.maps[name], image.maps[name])
    assert [c.runs.tolist() for c in copy.components] == [c.runs.tolist() for c in image.components]
    # The archive file holds the same.
    image.save_archive(str(tmp_path / "page.vlx"))
    loaded = vorlane.load(str(tmp_path / "page.vlx"))
    assert loaded.__getstate__() == image.__getstate__()
