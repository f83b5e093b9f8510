"""The Python package on small scenes: the invariants the C++ tests check."""
import os
import re
import threading

import numpy as np
import pytest

import kromesh
from conftest import box, grid, hills, plane_z

OVERLAP = 0.6 * 0.7 * 0.8  # unit cube and the cube moved by (0.4, 0.3, 0.2)


def arrays(model):
    return [(s.points.copy(), s.triangles) for s in getattr(model, "surfaces", [model])]


def same(a, b):
    return all(np.array_equal(p, q) and np.array_equal(s, t)
               for (p, s), (q, t) in zip(arrays(a), arrays(b)))


def test_surface_round_trip():
    pts = np.random.default_rng(1).random((5, 3)) * 1e6
    tris = np.array([[0, 1, 2], [2, 3, 4]], dtype=np.int32)
    s = kromesh.Surface(pts, tris, material="Granite", colours=np.full((5, 3), 0.5),
                        normals=np.tile([0, 0, 1.0], (5, 1)), uvs=np.zeros((5, 2)), name="s")
    assert np.array_equal(s.points, pts) and not s.points.flags.writeable
    assert s.triangles.dtype == np.int64 and np.array_equal(s.triangles, tris)
    assert np.array_equal(s.colours, np.tile([0.5, 0.5, 0.5, 1], (5, 1)).astype(np.float32))
    assert s.normals.shape == (5, 3) and s.uvs.shape == (5, 2)
    assert (s.material, s.name, s.n_points, s.n_triangles) == ("Granite", "s", 5, 2)
    assert kromesh.Surface(pts, tris).colours is None


@pytest.mark.parametrize("ext", ["obj", "ply", "stl", "off", "ts"])
def test_files_round_trip(tmp_path, ext):
    model = box([500000, 4000000, 10], [500001.5, 4000002, 11], name="b")
    path = str(tmp_path / f"b.{ext}")
    kromesh.write(path, model)
    back = kromesh.read(path)
    assert isinstance(back, kromesh.Solid), ext
    assert back.n_triangles == 12 and abs(kromesh.volume(back) - 3.0) < 1e-6, ext
    # Coordinates come back exactly (writers may order the points by use).
    rows = [np.unique(m.surfaces[0].points, axis=0) for m in (back, model)]
    assert np.array_equal(*rows), ext
    assert isinstance(kromesh.read(str(tmp_path / f"b.{ext}"), kind="surface"), kromesh.Surface)


def test_surface_cut_areas_add_up():
    ground, wall = grid(10, 10, 0, 0, 1, 1, hills, "ground"), grid(
        4, 4, -1, -3, 3, 3, lambda x, y: 0 * x, "wall")
    # Turn the second grid into the wall x = 4.3 facing +x.
    p = wall.points
    wall = kromesh.Surface(np.column_stack([0 * p[:, 0] + 4.3, p[:, 0], p[:, 1]]),
                           wall.triangles, name="wall")
    a1, a2, b1, b2 = kromesh.cut(ground, wall)
    assert (a1.name, b2.name) == ("ground-side1", "wall-side2")
    assert kromesh.area(a1) + kromesh.area(a2) == pytest.approx(kromesh.area(ground), rel=1e-12)
    assert kromesh.area(b1) + kromesh.area(b2) == pytest.approx(kromesh.area(wall), rel=1e-12)
    assert a1.points[:, 0].max() <= 4.3 + 1e-9 and a2.points[:, 0].min() >= 4.3 - 1e-9
    whole, empty, _, _ = kromesh.cut(ground, wall, split=(False, True))
    assert empty.n_triangles == 0 and whole.n_triangles > ground.n_triangles


def test_solid_cuts_close_and_keep_volume():
    cube, other = box([0, 0, 0], [1, 1, 1], "a"), box([0.4, 0.3, 0.2], [1.4, 1.3, 1.2], "b")
    below, above, outside, inside = kromesh.cut_solid(cube, plane_z(0.25))
    assert kromesh.is_closed(below) and kromesh.is_closed(above)
    assert (kromesh.volume(below), kromesh.volume(above)) == (pytest.approx(0.25),
                                                              pytest.approx(0.75))
    assert kromesh.area(inside) == pytest.approx(1.0) and kromesh.area(outside) == pytest.approx(8.0)
    expected = {"union": 2 - OVERLAP, "intersection": OVERLAP, "a-minus-b": 1 - OVERLAP,
                "b-minus-a": 1 - OVERLAP}
    for op, v in expected.items():
        r = kromesh.boolean(cube, other, op)
        assert kromesh.is_closed(r) and kromesh.volume(r) == pytest.approx(v, abs=1e-9), op
    six = kromesh.split6(cube, other)
    assert [kromesh.volume(six[i]) for i in (1, 2, 3, 5)] == pytest.approx(
        [1 - OVERLAP, OVERLAP, OVERLAP, 1 - OVERLAP])
    pieces = kromesh.cut(cube, other)
    assert sum(kromesh.area(p) for p in pieces) == pytest.approx(12.0)


