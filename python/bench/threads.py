"""How much two Python threads gain over one when each cut releases the GIL.

    PYTHONPATH=build/python python3 python/bench/threads.py [N]

Cuts N terrains of 2 x 150 x 150 triangles by a tilted plane, first one after
the other, then on two threads, and prints both times. Not a test: the gain
depends on the machine's free cores.
"""
import sys
import threading
import time

import numpy as np

import kromesh


def terrain(k):
    x, y = np.meshgrid(np.linspace(0, 100, 151), np.linspace(0, 100, 151))
    z = 5 * np.sin(x / (9 + k)) * np.cos(y / 7)
    a = (np.arange(150)[None, :] + 151 * np.arange(150)[:, None]).ravel()
    tris = np.concatenate([np.column_stack([a, a + 1, a + 152]), np.column_stack([a, a + 152, a + 151])])
    return kromesh.Surface(np.column_stack([x.ravel(), y.ravel(), z.ravel()]), tris, name=f"t{k}")


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 4
    plane = kromesh.Surface([[-10, -10, -3], [110, -10, 1], [110, 110, 3], [-10, 110, -1]],
                            [[0, 1, 2], [0, 2, 3]], name="plane")
    models = [terrain(k) for k in range(n)]
    t0 = time.perf_counter()
    for m in models:
        kromesh.cut(m, plane)
    serial = time.perf_counter() - t0
    t0 = time.perf_counter()
    threads = [threading.Thread(target=lambda part=models[i::2]: [kromesh.cut(m, plane) for m in part])
               for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    parallel = time.perf_counter() - t0
    print(f"{n} cuts of {models[0].n_triangles} triangles: one thread {serial:.2f} s, "
          f"two threads {parallel:.2f} s ({serial / parallel:.2f}x)")


if __name__ == "__main__":
    main()
