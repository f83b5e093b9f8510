"""Batches of cuts on a Dask cluster.

A job table (CSV or JSON) lists one cut per row:

    job        a name (default: the row number)
    operation  cut | curtain | boolean | split6 | clean
    inputs     model files, separated by ';' in CSV (a list in JSON)
    options    key=value pairs separated by spaces in CSV (an object in JSON):
               cut: cut_faces, split_first, split_second, precision;
               curtain: polyline="x,y x,y ...", keep=both|left|right, precision;
               boolean: op=union|intersection|a-minus-b|b-minus-a|a-outside;
               every operation: format=obj|ply|stl|off|ts
    output     a folder for cut, curtain and split6 (one file per piece, named
               as tricut names them), a file for boolean and clean

Relative paths are taken from the folder of the job table. Each job reads
its inputs, cuts, writes every output to a temporary name and renames it,
then records its outputs in OUTPUT.done.json; a rerun skips the jobs whose
record and outputs are all there. A failed job is reported with its error
and the others go on.

    python3 -m kromesh.batch JOBS [--scheduler ADDRESS] [--workers N] [--summary CSV]
    python3 -m kromesh.batch generate solids-by-surfaces SOLIDS SURFACES OUT -o JOBS
    python3 -m kromesh.batch generate tiles TERRAIN --cell SIZE OUT -o JOBS

Without --scheduler the jobs run on a local cluster of one worker process
per core (or --workers N) started for the batch.
"""

from __future__ import annotations

import argparse
import csv
import json
import os
import shlex
import sys
import time
from typing import Any, Dict, Iterable, List, Optional

import kromesh

MODEL_EXTENSIONS = (".obj", ".ply", ".stl", ".off", ".ts")
OPERATIONS = ("cut", "curtain", "boolean", "split6", "clean")
SUMMARY_FIELDS = ("job", "status", "seconds", "triangles_in", "triangles_out", "error")


# --- job tables -----------------------------------------------------------

def _parse_options(text: str) -> Dict[str, str]:
    options = {}
    for token in shlex.split(text or ""):
        key, eq, value = token.partition("=")
        if not eq:
            raise ValueError(f"option '{token}' is not key=value")
        options[key.strip()] = value
    return options


def load_jobs(path: str) -> List[Dict[str, Any]]:
    """The jobs of a CSV or JSON table, with paths made absolute."""
    base = os.path.dirname(os.path.abspath(path))
    with open(path, newline="") as f:
        if path.lower().endswith(".json"):
            rows = json.load(f)
            if isinstance(rows, dict):
                rows = rows.get("jobs", [])
        else:
            rows = list(csv.DictReader(f))
    jobs = []
    for i, row in enumerate(rows, 1):
        inputs = row.get("inputs") or []
        if isinstance(inputs, str):
            inputs = [p.strip() for p in inputs.split(";") if p.strip()]
        options = row.get("options") or {}
        if isinstance(options, str):
            options = _parse_options(options)
        jobs.append({
            "job": str(row.get("job") or i),
            "operation": (row.get("operation") or "").strip(),
            "inputs": [os.path.join(base, p) for p in inputs],
            "options": {k: str(v) for k, v in options.items()},
            "output": os.path.join(base, (row.get("output") or "").strip()),
        })
    return jobs


def save_jobs(path: str, jobs: Iterable[Dict[str, Any]]) -> None:
    """Writes a job table; CSV or JSON by the extension."""
    jobs = list(jobs)
    tmp = path + ".tmp"
    with open(tmp, "w", newline="") as f:
        if path.lower().endswith(".json"):
            json.dump({"jobs": jobs}, f, indent=1)
        else:
            w = csv.writer(f)
            w.writerow(["job", "operation", "inputs", "options", "output"])
            for j in jobs:
                opts = " ".join(f"{k}={shlex.quote(v)}" for k, v in j["options"].items())
                w.writerow([j["job"], j["operation"], ";".join(j["inputs"]), opts, j["output"]])
    os.replace(tmp, path)


