// Result record of one triangle measured against a reference height.
#pragma once

#include <type_traits>

/// Areas and volumes of one triangle against the plane z = z0, eight
/// doubles in this order. CalTriangleVolume writes only the fields of the
/// case at hand, so a caller zeroes the record before each triangle.
struct VolumeInfoStrcT1 {
  double planAreaAbove;  // xy-projected area of the part above z0
  double planAreaBelow;  // xy-projected area of the part below z0
  double planAreaLevel;  // projected area of a triangle lying at z0 (within 1e-6)
  double spare;          // reserved for the caller; the library never writes it
  double surfAreaAbove;  // true (sloping) area of the part above z0
  double surfAreaBelow;  // true area of the part below z0
  double volumeAbove;    // cut volume between the part above z0 and z = z0, >= 0
  double volumeBelow;    // fill volume between z = z0 and the part below it, >= 0
};

static_assert(std::is_standard_layout<VolumeInfoStrcT1>::value &&
                  std::is_trivially_copyable<VolumeInfoStrcT1>::value &&
                  sizeof(VolumeInfoStrcT1) == 8 * sizeof(double),
              "eight doubles, copied as raw memory");
