"""The batch runner: the tool's road per page, locally and as Dask tasks on two processes."""

import subprocess

import numpy as np
import pytest

import vorlane
from conftest import grey_page


@pytest.fixture(scope="module")
def pages(tmp_path_factory):
    folder = tmp_path_factory.mktemp("pages")
    paths = []
    for i in range(4):
        path = folder / f"page{i}.tif"
        vorlane.Image.from_numpy(grey_page(seed=i)).save_tiff(str(path))
        paths.append(str(path))
    bad = folder / "damaged.tif"
    bad.write_bytes(b"II*\0 not really")
    return paths + [str(bad), str(folder / "missing.tif")]


def test_local_batch_writes_reports_and_collects_errors(pages, tmp_path):
    results = vorlane.batch.process(pages, tmp_path, method="niblack", views=False)
    assert [r["status"] for r in results] == ["written"] * 4 + ["failed"] * 2
    assert all(r["error"] for r in results[4:])
    report = results[0]["report"]
    assert report["method"] == "niblack"
    assert report["component_count"] == len(report["components"]) > 0
    # The tool's bi-level output matches the same threshold called from Python.
    written = vorlane.load(str(tmp_path / "page0-bilevel.tif")).pixels
    ours = vorlane.load(pages[0]).threshold_niblack(report["parameters"]["half_window"]).pixels
    np.testing.assert_array_equal(written, ours)


def test_unknown_option_is_a_caller_error(pages, tmp_path):
    with pytest.raises(TypeError):
        vorlane.batch.process(pages, tmp_path, colour="blue")


def test_dask_cluster_gives_the_local_reports(pages, tmp_path):
    distributed = pytest.importorskip("distributed")
    local = vorlane.batch.process(pages, tmp_path / "local", method="global", threshold=120)
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  host="127.0.0.1", dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        remote = vorlane.batch.process(pages, tmp_path / "remote", client=client,
                                       method="global", threshold=120)
        pids = set(client.run(lambda: __import__("os").getpid()).values())
    assert len(pids) == 2
    assert [r["status"] for r in remote] == [r["status"] for r in local]
    # The same reports but for the time each page took.
    def untimed(results):
        reports = [dict(r["report"]) if r["report"] else None for r in results]
        for report in filter(None, reports):
            assert report.pop("seconds") >= 0
        return reports
    assert untimed(remote) == untimed(local)


def test_automatic_deskew_reports_its_estimate(pages, tmp_path):
    report = vorlane.batch.process(pages[:1], tmp_path, deskew="auto", views=False)[0]["report"]
    # An estimate that is not trusted says why.
    reason = set() if report["skew"]["trusted"] else {"reason"}
    assert set(report["skew"]) == {"angle_deg", "confidence", "trusted"} | reason
    with pytest.raises(ValueError):
        vorlane.process_file(pages[0], str(tmp_path), deskew="sideways")


def test_pages_of_a_file_load_one_at_a_time_and_run_as_their_own_tasks(tmp_path):
    pages = [vorlane.Image.from_numpy(grey_page(seed=s)) for s in (7, 8, 9)]
    singles = []
    for i, page in enumerate(pages):
        singles.append(str(tmp_path / f"single{i}.tif"))
        page.save_tiff(singles[-1])
    multi = tmp_path / "scan.tif"
    assert subprocess.run(["tiffcp", *singles, str(multi)]).returncode == 0
    assert vorlane.page_count(str(multi)) == 3
    for i, page in enumerate(vorlane.pages(str(multi))):
        np.testing.assert_array_equal(page.pixels, pages[i].pixels)
    np.testing.assert_array_equal(vorlane.load(str(multi), page=2).pixels, pages[2].pixels)
    with pytest.raises(IndexError):
        vorlane.load(str(multi), page=3)
    results = vorlane.batch.process([str(multi)], tmp_path / "out", views=False, dpi=300)
    assert [(r["page"], r["status"]) for r in results] == [(0, "written"), (1, "written"),
                                                           (2, "written")]
    assert results[1]["report"]["page_index"] == 1
    assert results[1]["report"]["resolution"] == 300
    assert (tmp_path / "out" / "scan-p0003-report.json").exists()


def test_batch_with_report_writes_the_html_index_with_every_page(pages, tmp_path):
    results = vorlane.batch.process(pages, tmp_path, views=True, report=True)
    index = (tmp_path / "index.html").read_text(encoding="utf-8")
    assert sum(r["status"] == "failed" for r in results) == 2
    assert "6 pages, 2 failed" in index
    assert (tmp_path / "page0-original.png").exists()
    assert vorlane.write_report(str(tmp_path)) == str(tmp_path / "index.html")
