#include "kromesh/mesh/KroVersion.h"

const char* KroMeshVersion() {
  return "0.1.0";
}
