// Properties checked on arbitrary bytes: by the fuzz targets (libFuzzer)
// and, for every input that ever failed, by the regression test of the
// normal suite. A check returns "" when the input passes, else what went
// wrong; the callers decide whether that aborts or fails a test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzchecks {

/// Readers (obj, ply, stl, off, tsurf): the bytes read into a valid model
/// (indices in range, coordinates finite) or fail with a message; a model
/// that reads is written in every encoding of its format and reads back to
/// the same triangles. An OBJ input may carry its .mtl after a line "#mtl".
/// facade: the cut facade on two small meshes decoded from the bytes; outputs
/// in range and finite, with strict also closed Boolean results, the volume
/// identities and the area balance of surface cuts.
/// queries: point in solid and side of a closed surface against a
/// winding-number reference, for points away from the surface.
enum class Target { Obj, Ply, Stl, Off, Tsurf, Facade, Queries };

/// Target by its short name (obj, ply, stl, off, tsurf, facade, queries);
/// false for any other.
bool TargetByName(const std::string& name, Target& t);

std::string Check(Target t, const uint8_t* data, std::size_t size, bool strict);

/// KROMESH_FUZZ_STRICT=0 in the environment limits the facade to safety.
bool StrictFromEnv();

}  // namespace fuzzchecks
