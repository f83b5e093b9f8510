// Library version, for hosts that log what they link against.
#pragma once

/// Version string of the library, "major.minor.patch". Never null.
const char* KroMeshVersion();
