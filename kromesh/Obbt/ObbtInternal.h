// Internals of the OBB tree core shared by its source files and its tests.
// Not part of the library's contract.
#pragma once

#include <cstddef>
#include <cstdint>

namespace obbt_detail {

/// Eigenvectors (columns of vecs, row-major) and eigenvalues of the
/// symmetric 3x3 matrix a by cyclic Jacobi rotations. Returns the number of
/// sweeps used; after 50 sweeps without convergence it raises a warning
/// (KroWarning), returns 50 and leaves vecs and vals unwritten.
int JacobiEigen(const double a[3][3], double vecs[3][3], double vals[3]);

/// JacobiEigen, then the eigenvector of the largest eigenvalue moved to
/// column 0 (columns 1 and 2 in no particular order). Same result.
int SortedEigenvectors(const double a[3][3], double vecs[3][3]);

/// Separation test of box A (axes = identity, half-extents a) and box B
/// (orientation B, centre T, half-extents b, in A's frame). Returns the
/// number (1..15) of the first separating axis, or 0 when they overlap.
int BoxSeparation(const double B[3][3], const double T[3], const double a[3], const double b[3]);

/// Exact overlap test of triangles (p1, p2, p3) and (q1, q2, q3) over 17
/// candidate axes. Touching counts as overlap; degenerate triangles never
/// separate on their vanishing axes.
bool TrianglesOverlap(const double p1[3], const double p2[3], const double p3[3],
                      const double q1[3], const double q2[3], const double q3[3]);

/// Empties the calling thread's contact list and frees its array.
void FreeContacts();

/// Test hooks: lower the triangle limit of AppendTri (0 restores
/// OBBT_MAX_TRIS) and cap the contact list's capacity (0 = no cap), to reach
/// the refusal paths without gigabytes of input.
void SetTriLimitForTesting(int32_t limit);
void SetContactCapacityLimitForTesting(std::size_t limit);
int32_t TriLimit();

}  // namespace obbt_detail
