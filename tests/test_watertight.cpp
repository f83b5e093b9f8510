// Closed surfaces stay closed through the intersection stage: after the
// intersection points are merged within the data precision and every cut
// triangle is re-triangulated, each edge is still used by exactly two
// triangles and the area is unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/math/CMathFunCls.h"
#include "support/IntersectProbe.h"
#include "support/Shapes.h"

using itest::V;

namespace {

// One direction of a cut, run through re-triangulation.
struct Cut {
  CObbtSurface a, b;
  CObbtObjProcc procc;
  CMeshIntersect engine;
  KroSimpleMesh source, cutting;
  long found = 0, tri = 0;

  Cut(const KroSimpleMesh& cut, const KroSimpleMesh& by, double prec = 0.001)
      : source(cut), cutting(by) {
    EXPECT_EQ(a.BuildMeshObbt(&source), 0);
    EXPECT_EQ(b.BuildMeshObbt(&cutting), 0);
    a.SetDataPrec(prec);
    procc.ObbtCollide(&a, &b, nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
    engine.SetCalIntsersecLinFlag(1);
    found = engine.CalIntersectDots(&procc, a.GetCutMesh());
    if (found == 1) tri = engine.TranglateMdl();
  }
  KroSimpleMesh& Result() { return *a.GetCutMesh(); }
};

KroSimpleMesh Sphere(const V& c, double r, int nLat) {
  std::vector<V> pts;
  std::vector<C3DTriData> tris;
  shapes::SphereArrays(c, r, nLat, 2 * nLat, pts, tris);
  return itest::MakeMesh(pts, tris);
}

// The northern (half 0) or southern half of Sphere(), by the height of each
// triangle's centroid; every point is kept, unused ones included.
KroSimpleMesh SphereHalf(const V& c, double r, int nLat, int half) {
  KroSimpleMesh s = Sphere(c, r, nLat);
  std::vector<C3DTriData> kept;
  for (const C3DTriData& t : s.m_triangles) {
    const double z = (s.m_positions[t.v[0]].z + s.m_positions[t.v[1]].z + s.m_positions[t.v[2]].z);
    if ((z >= 3 * c.z) == (half == 0)) kept.push_back(t);
  }
  s.m_triangles = kept;
  return s;
}

// Deterministic offsets in [-h, h), the same on every platform.
struct Lcg {
  uint64_t s;
  double Next(double h) {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return h * (2.0 * static_cast<double>(s >> 11) / 9007199254740992.0 - 1.0);
  }
};

shapes::TriSoup Soup(const KroSimpleMesh& m) {
  return {m.m_positions, m.m_triangles};
}

}  // namespace

TEST(Watertight, SphereCutBySphereStaysClosedWithItsArea) {
  Lcg rng{20261206};
  int cases = 0;
  for (int nLat : {8, 10, 12}) {
    const KroSimpleMesh cut = Sphere({0, 0, 0}, 1, nLat);
    const double area0 = itest::Area(cut);
    for (int k = 0; k < 8; ++k) {
      const V off = {0.9 + rng.Next(0.3), rng.Next(0.5), rng.Next(0.5)};
      Cut c(cut, Sphere(off, 1, nLat + 2 * (k % 2)));
      SCOPED_TRACE(::testing::Message() << "nLat " << nLat << " k " << k);
      ASSERT_EQ(c.found, 1);
      ASSERT_EQ(c.tri, 1);
      ASSERT_TRUE(itest::IndicesValid(c.Result()));
      const shapes::EdgeReport r = shapes::CheckEdges(Soup(c.Result()), 1e-6);
      EXPECT_TRUE(r.closed()) << r.boundary << " open, " << r.nonManifold << " over-used, "
                              << r.misoriented << " misoriented";
      EXPECT_EQ(r.degenerate, 0);
      EXPECT_NEAR(itest::Area(c.Result()), area0, 1e-9 * area0);
      ++cases;
    }
  }
  EXPECT_EQ(cases, 24);
}

TEST(WatertightDebug, Dump) {
  Lcg rng{20261206};
  for (int nLat : {8, 10, 12}) {
    const KroSimpleMesh cut = Sphere({0, 0, 0}, 1, nLat);
    for (int k = 0; k < 8; ++k) {
      const V off = {0.9 + rng.Next(0.3), rng.Next(0.5), rng.Next(0.5)};
      Cut c(cut, Sphere(off, 1, nLat + 2 * (k % 2)));
      shapes::TriSoup s = Soup(c.Result());
      std::map<std::pair<long, long>, int> uses;
      for (auto& t : s.tris)
        for (int q = 0; q < 3; ++q) {
          long a = t.v[q], b = t.v[(q + 1) % 3];
          uses[{std::min(a, b), std::max(a, b)}]++;
        }
      int shown = 0;
      for (auto& e : uses)
        if (e.second != 2 && shown++ < 6) {
          const V& p = s.pts[e.first.first];
          const V& q = s.pts[e.first.second];
          printf("nLat %d k %d: edge %ld-%ld used %d (%.9f %.9f %.9f)-(%.9f %.9f %.9f) src %zu\n", nLat, k,
                 e.first.first, e.first.second, e.second, p.x, p.y, p.z, q.x, q.y, q.z,
                 cut.m_positions.size());
        }
    }
  }
}

TEST(WatertightDebug, Lists) {
  Lcg rng{20261206};
  for (int nLat : {8, 10, 12}) {
    const KroSimpleMesh cut = Sphere({0, 0, 0}, 1, nLat);
    for (int k = 0; k < 8; ++k) {
      const V off = {0.9 + rng.Next(0.3), rng.Next(0.5), rng.Next(0.5)};
      if (nLat != 12 || k != 4) continue;
      CObbtSurface a, b;
      CObbtObjProcc procc;
      CMeshIntersect engine;
      KroSimpleMesh source = cut, cutting = Sphere(off, 1, nLat + 2 * (k % 2));
      a.BuildMeshObbt(&source);
      b.BuildMeshObbt(&cutting);
      procc.ObbtCollide(&a, &b, nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
      engine.SetCalIntsersecLinFlag(1);
      engine.CalIntersectDots(&procc, a.GetCutMesh());
      auto& dct = CMeshIntersectProbe::DotCutTris(engine);
      for (long d : {18L, 23L}) {
        printf("dot %ld:", d);
        for (long t : dct[d]) printf(" %ld(%ld %ld %ld)", t, source.m_triangles[t].v[0], source.m_triangles[t].v[1], source.m_triangles[t].v[2]);
        printf("\n");
      }
      tcTriCutPair* pairs; long cnt;
      procc.GetCollideTriPair(&pairs, &cnt);
      for (long i = 0; i < cnt; ++i) {
        long t = pairs[i].triIndex1;
        const auto& tv = source.m_triangles[t].v;
        if (tv[0] == 1 || tv[1] == 1 || tv[2] == 1) printf("pair %ld: %ld (%ld %ld %ld) x %ld\n", i, t, tv[0], tv[1], tv[2], pairs[i].triIndex2);
      }
    }
  }
}

TEST(WatertightDebug, Pair) {
  Lcg rng{20261206};
  for (int nLat : {8, 10, 12}) {
    const KroSimpleMesh cut = Sphere({0, 0, 0}, 1, nLat);
    for (int k = 0; k < 8; ++k) {
      const V off = {0.9 + rng.Next(0.3), rng.Next(0.5), rng.Next(0.5)};
      if (nLat != 12 || k != 4) continue;
      KroSimpleMesh cutting = Sphere(off, 1, nLat + 2 * (k % 2));
      for (auto pr : {std::make_pair(24L, 143L), std::make_pair(25L, 143L)}) {
        V a[3], b[3];
        for (int q = 0; q < 3; ++q) { a[q] = cut.m_positions[cut.m_triangles[pr.first].v[q]]; b[q] = cutting.m_positions[cutting.m_triangles[pr.second].v[q]]; }
        auto et = [&](V& p, V& q, V* t, const char* nm) {
          V x; long pos = 0;
          int r = CMathFunCls::line_tri(&p.x, &q.x, &t[0].x, &t[1].x, &t[2].x, &x.x, &pos);
          if (r == 1) printf("  %s: %.12f %.12f %.12f pos %ld\n", nm, x.x, x.y, x.z, pos);
        };
        printf("pair %ld x %ld legal %d %d coplanar %d\n", pr.first, pr.second, (int)CMathFunCls::IsLegalTri(&a[0], &a[1], &a[2]), (int)CMathFunCls::IsLegalTri(&b[0], &b[1], &b[2]), (int)CMathFunCls::IsOnOneSurf_Tri_Tri(a[0], a[1], a[2], b[0], b[1], b[2]));
        et(a[0], a[1], b, "a01"); et(a[1], a[2], b, "a12"); et(a[0], a[2], b, "a02");
        et(b[0], b[1], a, "b01"); et(b[1], b[2], a, "b12"); et(b[0], b[2], a, "b02");
      }
    }
  }
}
