"""Batch processing of page files as Dask tasks, one task per page.

Each task runs the command-line tool's road on its page (threshold, optional deskew,
components, outputs and the JSON report) and returns a result; a page that fails gives a
result with its error instead of raising, so one bad page does not stop the batch.
"""

import functools
import json
import os

from ._vorlane import process_file

_OPTIONS = ("method", "half_window", "threshold", "deskew", "connectivity", "views",
            "skip_existing")


def _process_one(path, out_dir, options):
    """Runs the road on one page; never raises. Reads the report back into the result."""
    result = {"input": path, "status": "failed", "error": None, "warning": None,
              "report_path": None, "report": None}
    try:
        result.update(process_file(path, out_dir, **options))
        if result["report_path"]:
            with open(result["report_path"], encoding="utf-8") as f:
                result["report"] = json.load(f)
    except Exception as e:  # a page's failure is part of its result
        result["status"] = "failed"
        result["error"] = f"{type(e).__name__}: {e}"
    return result


def process(paths, out_dir, client=None, **options):
    """Processes page files (.tif, .tiff, .vlx) into out_dir; returns one result per path.

    options: method ('niblack', 'weszka', 'global'), half_window, threshold, deskew
    ('auto' or degrees), connectivity (4 or 8), views (write the PNG views), skip_existing.

    With client (a dask.distributed Client, local or connected to a scheduler address) the
    pages run as tasks on its workers, which must all see paths and out_dir; without one they
    run here, one after another. Each result is a dict with input, status ('written',
    'skipped', 'failed', 'cancelled'), error, warning, report_path and the parsed report.
    """
    unknown = sorted(set(options) - set(_OPTIONS))
    if unknown:
        raise TypeError(f"unknown options: {', '.join(unknown)}")
    paths = [os.fspath(p) for p in paths]
    out_dir = os.fspath(out_dir)
    os.makedirs(out_dir, exist_ok=True)
    task = functools.partial(_process_one, out_dir=out_dir, options=dict(options))
    if client is None:
        return [task(p) for p in paths]
    futures = client.map(task, paths, pure=False)
    return client.gather(futures)
