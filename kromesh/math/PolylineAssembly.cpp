// Comparison of 3D polylines and assembly of discrete lines into polygons.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <vector>

#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/MeasureGeom.h"

using KRO::G3D_DVertex;
using namespace kromesh_measure;

namespace {

/// Line ends hashed on a grid whose cells are far larger than the point
/// tolerance: a point equal to p (within 1e-6 per axis) lies in p's cell,
/// or in the neighbouring cell on an axis where p is that close to the
/// border, so most searches look at one cell. Each cell keeps the ordered
/// numbers of the unused lines with an end in it, which lets the assembly
/// find "the first line at or after position k that continues the
/// polyline" without walking every line.
class EndpointGrid {
 public:
  explicit EndpointGrid(long nLines) { m_cells.reserve(static_cast<size_t>(2 * nLines)); }
  /// Lines must be inserted in increasing order of their numbers.
  void Insert(long line, const G3D_DVertex& p) {
    std::vector<long>& cell = m_cells[KeyOf(p)];
    if (cell.empty() || cell.back() != line) cell.push_back(line);
  }
  void Erase(long line, const G3D_DVertex& p) {
    auto it = m_cells.find(KeyOf(p));
    if (it == m_cells.end()) return;
    std::vector<long>& cell = it->second;
    auto pos = std::lower_bound(cell.begin(), cell.end(), line);
    if (pos != cell.end() && *pos == line) cell.erase(pos);
  }
  /// Smallest line number >= from with an end in a cell near p for which
  /// accept(line) holds; -1 when there is none.
  template <class Accept>
  long FindFrom(const G3D_DVertex& p, long from, Accept accept) const {
    int64_t lo[3], hi[3];
    Span(p.x, lo[0], hi[0]);
    Span(p.y, lo[1], hi[1]);
    Span(p.z, lo[2], hi[2]);
    long best = -1;
    for (int64_t x = lo[0]; x <= hi[0]; ++x)
      for (int64_t y = lo[1]; y <= hi[1]; ++y)
        for (int64_t z = lo[2]; z <= hi[2]; ++z) {
          auto it = m_cells.find(Key{x, y, z});
          if (it == m_cells.end()) continue;
          const std::vector<long>& cell = it->second;
          for (auto l = std::lower_bound(cell.begin(), cell.end(), from); l != cell.end(); ++l) {
            if (best >= 0 && *l >= best) break;
            if (accept(*l)) {
              best = *l;
              break;
            }
          }
        }
    return best;
  }

 private:
  static constexpr double kCell = 1e-4;
  // Reach of a search around p: the point tolerance with room for rounding.
  static constexpr double kReach = 2e-6;

  struct Key {
    int64_t x, y, z;
    bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
  };
  struct KeyHash {
    // Cells of neighbouring points differ in their low bits only; a full
    // avalanche mix keeps them from piling into a few buckets.
    static uint64_t Mix(uint64_t z) {
      z += 0x9E3779B97F4A7C15ull;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      return z ^ (z >> 31);
    }
    size_t operator()(const Key& k) const {
      return static_cast<size_t>(
          Mix(static_cast<uint64_t>(k.x) ^
              Mix(static_cast<uint64_t>(k.y) ^ Mix(static_cast<uint64_t>(k.z)))));
    }
  };
  static int64_t Cell(double v) {
    const double c = std::floor(v / kCell);
    // Far-out or non-finite coordinates share the outermost cells: slower,
    // never wrong, since every candidate is compared exactly afterwards.
    if (!(c > -4e18)) return INT64_MIN / 2;
    if (!(c < 4e18)) return INT64_MAX / 2;
    return static_cast<int64_t>(c);
  }
  static void Span(double v, int64_t& lo, int64_t& hi) {
    lo = Cell(v - kReach);
    hi = Cell(v + kReach);
  }
  static Key KeyOf(const G3D_DVertex& p) { return Key{Cell(p.x), Cell(p.y), Cell(p.z)}; }

  std::unordered_map<Key, std::vector<long>, KeyHash> m_cells;
};

class Assembler {
 public:
  Assembler(G3D_DVertex* pts, const long* counts, long nLines, G3D_DVertex* out, long* outCounts)
      : m_pts(pts),
        m_counts(counts),
        m_n(nLines),
        m_out(out),
        m_outCounts(outCounts),
        m_grid(nLines) {
    m_offset.resize(static_cast<size_t>(nLines));
    m_used.assign(static_cast<size_t>(nLines), false);
    long off = 0;
    for (long i = 0; i < nLines; ++i) {
      m_offset[static_cast<size_t>(i)] = off;
      off += counts[i] > 0 ? counts[i] : 0;
    }
    for (long i = 0; i < nLines; ++i) {
      if (Count(i) < 2) {
        m_used[static_cast<size_t>(i)] = true;  // not a line
        continue;
      }
      ++m_unused;
      m_grid.Insert(i, First(i));
      m_grid.Insert(i, Last(i));
    }
  }

  long Run() {
    RemoveRepeats();
    PassClosedLines();
    Chain();
    return m_nPoly;
  }

