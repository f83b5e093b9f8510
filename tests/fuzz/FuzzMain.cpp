// libFuzzer entry point; FUZZ_TARGET names the check (see FuzzChecks.h).
#include <cstdio>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool strict = fuzzchecks::StrictFromEnv();
  static fuzzchecks::Target target = [] {
    fuzzchecks::Target t;
    if (!fuzzchecks::TargetByName(FUZZ_TARGET, t)) std::abort();
    return t;
  }();
  const std::string bad = fuzzchecks::Check(target, data, size, strict);
  if (!bad.empty()) {
    std::fprintf(stderr, "fuzz %s: %s\n", FUZZ_TARGET, bad.c_str());
    std::abort();
  }
  return 0;
}
