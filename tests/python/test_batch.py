"""kromesh.batch: 12 jobs on a 2-worker local Dask cluster give the files the
serial tricut commands give; a rerun skips them; a failing job is reported."""
import filecmp
import os
import subprocess

import pytest

import kromesh
from kromesh import batch
from conftest import box, grid, hills, plane_z


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder)
                  for d, _, fs in os.walk(folder) for f in fs if not f.endswith(".done.json"))


def test_batch_equals_serial_tricut(tmp_path, tricut):
    models = tmp_path / "models"
    models.mkdir()
    scene = {"a": box([0, 0, 0], [1, 1, 1]), "b": box([0.4, 0.3, 0.2], [1.4, 1.3, 1.2]),
             "p": plane_z(0.25), "q": plane_z(0.6), "t": grid(16, 16, 0, 0, 0.5, 0.5, hills)}
    for name, m in scene.items():
        kromesh.write(str(models / f"{name}.obj"), m)
    m = lambda n: str(models / f"{n}.obj")  # noqa: E731
    jobs = [j for j in batch.solids_by_surfaces(str(models), str(models), "")
            if os.path.basename(j["inputs"][0])[0] in "ab" and
            os.path.basename(j["inputs"][1])[0] in "pq"]
    tiles = batch.terrain_tiles(m("t"), 4.0, "", bounds=(0, 0, 8, 8))
    for t in tiles:
        t["options"]["keep"] = "both"  # what tricut curtain writes
    jobs += tiles
    jobs += [{"job": f"bool-{op}", "operation": "boolean", "inputs": [m("a"), m("b")],
              "options": {"op": op}, "output": f"{op}.obj"} for op in ("union", "a-minus-b")]
    jobs += [{"job": f"six-{x}{y}", "operation": "split6", "inputs": [m(x), m(y)],
              "options": {}, "output": f"six-{x}{y}"} for x, y in (("a", "b"), ("b", "a"))]
    assert len(jobs) == 12
    out, ref = tmp_path / "out", tmp_path / "ref"
    for j in jobs:
        j["output"] = str(out / j["output"])
    batch.save_jobs(str(tmp_path / "jobs.csv"), jobs)
    batch.save_jobs(str(tmp_path / "jobs.json"), jobs)
    assert batch.load_jobs(str(tmp_path / "jobs.json")) == batch.load_jobs(str(tmp_path / "jobs.csv"))

    # The serial reference: the same cuts by the command-line tool.
    for j in jobs:
        dest = str(ref / os.path.relpath(j["output"], out))
        ins, o = j["inputs"], j["options"]
        cmd = {"cut": ["cut", *ins, "--cut-faces", "--out", dest],
               "curtain": ["curtain", *ins, "--polyline", o.get("polyline", ""), "--out", dest],
               "boolean": ["boolean", o.get("op", ""), *ins, "-o", dest],
               "split6": ["split6", *ins, "--out", dest]}[j["operation"]]
        os.makedirs(ref, exist_ok=True)
        subprocess.run([tricut, *cmd], check=True, capture_output=True)

    results = batch.run_batch(batch.load_jobs(str(tmp_path / "jobs.csv")), workers=2,
                              progress=False)
    assert [r["status"] for r in results] == ["done"] * 12, results
    assert all(r["triangles_out"] > 0 for r in results)
    names = files_under(str(ref))
    assert names == files_under(str(out))
    _, mismatch, errors = filecmp.cmpfiles(str(ref), str(out), names, shallow=False)
    assert not mismatch and not errors

    # A rerun skips every finished job; a broken one fails alone.
    broken = dict(jobs[0], job="broken", inputs=[m("a"), str(models / "missing.obj")],
                  output=str(out / "broken"))
    again = [batch.run_job(j) for j in batch.load_jobs(str(tmp_path / "jobs.csv")) + [broken]]
    assert [r["status"] for r in again] == ["skipped"] * 12 + ["failed"]
    assert "missing.obj" in again[-1]["error"]
    assert [r["triangles_out"] for r in again[:12]] == [r["triangles_out"] for r in results]
