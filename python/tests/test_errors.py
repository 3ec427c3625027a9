"""Exceptions of files, archives and operations, and no growth of memory."""

import gc

import numpy as np
import pytest

import vorlane
from conftest import grey_page


def rss_kib():
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


@pytest.mark.parametrize("name, content, error", [
    ("missing.tif", None, FileNotFoundError),
    ("missing.vlx", None, FileNotFoundError),
    ("text.tif", b"not a tiff", ValueError),
    ("notes.txt", b"hello", ValueError),
    ("broken.vlx", b"\x01\x02\x03", vorlane.ArchiveError),
])
def test_load_errors(tmp_path, name, content, error):
    path = tmp_path / name
    if content is not None:
        path.write_bytes(content)
    with pytest.raises(error):
        vorlane.load(str(path))


@pytest.mark.parametrize("call, error", [
    (lambda i: i.save_archive("/no/such/folder/x.vlx"), OSError),
    (lambda i: i.save_tiff("/no/such/folder/x.tif"), ValueError),
    (lambda i: i.cc_analysis(), ValueError),  # greyscale has no component analysis
    (lambda i: i.resample(-1, 5), ValueError),
    (lambda i: i.crop(0, 0, 500, 5), ValueError),
    (lambda i: i.threshold(5, destination=vorlane.Image("colour", 20, 10)), ValueError),
    (lambda i: i.rank_order_filter("mode"), ValueError),
    (lambda i: i.apply_filter(np.ones((2, 2), int)), ValueError),
    (lambda i: i.maps.types("Nothing"), KeyError),
])
def test_operation_errors(call, error):
    with pytest.raises(error):
        call(vorlane.Image.from_numpy(grey_page(20, 10)))


def test_unpickling_damaged_bytes_raises_archive_error():
    state = vorlane.Image.from_numpy(grey_page(20, 10)).__getstate__()
    image = vorlane.Image.__new__(vorlane.Image)
    with pytest.raises(vorlane.ArchiveError):
        image.__setstate__(state[: len(state) // 2])


def test_ten_thousand_images_leave_no_memory_behind():
    page = grey_page(64, 48)

    def churn(n):
        for _ in range(n):
            image = vorlane.Image.from_numpy(page)
            image.pixels[0, 0] = 1
            image.maps["Standard"][0, 0] = 1
            del image
        gc.collect()

    churn(1000)  # warm up the allocator
    before = rss_kib()
    churn(10_000)
    assert rss_kib() - before < 4096  # 10,000 leaked images would be ~60 MiB
