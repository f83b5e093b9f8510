// Intersection engine of a cut.
//
// CMeshIntersect turns the colliding triangle pairs of two models (read from
// a collision processor) into intersection points and segments, chains the segments into cut lines,
// writes the cut model's mesh with the points appended into a result mesh, and finally
// re-triangulates every cut triangle so that the cut lines become triangle edges.
//
// Use per cut: CalIntersectDots(procc, resultMesh), then TranglateMdl().
// The first wrapper of the processor is the cut model (the one whose
// triangles are re-triangulated), the second the cutting model.
//
// A point is named by what produces it (the vertex, edge or face of each
// triangle that holds it) and built from that name alone, so cutting the
// first model by the second and the second by the first gives both the
// same points, bit for bit; every decision is an exact orientation test.
// Two points are one only when their names are; the data precision no
// longer moves or merges points (a merge would move a point off the edge
// or face it lies on in one of the two models and open their common seam).
//
// Position numbering of the result mesh: the cut model's positions first,
// then the intersection points in registration order, then the points the
// triangulator adds.
#pragma once

#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kromesh/intersect/ExactCut.h"
#include "kromesh/mesh/KroRecords.h"

class CObbtBase;
class CObbtObjProcc;
class KroSimpleMesh;

/// One segment of the chain of cut segments. dot0 and dot1 are intersection
/// point indices; -1 stands for no point (a pair of parallel triangles
/// records its overlap as (last point, -1)). used is 0 outside cut-line
/// tracing. The chain starts with a sentinel node (-1, -1).
struct tcCutSegNode {
  bool used;
  long dot0;
  long dot1;
  tcCutSegNode* next;
};

/// One edge of a re-triangulated cut mesh that lies on a cut line, in the
/// mesh's final numbering, with the triangle of the cutting model that made
/// it (in the cutting model's tree coordinates). sure is false when several
/// cutting triangles made it (it runs along an edge of the cutting model),
/// so that one of them alone does not tell the sides apart.
struct tcCutEdge {
  long v0, v1;
  KRO::G3D_DVertex cutter[3];
  bool sure;
};

class CMeshIntersect {
 public:
  /// Empty engine: no processor, no result mesh, no chain, line tracing off.
  CMeshIntersect();
  /// Copies flags, the processor and result-mesh pointers and all lists.
  /// The segment chain is copied node by node, so each object owns its own
  /// chain and frees it independently.
  CMeshIntersect(const CMeshIntersect& other);
  /// As the copy constructor; the previous chain of this object is freed.
  /// Self-assignment changes nothing.
  CMeshIntersect& operator=(const CMeshIntersect& other);
  /// Frees a segment chain still attached; the processor and the result
  /// mesh belong to the caller and are not touched.
  virtual ~CMeshIntersect();

  /// Runs the intersection stage over the pairs of procc (cut model =
  /// procc's first wrapper): registers the intersection points and segments,
  /// lists the cut triangles, traces the cut lines (when enabled) and fills
  /// finalMesh with the cut model's triangles and positions plus the points.
  /// Returns 1 on success; 0 when points were found but no triangle was
  /// recorded as cut; -1 when no intersection point was found, procc or its
  /// wrappers are missing, or an allocation failed. A null finalMesh skips
  /// the mesh (points and lines are still computed; TranglateMdl then
  /// fails). Neither procc nor finalMesh is owned; both must outlive
  /// TranglateMdl.
  long CalIntersectDots(CObbtObjProcc* procc, KroSimpleMesh* finalMesh);

  /// Chains the segments into cut lines when tracing is enabled
  /// (SetCalIntsersecLinFlag) and a chain exists; otherwise leaves the lines
  /// as they are. Tracing always stops: it follows each segment at most
  /// once, stops at points of degree three or more that have no free
  /// segment left and at dangling points, and never follows a segment with
  /// -1 as an end. An odd number of end points yields no line at all. The
  /// result is not a status: 1 when no open line was traced, otherwise the
  /// end-point position at which the last open line ended (-1 when it
  /// stopped elsewhere).
  long CalAllCutLines();

  /// Turns cut-line tracing on (nonzero) or off (0, the default).
  void SetCalIntsersecLinFlag(int flag);
  void GetCalIntsersecLinFlag(int& flag);

  /// Number of cut lines. An open line has distinct ends; a closed line
  /// repeats its first point index at its end.
  long GetIntersectLinNum();
  /// Assigns line i (intersection point indices) to *out: 1; 0 when out is
  /// null or i is out of range (*out untouched).
  long GetIntersectLin(long i, std::vector<long>* out);
  /// Assigns all lines to *out: 1; 0 when out is null.
  long GetIntersectLin(std::vector<std::vector<long>>* out);
  /// Coordinates of the points of line i in line order, replacing *out: 1;
  /// 0 when there is no line, i is out of range or out is null (*out
  /// untouched). After TranglateMdl the points carry the reference point.
  long GetIntersectLin(long i, std::vector<KRO::G3D_DVertex>* out);
  /// The same reduced to x and y.
  long GetIntersectLin(long i, std::vector<D_DOT>* out);
  /// All intersection points in index order, replacing *out: 1; -1 when out
  /// is null.
  long GetIntersectDot(std::vector<KRO::G3D_DVertex>* out);
  /// Index of the line with the most entries (the first on ties), its
  /// entries assigned to *out when out is given; -1 when there is no line.
  long GetLongestIntersectLin(std::vector<long>* out);

