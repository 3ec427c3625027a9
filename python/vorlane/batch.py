"""Batch processing of page files as Dask tasks, one task per page.

Each task runs the command-line tool's road on its page (threshold, optional deskew,
components, outputs and the JSON report) and returns a result; a page that fails gives a
result with its error instead of raising, so one bad page does not stop the batch.
"""

import functools
import json
import os

from ._vorlane import page_count, process_file, write_report

_OPTIONS = ("method", "half_window", "threshold", "deskew", "connectivity", "views",
            "skip_existing", "compression", "dpi", "report")


def _pages_of(path):
    """The (path, page) tasks of a file: one per page; one for a file that cannot be opened,
    whose task then fails with the file's error."""
    try:
        return [(path, i) for i in range(page_count(path))]
    except Exception:
        return [(path, 0)]


def _process_one(task, out_dir, options):
    """Runs the road on one page; never raises. Reads the report back into the result."""
    path, page = task
    result = {"input": path, "page": page, "status": "failed", "error": None,
              "warning": None, "report_path": None, "report": None}
    try:
        result.update(process_file(path, out_dir, page=page, **options))
        if result["report_path"]:
            with open(result["report_path"], encoding="utf-8") as f:
                result["report"] = json.load(f)
    except Exception as e:  # a page's failure is part of its result
        result["status"] = "failed"
        result["error"] = f"{type(e).__name__}: {e}"
    return result


def process(paths, out_dir, client=None, **options):
    """Processes page files (.tif, .tiff, .png, .jpg, .jpeg, .vlx) into out_dir, each page of
    a file as its own task; returns one result per page, in order.

    options: method ('niblack', 'weszka', 'global'), half_window, threshold, deskew
    ('auto' or degrees), connectivity (4 or 8), views (write the PNG views), skip_existing,
    compression of the bi-level TIFF ('g4', 'lzw', 'none'), dpi (the resolution of pages
    whose file gives none) and report (out_dir/index.html, the HTML report, written as pages
    finish and once more when all are done).

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
    tasks = [t for p in paths for t in _pages_of(p)]
    if client is None:
        results = [task(t) for t in tasks]
    else:
        results = client.gather(client.map(task, tasks, pure=False))
    if options.get("report"):
        write_report(out_dir)
    return results
