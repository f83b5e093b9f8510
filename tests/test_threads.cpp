// Different facades cutting at the same time in different threads must give
// exactly the pieces each gives alone: eight different cuts on four threads.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kromesh/cut/CKroMeshTriCut.h"
#include "support/Shapes.h"

using namespace shapes;

namespace {

// Every coordinate and index of the outputs as raw bytes: equal strings
// mean bit-for-bit equal pieces.
template <typename... Models>
std::string Bytes(const Models&... models) {
  std::string out;
  for (const TriSoup& s : {SoupOf(models)...}) {
    out.append(reinterpret_cast<const char*>(s.pts.data()), s.pts.size() * sizeof(Vec));
    out.append(reinterpret_cast<const char*>(s.tris.data()), s.tris.size() * sizeof(s.tris[0]));
    out += '|';
  }
  return out;
}

C3DSurface Terrain() {
  return MakeTerrain(12, 10, 0, 0, 1, 1);
}

struct Job {
  const char* name;
  std::function<std::string(CKroMeshTriCut&)> cut;
  std::string run() const {
    CKroMeshTriCut c;
    return cut(c);
  }
};

const std::vector<Job> kJobs = {
    {"surface by surface",
     [](CKroMeshTriCut& cut) {
       C3DSurface a = Terrain(), b = MakeTiltedPlane({6.3, 5, 0}, {1, 0.2, 0}, 9, 5), o[4];
       cut.CutMdlBetweenMdl(&a, &b, &o[0], &o[1], &o[2], &o[3], true, true);
       return Bytes(o[0], o[1], o[2], o[3]);
     }},
    {"curtain",
     [](CKroMeshTriCut& cut) {
       C3DSurface a = Terrain(), o[2];
       D_DOT line[3] = {{-1, 3}, {5, 6.2}, {13, 4}};
       cut.SetPosCheckPolyline(line, 3);
       cut.CutMdlBetweenMdl(&a, nullptr, &o[0], &o[1], nullptr, nullptr, true, true);
       return Bytes(o[0], o[1]);
     }},
    {"box by surface",
     [](CKroMeshTriCut& cut) {
       C3DEntity e = MakeUnitCube(), p[2];
       C3DSurface s = MakeTiltedPlane({0.5, 0.5, 0.45}, {0.1, 0.2, 1}, 2, 3), o[2];
       cut.CutMdlBetweenMdl(&e, &s, &o[0], &o[1], &p[0], &p[1], true);
       return Bytes(o[0], o[1], p[0], p[1]);
     }},
    {"sphere by surface, no cut faces",
     [](CKroMeshTriCut& cut) {
       C3DEntity e = MakeSphereEntity({0.5, 0.5, 0.5}, 0.6, 8, 12), p[2];
       C3DSurface s = MakeTiltedPlane({0.5, 0.5, 0.45}, {0.1, 0.2, 1}, 2, 3), o[2];
       cut.CutMdlBetweenMdl(&e, &s, &o[0], &o[1], &p[0], &p[1], false);
       return Bytes(o[0], o[1], p[0], p[1]);
     }},
    {"box by box, four pieces",
     [](CKroMeshTriCut& cut) {
       C3DEntity a = MakeUnitCube(), b = MakeBox({0.4, 0.3, 0.2}, {1.4, 1.3, 1.2}), p[4];
       cut.CalMdlBetweenMdl(&a, &b, &p[0], &p[1], &p[2], &p[3]);
       return Bytes(p[0], p[1], p[2], p[3]);
     }},
    {"box union sphere",
     [](CKroMeshTriCut& cut) {
       C3DEntity a = MakeUnitCube(), b = MakeSphereEntity({0.8, 0.6, 0.5}, 0.6, 8, 12), c;
       cut.CalMdlBetweenMdl(&a, &b, &c, Kro_Oper_Union);
       return Bytes(c);
     }},
    {"sphere and box, six outputs",
     [](CKroMeshTriCut& cut) {
       C3DEntity a = MakeSphereEntity({0.8, 0.6, 0.5}, 0.6, 8, 12), b = MakeUnitCube(), o[6];
       cut.CutMdlBetweenMdl(&a, &b, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]);
       return Bytes(o[0], o[1], o[2], o[3], o[4], o[5]);
     }},
    {"terrain by sphere surface",
     [](CKroMeshTriCut& cut) {
       const TriSoup sphere = SphereSoup({5, 5, 0.3}, 2.2, 8, 12);
       C3DSurface a = Terrain(), b = MakeSurface(sphere.pts, sphere.tris), o[4];
       cut.CutMdlBetweenMdl(&a, &b, &o[0], &o[1], &o[2], &o[3], true, true);
       return Bytes(o[0], o[1], o[2], o[3]);
     }},
};

TEST(Threads, ParallelCutsEqualSerialOnes) {
  std::vector<std::string> serial;
  for (const Job& j : kJobs) serial.push_back(j.run());
  const size_t nThreads = 4;
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> parallel(kJobs.size());
    std::vector<std::thread> threads;
    for (size_t t = 0; t < nThreads; ++t)
      threads.emplace_back([&, t] {
        for (size_t i = t; i < kJobs.size(); i += nThreads) parallel[i] = kJobs[i].run();
      });
    for (auto& th : threads) th.join();
    for (size_t i = 0; i < kJobs.size(); ++i) {
      EXPECT_GT(serial[i].size(), 8u) << kJobs[i].name << ": no pieces";
      EXPECT_TRUE(parallel[i] == serial[i]) << kJobs[i].name << ", round " << round;
    }
  }
}

}  // namespace
