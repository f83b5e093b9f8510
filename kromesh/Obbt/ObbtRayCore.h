// Internal: the ray roads shared by CObbtObjProcc and the tree queries of
// CMathFunCls. Not part of the public interface.
#pragma once

#include <functional>
#include <vector>

#include "kromesh/mesh/KroRecords.h"

class RAPID_model;
struct tcTriCutPair;

namespace KroObbtRay {

/// Copies the contacts of the query that just ran into pairs (replacing its
/// content). Must run before any OBB model is destroyed. Throws
/// std::bad_alloc when the copy cannot be allocated.
void CopyContacts(std::vector<tcTriCutPair>& pairs);

/// Vertices of the model's triangle at position i; false when the model is
/// null or i is out of range.
bool ReadTri(RAPID_model* model, long i, KRO::G3D_DVertex tri[3]);

/// The ray triangle of origin along dir: far end and third corner. False
/// for a zero direction (no triangle).
bool RayTriangle(const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                 KRO::G3D_DVertex& farEnd, KRO::G3D_DVertex& third);

/// From the candidate triangles (contact order) keeps those whose plane the
/// line through origin along dir meets inside the triangle and on the ray's
/// line, drops later ones with the same meeting point, and writes the rest
/// into tris (and their meeting points into hits when given). Returns the
/// number written.
long SelectCrossings(RAPID_model* model, const std::vector<long>& cands,
                     const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                     const KRO::G3D_DVertex& farEnd, long* tris, KRO::G3D_DVertex* hits);

/// SelectCrossings into vectors, grown to the candidates' count when they
/// are shorter (never shrunk, so buffers kept by the caller stop
/// allocating). Throws std::bad_alloc when they cannot grow.
long SelectCrossingsInto(RAPID_model* model, const std::vector<long>& cands,
                         const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                         const KRO::G3D_DVertex& farEnd, std::vector<long>& tris,
                         std::vector<KRO::G3D_DVertex>* hits);

/// Crossing list from origin along dir: fills the first entries of tris
/// and hits (growing them as needed) and returns their count, or -1 when
/// memory ran out.
using CrossingListFn =
    std::function<long(const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                       std::vector<long>& tris, std::vector<KRO::G3D_DVertex>& hits)>;

/// Point in solid by ray parity with bounded direction restarts (codes of
/// CObbtObjProcc::_CheckPntAndPolyhWithObbt). surfaceFirst: test every
/// listed triangle for the point before counting (the CMathFunCls road);
/// otherwise one pass does both.
long PointInSolid(RAPID_model* model, const KRO::G3D_DVertex& pnt, bool& onSurface,
                  const CrossingListFn& list, bool surfaceFirst);

}  // namespace KroObbtRay
