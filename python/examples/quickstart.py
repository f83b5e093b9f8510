# A terrain from NumPy arrays, cut by a wall and along a plan line; a box
# solid cut by a plane into two closed halves; points located in the box.
import numpy as np

import kromesh

# A 10 x 10 terrain of 2 x 20 x 20 triangles, gently sloping, facing up.
x, y = np.meshgrid(np.linspace(0, 10, 21), np.linspace(0, 10, 21))
points = np.column_stack([x.ravel(), y.ravel(), 0.1 * x.ravel()])
a = (np.arange(20)[None, :] + 21 * np.arange(20)[:, None]).ravel()
triangles = np.concatenate([np.column_stack([a, a + 1, a + 22]),
                            np.column_stack([a, a + 22, a + 21])])
terrain = kromesh.Surface(points, triangles, material="soil", name="terrain")

# A vertical wall x = 4 facing +x: side 1 of the terrain lies behind it.
wall = kromesh.Surface([[4, -1, -5], [4, 11, -5], [4, 11, 5], [4, -1, 5]],
                       [[0, 1, 2], [0, 2, 3]], name="wall")
west, east, _, _ = kromesh.cut(terrain, wall)
print(f"west {kromesh.area(west):.4f} + east {kromesh.area(east):.4f}"
      f" = terrain {kromesh.area(terrain):.4f}")

# The curtain over a plan polyline; pieces right and left of the walk.
right, left = kromesh.curtain(terrain, [[-1, 3], [5, 6], [11, 4]])
print(f"{right.name}: {right.n_triangles} triangles, {left.name}: {left.n_triangles}")

# The unit cube cut by the plane z = 0.3; each half closed by its cut face.
corners = np.array([[i & 1, i >> 1 & 1, i >> 2 & 1] for i in range(8)], dtype=float)
faces = [[0, 2, 3], [0, 3, 1], [4, 5, 7], [4, 7, 6], [0, 1, 5], [0, 5, 4],
         [2, 6, 7], [2, 7, 3], [0, 4, 6], [0, 6, 2], [1, 3, 7], [1, 7, 5]]
cube = kromesh.Solid([kromesh.Surface(corners, faces, material="granite")], name="cube")
plane = kromesh.Surface([[-1, -1, 0.3], [2, -1, 0.3], [2, 2, 0.3], [-1, 2, 0.3]],
                        [[0, 1, 2], [0, 2, 3]], name="plane")
below, above, _, _ = kromesh.cut_solid(cube, plane, cut_faces=True)
print(f"volumes {kromesh.volume(below):.3f} + {kromesh.volume(above):.3f},"
      f" closed: {kromesh.is_closed(below)} {kromesh.is_closed(above)}")
print("inside:", kromesh.inside([[0.5, 0.5, 0.2], [0.5, 0.5, 0.6], [2, 0, 0]], below))

# Model files: any format tricut reads (.obj .ply .stl .off .ts).
kromesh.write("terrain.obj", terrain)
print("written terrain.obj:", kromesh.read("terrain.obj"))
