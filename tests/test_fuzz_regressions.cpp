// Every input that ever failed a fuzz target (tests/data/regressions,
// named <target>-<what>) through the same checks as the fuzzer, the cut
// facade's inputs with its strict properties (closed results, volume and
// area identities).
#include <dirent.h>
#include <gtest/gtest.h>

#include "FuzzChecks.h"
#include "support/ToolModels.h"

TEST(FuzzRegressions, EveryStoredInputPassesItsTargetChecks) {
  std::vector<std::string> files;
  if (DIR* d = opendir(REGRESSION_DIR)) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') files.push_back(e->d_name);
    closedir(d);
  }
  ASSERT_FALSE(files.empty()) << "no inputs in " << REGRESSION_DIR;
  for (const auto& f : files) {
    fuzzchecks::Target t;
    ASSERT_TRUE(fuzzchecks::TargetByName(f.substr(0, f.find('-')), t)) << f << ": unknown target";
    const std::string data = toolmodels::ReadText(REGRESSION_DIR "/" + f);
    EXPECT_EQ(fuzzchecks::Check(t, reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                                t == fuzzchecks::Target::Facade),
              "")
        << f;
  }
}
