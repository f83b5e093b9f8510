// Properties checked on arbitrary bytes: by the fuzz targets (libFuzzer)
// and, for every input that ever failed, by the regression test of the
// normal suite. Each check returns "" when the input passes, else what went
// wrong; the callers decide whether that aborts or fails a test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzchecks {

enum class Target { Obj, Ply, Stl, Off, Tsurf, Facade, Queries };

/// Target by its short name (obj, ply, stl, off, tsurf, facade, queries);
/// false for any other.
bool TargetByName(const std::string& name, Target& t);
const char* TargetName(Target t);

/// Readers: the bytes either read into a valid model (indices in range,
/// coordinates finite) or fail with a message; a model that reads is
/// written (every encoding of the format) and read back to the same
/// model. An OBJ input may carry its .mtl after a line "#mtl".
std::string CheckReader(Target t, const uint8_t* data, std::size_t size);

/// The cut facade on two small meshes decoded from the bytes. Safety
/// always (outputs in range and finite); with strict also closed Boolean
/// results, the volume identities and the area balance of surface cuts.
std::string CheckFacade(const uint8_t* data, std::size_t size, bool strict);

/// Point in solid and side of a closed surface against a winding-number
/// reference, for points away from the surface.
std::string CheckQueries(const uint8_t* data, std::size_t size);

std::string Check(Target t, const uint8_t* data, std::size_t size, bool strict);

/// KROMESH_FUZZ_STRICT=0 in the environment limits the facade to safety.
bool StrictFromEnv();

}  // namespace fuzzchecks
