// Region search over a re-triangulated surface.
//
// After a surface has been re-triangulated along its cut lines, its
// triangles fall into pieces that meet only along those lines. CBFSearch
// floods from triangle 0 over triangle neighbours without crossing an edge
// whose two ends are cut points, and gathers every triangle the flood did
// not reach into a second piece. CQqtype is the fixed-capacity ring queue of
// triangle indices the flood uses; a finished queue is the list of its piece.
#pragma once

#include <vector>

#include "kromesh/mesh/KroRecords.h"

/// Fixed-capacity ring queue of triangle indices.
///
/// front is the slot last removed and rear the slot last filled (both -1
/// after set-up); the queue is empty when they are equal. count is the
/// number of entries appended since set-up (removal does not lower it), so
/// as long as the queue never wraps, slots 0 .. count - 1 hold the appended
/// entries in order.
class CQqtype {
 public:
  /// An unusable queue: capacity 0, front = rear = -1, count 0.
  CQqtype();
  virtual ~CQqtype();
  /// Copies front, rear, count, capacity and the slots.
  CQqtype(const CQqtype& other) = default;
  CQqtype& operator=(const CQqtype& other) = default;

  /// Empties the queue and gives it n slots (a negative n counts as 0).
  void InitiateQQueue(long n);
  /// Appends x after the last entry: 1, or 0 when the queue is full or has
  /// no slots (nothing is overwritten).
  long AppendQQueue(long x);
  /// Removes and returns the oldest entry; 0 when the queue is empty or has
  /// no slots (indistinguishable from an entry 0: test IsEmptyQQueue first).
  long DeleteQQueue();
  /// True when front equals rear.
  bool IsEmptyQQueue() const;
  /// True when no further entry fits: the slot after rear is front, or a
  /// fresh queue already holds capacity entries, or the queue has no slots.
  bool IsFullQQueue() const;
  /// front = rear = -1, count = 0; slots and capacity are kept.
  void ResetBuf();

  /// Entries appended since set-up (removals included).
  long GetCount() const { return m_count; }
  long GetCapacity() const { return m_capacity; }
  long GetFront() const { return m_front; }
  long GetRear() const { return m_rear; }
  /// First slot of the buffer (null without slots); owned by the queue.
  const long* GetBuf() const { return m_buf.empty() ? nullptr : m_buf.data(); }
  long* GetBuf() { return m_buf.empty() ? nullptr : m_buf.data(); }

 private:
  long m_front;
  long m_rear;
  long m_count;
  std::vector<long> m_buf;
  long m_capacity;
};

/// Record handed out by CBFSearch::GetResObj; it carries no content.
struct KROTriStru {};

/// Flood fill of triangle regions bounded by cut lines.
///
/// Calling order: InitSeachObj, SplitObj, then GetResObjNum and
/// GetSurfTriList for each piece. The vertex, triangle, neighbour and cut
/// point arrays stay the caller's and must outlive the searches.
class CBFSearch {
 public:
  /// No mesh, no pieces, no marks.
  CBFSearch();
  virtual ~CBFSearch();
  /// Copies the mesh pointers, counts and pieces, and the marks themselves
  /// (each object owns its own marks).
  CBFSearch(const CBFSearch& other);
  CBFSearch& operator=(const CBFSearch& other);

  /// Stores the mesh and its cut points, fills neighbours[0 .. triangleCount
  /// - 1] with the neighbour across each triangle edge (-1 for none) and
  /// replaces the marks by triangleCount zeroed entries. A null neighbours
  /// array is replaced by one the object owns. An empty mesh (no triangles
  /// or triangleCount < 1) leaves the object without marks, so later
  /// searches find nothing. Triangle corners outside 0 .. vertexCount - 1
  /// never make two triangles neighbours.
  void InitSeachObj(KRO::G3D_DVertex* vertices, long vertexCount, C3DTriData* triangles,
                    C3DTriaTop* neighbours, long triangleCount, KRO::G3D_DVertex* cutPoints,
                    long cutPointCount);
  /// Floods from seed into queue: every triangle reached over edges that are
  /// not cut edges gets the mark seed + 1 and is appended to queue in flood
  /// order. Does nothing for a null queue, a mesh not set up, or a seed
  /// outside 0 .. triangle count - 1. The queue must have room for every
  /// triangle it may receive; a triangle the queue refuses stays unmarked.
  void Search(CQqtype* queue, long seed);
  /// True when both a and b lie within 0.01 per axis (strictly) of some cut
  /// point, the two matches searched independently. False without cut
  /// points.
  bool judgeInterLin(KRO::G3D_DVertex& a, KRO::G3D_DVertex& b);
  /// Builds the pieces: piece 0 is the flood from triangle 0, piece 1 (only
  /// when not empty) every triangle the flood did not reach, in index order.
  /// An empty mesh gives no pieces. Run once per InitSeachObj.
  void SplitObj();
  /// Number of pieces: 0, 1 or 2.
  long GetResObjNum() const;
  /// *list = piece i's triangle indices (owned by this object, valid until
  /// the next SplitObj, InitSeachObj or destruction), *n = their number.
  /// For i out of range *list = null and *n = 0. Null outputs are skipped.
  void GetSurfTriList(long i, long** list, long* n);
  /// Always null.
  KROTriStru* GetResObj(long i);
  /// Do nothing.
  void GetOneTinData(long i);
  void AdjustTriDataByObjNo(long i);

  /// Mark of triangle t (0 when no flood reached it, else the flood's seed +
  /// 1); -1 when t is out of range or no mesh is set up.
  long GetMark(long t) const;

 private:
  bool IsVertexIndex(long v) const { return v >= 0 && v < m_vertexCount && m_pVertices; }
  bool IsCutEdge(long va, long vb);
  bool MatchesCutPoint(const KRO::G3D_DVertex& p) const;
  void SortCutPoints();

  KRO::G3D_DVertex* m_pVertices;
  C3DTriData* m_pTriangles;
  C3DTriaTop* m_pNeighbours;
  long m_triCount;
  long m_vertexCount;
  KRO::G3D_DVertex* m_pCutPoints;
  long m_cutPointCount;
  std::vector<CQqtype> m_pieces;
  std::vector<long> m_marks;

  // Neighbour records when the caller gave no array.
  std::vector<C3DTriaTop> m_ownNeighbours;
  // Cut point indices sorted along the axis of their widest spread, so that
  // matching an edge end looks only at the points near it on that axis.
  std::vector<long> m_cutOrder;
  int m_cutAxis;
};
