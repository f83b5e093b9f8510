// A program outside the source tree that uses the installed library.
#include <kromesh/KroMeshTriCut.h>

#include <cstdio>

int main() {
  tctagD3ConvexBox box = KroEmptyD3Box();
  if (box.xmin != KRO_EMPTY_BOX_MIN) return 1;
  if (!KroMeshVersion()) return 1;
  std::printf("kromesh found\n");
  return 0;
}
