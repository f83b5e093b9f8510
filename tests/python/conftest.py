"""Small scenes for the Python tests, built from NumPy arrays."""
import os

import numpy as np
import pytest

import kromesh

# Corners of a box (x from bit 0, y from bit 1, z from bit 2) and its 12
# outward triangles.
BOX_TRIS = np.array([[0, 2, 3], [0, 3, 1], [4, 5, 7], [4, 7, 6], [0, 1, 5], [0, 5, 4],
                     [2, 6, 7], [2, 7, 3], [0, 4, 6], [0, 6, 2], [1, 3, 7], [1, 7, 5]])


def box(lo, hi, name="box", material="rock"):
    lo, hi = np.asarray(lo, float), np.asarray(hi, float)
    pts = np.array([[(hi if c >> k & 1 else lo)[k] for k in range(3)] for c in range(8)])
    return kromesh.Solid([kromesh.Surface(pts, BOX_TRIS, material=material)], name=name)


def grid(nx, ny, x0, y0, dx, dy, height, name="grid"):
    """A height field facing up: (nx+1)(ny+1) points, 2 nx ny triangles."""
    x, y = np.meshgrid(x0 + dx * np.arange(nx + 1), y0 + dy * np.arange(ny + 1))
    pts = np.column_stack([x.ravel(), y.ravel(), height(x, y).ravel()])
    i, j = np.meshgrid(np.arange(nx), np.arange(ny))
    a = (j * (nx + 1) + i).ravel()
    tris = np.concatenate([np.column_stack([a, a + 1, a + nx + 2]),
                           np.column_stack([a, a + nx + 2, a + nx + 1])])
    return kromesh.Surface(pts, tris, name=name)


def hills(x, y):
    return 0.5 * np.sin(0.7 * x) * np.cos(0.5 * y) + 0.05 * x


def plane_z(z, lo=-1.0, hi=2.0, n=3, name="plane"):
    """A horizontal square at height z, facing up."""
    return grid(n, n, lo, lo, (hi - lo) / n, (hi - lo) / n, lambda x, y: 0 * x + z, name=name)


@pytest.fixture
def tricut():
    path = os.environ.get("KROMESH_TRICUT")
    if not path:
        pytest.skip("KROMESH_TRICUT not set (run through ctest)")
    return path