def _models_in(folder: str) -> List[str]:
    return sorted(os.path.join(folder, n) for n in os.listdir(folder)
                  if n.lower().endswith(MODEL_EXTENSIONS))


def solids_by_surfaces(solids: str, surfaces: str, out: str,
                       cut_faces: bool = True) -> List[Dict[str, Any]]:
    """One cut job per solid file of one folder and surface file of another."""
    jobs = []
    for a in _models_in(solids):
        for b in _models_in(surfaces):
            name = f"{_stem(a)}-by-{_stem(b)}"
            jobs.append({"job": name, "operation": "cut", "inputs": [a, b],
                         "options": {"cut_faces": str(cut_faces).lower()},
                         "output": os.path.join(out, name)})
    return jobs


def terrain_tiles(terrain: str, cell: float, out: str,
                  bounds: Optional[tuple] = None) -> List[Dict[str, Any]]:
    """A terrain tiled by a grid of square curtains of side cell: one curtain
    job per cell over the terrain's plan box (or bounds = (x0, y0, x1, y1)),
    each keeping the part inside its cell."""
    if not cell > 0:
        raise ValueError("cell must be positive")
    if bounds is None:
        pts = kromesh.read(terrain, kind="surface").points
        bounds = (pts[:, 0].min(), pts[:, 1].min(), pts[:, 0].max(), pts[:, 1].max())
    x0, y0, x1, y1 = (float(v) for v in bounds)
    nx, ny = max(1, int(-(-(x1 - x0) // cell))), max(1, int(-(-(y1 - y0) // cell)))
    jobs = []
    for j in range(ny):
        for i in range(nx):
            a, b = x0 + i * cell, y0 + j * cell
            # Counter-clockwise, so the cell lies left of the walk.
            ring = [(a, b), (a + cell, b), (a + cell, b + cell), (a, b + cell), (a, b)]
            name = f"tile-{i:03d}-{j:03d}"
            jobs.append({"job": name, "operation": "curtain", "inputs": [terrain],
                         "options": {"polyline": " ".join(f"{x!r},{y!r}" for x, y in ring),
                                     "keep": "left"},
                         "output": os.path.join(out, name)})
    return jobs


# --- one job --------------------------------------------------------------

def _stem(path: str) -> str:
    return os.path.splitext(os.path.basename(path))[0]


def _flag(options: Dict[str, str], key: str, default: bool) -> bool:
    v = options.get(key)
    if v is None:
        return default
    if v.lower() in ("1", "true", "yes", "on"):
        return True
    if v.lower() in ("0", "false", "no", "off"):
        return False
    raise ValueError(f"option {key}={v} is not true or false")


def _read(path: str, kind: str = "auto"):
    model = kromesh.read(path, kind=kind)
    model.name = _stem(path)  # pieces are labelled by file stems, as tricut does
    return model


def _record_path(job: Dict[str, Any]) -> str:
    return job["output"].rstrip("/") + ".done.json"


def is_complete(job: Dict[str, Any]) -> bool:
    """True when the job's record exists and every output it lists is there
    with the recorded size."""
    try:
        with open(_record_path(job)) as f:
            record = json.load(f)
        return all(os.path.getsize(p) == size for p, size in record["files"].items())
    except (OSError, ValueError, KeyError, TypeError):
        return False


def _pieces(job: Dict[str, Any], result: Dict[str, Any]):
    """Runs the operation: a list of (file path, model or None); counts the
    input triangles into result."""
    op, opts, ins = job["operation"], job["options"], job["inputs"]
    ext = "." + opts.get("format", "obj").lower()
    need = {"cut": 2, "curtain": 1, "boolean": 2, "split6": 2, "clean": 1}
    if op not in need:
        raise ValueError(f"unknown operation '{op}' ({', '.join(OPERATIONS)})")
    if len(ins) != need[op]:
        raise ValueError(f"{op} takes {need[op]} input files, not {len(ins)}")
    # A curtain cuts a surface: no need to find out whether the file is closed.
    models = [_read(p, "surface" if op == "curtain" else "auto") for p in ins]
    result["triangles_in"] = sum(m.n_triangles for m in models)
    precision = float(opts["precision"]) if "precision" in opts else None
    folder = job["output"]
    if op == "cut":
        split = (_flag(opts, "split_first", True), _flag(opts, "split_second", True))
        pieces = kromesh.cut(models[0], models[1], split=split, precision=precision,
                             cut_faces=_flag(opts, "cut_faces", False))
    elif op == "curtain":
        if "polyline" not in opts:
            raise ValueError("curtain needs the option polyline='x,y x,y ...'")
        line = [[float(c) for c in p.split(",")] for p in opts["polyline"].replace(";", " ").split()]
        pieces = kromesh.curtain(models[0], line, precision=precision)
        keep = opts.get("keep", "both")
        if keep not in ("both", "left", "right"):
            raise ValueError(f"keep={keep} is not both, left or right")
        pieces = [p for p, s in zip(pieces, ("right", "left")) if keep in ("both", s)]
    elif op == "split6":
        pieces = kromesh.split6(models[0], models[1])
    elif op == "boolean":
        r = kromesh.boolean(models[0], models[1], opts.get("op", "union"), name=_stem(folder))
        if r.n_triangles == 0:
            raise kromesh.CutError(f"the {opts.get('op', 'union')} is empty")
        return [(folder, r)]
    else:
        r = kromesh.clean(models[0])
        r.name = _stem(folder)
        return [(folder, r)]
    return [(os.path.join(folder, p.name + ext), p if p.n_triangles else None) for p in pieces]


def run_job(job: Dict[str, Any]) -> Dict[str, Any]:
    """Runs one job where it is called (a Dask worker, or here); never raises."""
    t0 = time.perf_counter()
    result = {"job": job["job"], "status": "done", "seconds": 0.0,
              "triangles_in": 0, "triangles_out": 0, "error": ""}
    try:
        if is_complete(job):
            with open(_record_path(job)) as f:
                record = json.load(f)
            result.update(status="skipped", triangles_in=record["triangles_in"],
                          triangles_out=record["triangles_out"])
            return result
        files = {}
        for path, model in _pieces(job, result):
            if model is None:
                # A file from an earlier run would pass for this empty piece.
                if os.path.exists(path):
                    os.remove(path)
                continue
            os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
            kromesh.write(path, model)  # temporary file, then rename
            files[path] = os.path.getsize(path)
            result["triangles_out"] += model.n_triangles
        record = {"files": files, "triangles_in": result["triangles_in"],
                  "triangles_out": result["triangles_out"]}
        tmp = _record_path(job) + ".tmp"
        with open(tmp, "w") as f:
            json.dump(record, f, indent=1)
        os.replace(tmp, _record_path(job))
    except Exception as e:  # noqa: BLE001 - every failure is reported, none stops the batch
        result.update(status="failed", error=f"{type(e).__name__}: {e}")
    result["seconds"] = round(time.perf_counter() - t0, 3)
    return result


# --- the batch ------------------------------------------------------------

class _Progress:
    def __init__(self, total: int, stream=sys.stderr):
        self.total, self.done, self.stream = total, 0, stream

    def step(self, result: Dict[str, Any]) -> None:
        self.done += 1
        width = 30
        filled = width * self.done // max(1, self.total)
        mark = "" if result["status"] != "failed" else f"  {result['job']} failed"
        self.stream.write(f"\r[{'#' * filled}{'.' * (width - filled)}] "
                          f"{self.done}/{self.total} jobs{mark}")
        if mark or self.done == self.total:
            self.stream.write("\n")
        self.stream.flush()


def run_batch(jobs: List[Dict[str, Any]], scheduler: Optional[str] = None,
              workers: Optional[int] = None, progress: bool = True) -> List[Dict[str, Any]]:
    """Runs the jobs on Dask; returns one result per job in table order."""
    from dask.distributed import Client, LocalCluster, as_completed

    cluster = None
    if scheduler:
        client = Client(scheduler)
    else:
        n = workers or os.cpu_count() or 1
        cluster = LocalCluster(n_workers=n, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        bar = _Progress(len(jobs)) if progress else None
        futures = client.map(run_job, jobs, pure=False)
        index = {f.key: i for i, f in enumerate(futures)}
        results: List[Optional[Dict[str, Any]]] = [None] * len(jobs)
        for future in as_completed(futures):
            i = index[future.key]
            try:
                results[i] = future.result()
            except Exception as e:  # a worker lost while running the job
                results[i] = {"job": jobs[i]["job"], "status": "failed", "seconds": 0.0,
                              "triangles_in": 0, "triangles_out": 0,
                              "error": f"{type(e).__name__}: {e}"}
            if bar:
                bar.step(results[i])
        return results
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


def format_summary(results: List[Dict[str, Any]]) -> str:
    lines = [f"{'job':<24} {'status':<8} {'seconds':>8} {'tri in':>10} {'tri out':>10}  error"]
    for r in results:
        lines.append(f"{r['job']:<24} {r['status']:<8} {r['seconds']:>8.2f} "
                     f"{r['triangles_in']:>10} {r['triangles_out']:>10}  {r['error']}".rstrip())
    done = sum(r["status"] == "done" for r in results)
    skipped = sum(r["status"] == "skipped" for r in results)
    lines.append(f"{len(results)} jobs: {done} done, {skipped} skipped, "
                 f"{len(results) - done - skipped} failed")
    return "\n".join(lines)


def write_summary(path: str, results: List[Dict[str, Any]]) -> None:
    tmp = path + ".tmp"
    with open(tmp, "w", newline="") as f:
        w = csv.DictWriter(f, fieldnames=SUMMARY_FIELDS)
        w.writeheader()
        for r in results:
            w.writerow({k: r[k] for k in SUMMARY_FIELDS})
    os.replace(tmp, path)


def main(argv: Optional[List[str]] = None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    if argv and argv[0] == "generate":
        p = argparse.ArgumentParser(prog="python3 -m kromesh.batch generate")
        p.add_argument("kind", choices=("solids-by-surfaces", "tiles"))
        p.add_argument("paths", nargs="+")
        p.add_argument("--cell", type=float)
        p.add_argument("-o", "--jobs", required=True, help="job table to write (.csv or .json)")
        a = p.parse_intermixed_args(argv[1:])
        if a.kind == "solids-by-surfaces":
            if len(a.paths) != 3:
                p.error("solids-by-surfaces SOLIDS SURFACES OUT")
            jobs = solids_by_surfaces(*a.paths)
        else:
            if len(a.paths) != 2 or not a.cell:
                p.error("tiles TERRAIN --cell SIZE OUT")
            jobs = terrain_tiles(a.paths[0], a.cell, a.paths[1])
        save_jobs(a.jobs, jobs)
        print(f"{len(jobs)} jobs written to {a.jobs}")
        return 0
    p = argparse.ArgumentParser(prog="python3 -m kromesh.batch",
                                description="Run a table of cut jobs on Dask.")
    p.add_argument("jobs", help="job table (.csv or .json)")
    p.add_argument("--scheduler", help="address of a running Dask scheduler")
    p.add_argument("--workers", type=int, help="worker processes of the local cluster")
    p.add_argument("--summary", help="summary CSV (default: JOBS with -summary.csv)")
    a = p.parse_args(argv)
    jobs = load_jobs(a.jobs)
    t0 = time.perf_counter()
    results = run_batch(jobs, a.scheduler, a.workers, progress=True)
    summary = a.summary or os.path.splitext(a.jobs)[0] + "-summary.csv"
    write_summary(summary, results)
    print(format_summary(results))
    print(f"wall time {time.perf_counter() - t0:.1f} s; summary written to {summary}")
    return 0 if all(r["status"] != "failed" for r in results) else 1


if __name__ == "__main__":
    sys.exit(main())
