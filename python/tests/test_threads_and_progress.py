"""Long calls release the GIL; the progress callable sees steps and can cancel."""

import threading
import time

import numpy as np
import pytest

import vorlane
from conftest import grey_page


def big_page():
    return np.tile(grey_page(), (12, 12))  # 1920 x 1440


def test_another_thread_runs_during_a_long_threshold():
    image = vorlane.Image.from_numpy(big_page())
    stamps, stop = [], threading.Event()

    def tick():
        while not stop.is_set():
            stamps.append(time.perf_counter())
            time.sleep(0.0005)

    thread = threading.Thread(target=tick)
    thread.start()
    time.sleep(0.01)
    start = time.perf_counter()
    for _ in range(3):
        image.threshold_niblack(25)
    end = time.perf_counter()
    stop.set()
    thread.join()
    quarter = (end - start) / 4
    assert any(start + quarter < t < end - quarter for t in stamps)


def blur(image):
    image.apply_filter(np.ones((5, 5), int))  # a filter that reports progress per column


def test_busy_image_refuses_a_second_call():
    image = vorlane.Image.from_numpy(big_page())
    seen = []

    def progress(step, steps):
        if not seen:
            with pytest.raises(RuntimeError, match="busy"):
                image.negative()
            seen.append(step)

    image.progress = progress
    blur(image)
    assert seen


def test_progress_is_reported():
    image = vorlane.Image.from_numpy(big_page())
    calls = []
    image.progress = lambda step, steps: calls.append((step, steps))
    blur(image)
    assert calls and all(0 < s <= n == image.width for s, n in calls)


@pytest.mark.parametrize("answer, error", [
    (lambda: True, vorlane.Cancelled),
    (lambda: (_ for _ in ()).throw(KeyboardInterrupt()), KeyboardInterrupt),
    (lambda: 1 / 0, ZeroDivisionError),
])
def test_cancel_by_answer_or_exception(answer, error):
    image = vorlane.Image.from_numpy(big_page())
    calls = []

    def progress(step, steps):
        calls.append(step)
        return answer()

    image.progress = progress
    before = image.pixels.copy()
    with pytest.raises(error):
        blur(image)
    assert len(calls) == 1  # asked once, then the call stops
    np.testing.assert_array_equal(image.pixels, before)  # the filter restored the pixels
    image.progress = None
    blur(image)  # usable afterwards
    assert not np.array_equal(image.pixels, before)


def test_pixel_threads_do_not_change_results():
    results = []
    for threads in (1, 0):
        page = vorlane.Image.from_numpy(big_page())
        previous = vorlane.set_pixel_threads(threads)
        try:
            page.rotate(0.03)
        finally:
            vorlane.set_pixel_threads(previous)
        results.append(page.pixels.copy())
    np.testing.assert_array_equal(results[0], results[1])
    with pytest.raises(ValueError):
        vorlane.set_pixel_threads(-1)