  /// Replaces every cut triangle in the result mesh by a constrained
  /// triangulation of its corners and the intersection points on it, with
  /// the cut segments on it as edges; then removes the replaced triangles
  /// and unused points and moves the registered intersection points by the
  /// cut model's reference point. A cut triangle that cannot be
  /// re-triangulated (no segment and no point on its edges, no plane, or
  /// the triangulation fails) stays as it is. Returns 1 on success; 0 when
  /// there is no cut triangle or the cut has been re-triangulated already
  /// (nothing changes); -1 when a buffer cannot be allocated, the engine
  /// has no result mesh or cut model, or the final assembly fails. Frees
  /// the segment chain except when returning 0.
  long TranglateMdl();

  /// The cut-line edges of the last re-triangulated cut mesh (empty before
  /// TranglateMdl succeeds).
  const std::vector<tcCutEdge>& GetCutEdges() const { return m_cutEdges; }
  /// Per triangle of the last re-triangulated cut mesh: 1 when it lies on a
  /// triangle of the cutting model facing the same way, -1 when on one
  /// facing the other way, 0 otherwise (empty when nothing lies on one).
  const std::vector<signed char>& GetCoplanarFlags() const { return m_finalCoplanar; }

 private:
  friend class CMeshIntersectProbe;  // white-box access for unit tests

  long GetIntersetcPntsFromTriPair(long pairIndex, long* d0, long* d1);
  void AddACutTri(long tri);
  long RegisterPnt(const kroexact::PntKey& key, const KRO::G3D_DVertex& p, long cutTri,
                   long anchor0, long anchor1);
  void ShareEdgePnts(tcCutSegNode* head);
  bool IsOnTriEdge(long dot, long tri) const;

  void SetAllCrossPntsNoInTri();

  long GetAllCutTriPntAndSeg(long* idx, long* nPts, void* segs, long* nSegs, long j, long tri);
  void BuildCutTriSegs();

  long NewFinalSimpMesh();
  long DeleteCutTinTris();
  void DeleteTinPnts(long triNum, C3DTriData* tris, long* pntNum, KRO::G3D_DVertex* pnts,
                     KRO::COLOR4* colors, KRO::G_TEXCOORD* texs);

  CObbtBase* GetCutObbt() const;
  CObbtBase* GetCuttingObbt() const;
  KroSimpleMesh* GetSrcMesh() const;
  long GetPairNum() const;

  void FreeSegChain();
  void CopyFrom(const CMeshIntersect& other);

  int m_calLinFlag;
  CObbtObjProcc* m_pObbtObjProcc;
  tcCutSegNode* m_pCutSegList;
  std::vector<std::vector<long>> m_cutTriPnts;
  std::vector<std::vector<long>> m_dotCutTris;
  std::vector<std::vector<long>> m_intersectLins;
  std::vector<long> m_cutTris;
  std::vector<KRO::G3D_DVertex> m_intersectDots;
  std::vector<unsigned char> m_triCutFlags;  // 1 where a triangle is re-triangulated
  KroSimpleMesh* m_pFinalMesh;
  long m_finalTriNum;

  // Look-up structures of one cut, derived from the state above: the
  // registered points by name (what produces them), and the constraint
  // segments (dot0, dot1 pairs) of every cut triangle.
  std::unordered_map<kroexact::PntKey, long, kroexact::PntKeyHash> m_pntKeys;
  std::vector<std::vector<long>> m_cutTriSegs;
  bool m_cutTriSegsReady;
  // Per registered point, where on the cut model it lies: two source vertex
  // indices (v0, v1) for a point on the edge v0-v1, (v, -1) for a point at
  // vertex v, (-1, -1) for a point inside a triangle. Every triangle along
  // an edge lists the points on it.
  std::vector<std::pair<long, long>> m_dotAnchors;
  // Per segment (smaller point index first): the cutting triangle that
  // made it, -2 when more than one did.
  std::map<std::pair<long, long>, long> m_segCutter;
  std::vector<tcCutEdge> m_cutEdges;
  // Segments of the pair being intersected (point index pairs) and whether
  // it found any point; a coplanar pair may give several segments.
  std::vector<long> m_pairSegs;
  bool m_pairTouched = false;
  // Cut-model triangles lying in the plane of cutting triangles: the
  // cutting triangle and 1 (same facing) or -1 (facing each other).
  std::map<long, std::vector<std::pair<long, int>>> m_coplanarOf;
  // Per triangle of the re-triangulated mesh: 1 or -1 when it lies on a
  // cutting triangle facing the same way or the other way, else 0.
  std::vector<signed char> m_finalCoplanar;
  signed char CoplanarFlag(long srcTri, const KRO::G3D_DVertex* t);
  void BuildCutEdges(const std::vector<long>& newIndex);
};
