// tricut: cut triangulated 3D models against each other from the command
// line. Everything lives in tricut_core; see Cli.h.
#include "Cli.h"

int main(int argc, char** argv) {
  return tricut::Main(argc, argv);
}
