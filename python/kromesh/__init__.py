"""kromesh: cut triangulated 3D models against each other from Python.

Surfaces and solids are built from NumPy arrays (or read from OBJ, PLY,
STL, OFF and GOCAD TSurf files), cut by each other or by the curtain of a
plan polyline, combined by Booleans, measured, queried point by point and
drawn. Every cut and query releases the GIL, so different threads may cut
at the same time; batches of cuts run on Dask through ``kromesh.batch``.

Example::

    import numpy as np, kromesh
    ground = kromesh.Surface([[0, 0, 0], [10, 0, 0], [10, 10, 0], [0, 10, 0]],
                             [[0, 1, 2], [0, 2, 3]], name="ground")
    east, west = kromesh.curtain(ground, [[4, -1], [4, 11]])  # right, left of the walk
"""

from ._kromesh import (
    CutError,
    Solid,
    Surface,
    area,
    boolean,
    clean,
    curtain,
    cut,
    cut_fill,
    cut_solid,
    inside,
    is_closed,
    read,
    render,
    side,
    split6,
    volume,
    write,
)

__all__ = [
    "CutError", "Solid", "Surface", "area", "boolean", "clean", "curtain", "cut", "cut_fill",
    "cut_solid", "inside", "is_closed", "read", "render", "side", "split6", "volume", "write",
]
__version__ = "0.1.0"