def test_curtain_and_tile():
    ground = grid(10, 10, 0, 0, 1, 1, lambda x, y: 0 * x, "ground")
    right, left = kromesh.curtain(ground, [[-1, 3], [5, 6], [11, 4]])
    assert kromesh.area(right) + kromesh.area(left) == pytest.approx(100.0)
    assert right.name == "ground-right" and right.points[:, 1].min() < 3 < left.points[:, 1].max()
    _, cell = kromesh.curtain(ground, [[2, 2], [5, 2], [5, 5], [2, 5], [2, 2]])
    assert kromesh.area(cell) == pytest.approx(9.0)


def test_point_queries_and_measures():
    cube = box([0, 0, 0], [1, 1, 1])
    pts = np.array([[0.5, 0.5, 0.5], [2, 0.5, 0.5], [1, 0.5, 0.5], [0.5, 0.5, -1e-3]])
    assert kromesh.inside(pts, cube).tolist() == [1, -1, 0, -1]
    flat = plane_z(0.0)
    assert kromesh.side([[0.5, 0.5, 1], [0.5, 0.5, -1]], flat).tolist() == [1, -1]
    r = kromesh.cut_fill(grid(4, 4, 0, 0, 2.5, 2.5, lambda x, y: 0 * x + 1.0), 0.0)
    assert (r["cut"], r["fill"], r["plan_area"]) == (pytest.approx(100), pytest.approx(0),
                                                     pytest.approx(100))


def test_clean_and_render(tmp_path):
    pts = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 0, 0], [1, 1, 0], [0, 1, 0.0]])
    cleaned = kromesh.clean(kromesh.Surface(pts, [[0, 1, 2], [3, 4, 5]]))
    assert cleaned.n_points == 4 and kromesh.area(cleaned) == pytest.approx(1.0)
    png = tmp_path / "a.png"
    kromesh.render(str(png), [cleaned, box([0, 0, 0], [1, 1, 1])], size=(64, 48))
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


BAD = [
    ("points shape", lambda: kromesh.Surface(np.zeros((3, 2)), [[0, 1, 2]]), "shape (n, 3)"),
    ("points dtype", lambda: kromesh.Surface(np.array([["a"] * 3]), [[0, 0, 0]]), "numbers"),
    ("triangles dtype", lambda: kromesh.Surface(np.zeros((3, 3)), [[0, 1, 2.0]]), "integers"),
    ("index high", lambda: kromesh.Surface(np.zeros((3, 3)), [[0, 1, 3]]), "outside the 3"),
    ("index negative", lambda: kromesh.Surface(np.zeros((3, 3)), [[0, -1, 2]]), "index -1"),
    ("NaN point", lambda: kromesh.Surface([[0, 0, np.nan]] * 3, [[0, 1, 2]]), "not finite"),
    ("colour rows", lambda: kromesh.Surface(np.zeros((3, 3)), [[0, 1, 2]],
                                            colours=np.ones((2, 4))), "one row per point"),
    ("query NaN", lambda: kromesh.inside([[np.nan, 0, 0]], box([0, 0, 0], [1, 1, 1])),
     "not finite"),
    ("open solid", lambda: kromesh.volume(kromesh.Solid([plane_z(0.0)])), "not a closed solid"),
    ("polyline", lambda: kromesh.curtain(plane_z(0.0), [[0, 0]]), "at least two"),
    ("precision", lambda: kromesh.cut(plane_z(0.0), plane_z(1.0), precision=2), "precision"),
    ("operation", lambda: kromesh.boolean(box([0] * 3, [1] * 3), box([0] * 3, [1] * 3), "xor"),
     "unknown operation"),
    ("bad file", lambda: kromesh.read(os.devnull + ".obj"), "No such file"),
]


@pytest.mark.parametrize("name,call,message", BAD, ids=[b[0] for b in BAD])
def test_bad_input_raises(name, call, message):
    with pytest.raises((ValueError, OSError), match=re.escape(message)):
        call()


def test_two_threads_cut_as_one_after_the_other():
    jobs = [lambda: kromesh.cut(grid(40, 40, 0, 0, 0.25, 0.25, hills, "g"), plane_z(0.1, -1, 11)),
            lambda: kromesh.split6(box([0, 0, 0], [1, 1, 1]), box([0.4, 0.3, 0.2], [1.4, 1.3, 1.2]))]
    serial = [job() for job in jobs]
    parallel = [None, None]
    threads = [threading.Thread(target=lambda i=i: parallel.__setitem__(i, jobs[i]()))
               for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for s, p in zip(serial, parallel):
        assert all(same(x, y) for x, y in zip(s, p))