 private:
  long Count(long i) const { return m_counts[i]; }
  G3D_DVertex* Line(long i) const { return m_pts + m_offset[static_cast<size_t>(i)]; }
  const G3D_DVertex& First(long i) const { return Line(i)[0]; }
  const G3D_DVertex& Last(long i) const { return Line(i)[Count(i) - 1]; }
  bool Used(long i) const { return m_used[static_cast<size_t>(i)]; }

  void Mark(long i) {
    m_used[static_cast<size_t>(i)] = true;
    m_grid.Erase(i, First(i));
    m_grid.Erase(i, Last(i));
    --m_unused;
  }

  // A repeat of line i has an end equal to i's first point, so the grid
  // finds every candidate.
  void RemoveRepeats() {
    for (long i = 0; i < m_n; ++i) {
      if (Used(i)) continue;
      long from = i + 1;
      for (;;) {
        const long j = m_grid.FindFrom(First(i), from, [&](long k) {
          return CMathFunCls::IsSame3DLinF(Line(i), Count(i), Line(k), Count(k));
        });
        if (j < 0) break;
        Mark(j);
        from = j + 1;
      }
    }
  }

  void PassClosedLines() {
    for (long i = 0; i < m_n; ++i) {
      if (Used(i) || !Same3D(First(i), Last(i))) continue;
      const long n = Count(i);
      for (long k = 0; k < n; ++k) m_out[m_outPos + k] = Line(i)[k];
      m_out[m_outPos + n - 1] = Line(i)[0];
      m_outCounts[m_nPoly++] = n;
      m_outPos += n;
      Mark(i);
    }
  }

  void StartPolyline() {
    while (Used(m_cursor)) ++m_cursor;
    const long i = m_cursor;
    for (long k = 0; k < Count(i); ++k) m_out[m_outPos + k] = Line(i)[k];
    m_len = Count(i) - 1;
    m_start = First(i);
    m_end = Last(i);
    Mark(i);
  }

  /// One walk over the unused lines in order, attaching every line that
  /// continues the current end. True when something was attached.
  bool Pass() {
    bool attached = false;
    long from = 0;
    for (;;) {
      const G3D_DVertex e = m_end;
      const long j = m_grid.FindFrom(
          e, from, [&](long k) { return Same3D(Last(k), e) || Same3D(First(k), e); });
      if (j < 0) break;
      const long n = Count(j);
      G3D_DVertex* slot = m_out + m_outPos + m_len;
      if (Same3D(Last(j), e)) {
        for (long k = 0; k < n; ++k) slot[k] = Line(j)[n - 1 - k];
        m_end = First(j);
      } else {
        for (long k = 0; k < n; ++k) slot[k] = Line(j)[k];
        m_end = Last(j);
      }
      m_len += n - 1;
      Mark(j);
      from = j + 1;
      attached = true;
    }
    return attached;
  }

  void Chain() {
    bool open = false;
    for (;;) {
      if (!open) {
        if (m_unused == 0) break;
        StartPolyline();
        open = true;
      }
      if (m_unused == 0) break;
      const bool attached = Pass();
      if (Same3D(m_end, m_start)) {
        m_out[m_outPos + m_len] = m_start;
        m_outCounts[m_nPoly++] = m_len + 1;
        m_outPos += m_len + 1;
        open = false;
      } else if (!attached) {
        open = false;  // nothing continues this chain: drop it, reuse its slot
      }
    }
    if (open) m_outCounts[m_nPoly] = m_len + 1;  // written, not counted
  }

  G3D_DVertex* m_pts;
  const long* m_counts;
  long m_n;
  G3D_DVertex* m_out;
  long* m_outCounts;
  std::vector<long> m_offset;
  std::vector<bool> m_used;
  EndpointGrid m_grid;
  long m_unused = 0;
  long m_cursor = 0;
  long m_outPos = 0;
  long m_nPoly = 0;
  long m_len = 0;
  G3D_DVertex m_start{}, m_end{};
};

}  // namespace

bool CMathFunCls::IsSame3DLinF(G3D_DVertex* a, long na, G3D_DVertex* b, long nb) {
  if (!a || !b || na < 1 || na != nb) return false;
  const bool forward = Same3D(a[0], b[0]);
  for (long i = 0; i < na; ++i)
    if (!Same3D(a[i], forward ? b[i] : b[nb - 1 - i])) return false;
  return true;
}

bool CMathFunCls::IsSame3DLin(G3D_DVertex* va, long* ia, long na, G3D_DVertex* vb, long* ib,
                              long nb) {
  if (!va || !ia || !vb || !ib || na < 1 || na != nb) return false;
  const bool forward = Same3D(va[ia[0]], vb[ib[0]]);
  for (long i = 0; i < na; ++i)
    if (!Same3D(va[ia[i]], vb[ib[forward ? i : nb - 1 - i]])) return false;
  return true;
}

long CMathFunCls::ConstrPolysByDiscrtSegs(G3D_DVertex* pts, long* counts, long nLines,
                                          G3D_DVertex* out, long* outCounts, long* nOut) {
  if (nOut) *nOut = 0;
  if (!pts || !counts || !out || !outCounts || !nOut) return -1;
  if (nLines < 1) return 1;
  try {
    Assembler assembler(pts, counts, nLines, out, outCounts);
    *nOut = assembler.Run();
  } catch (const std::bad_alloc&) {
    *nOut = 0;
    return 0;
  }
  return 1;
}
