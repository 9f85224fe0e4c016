// --version reports the plug-in as the plug-in itself declares it: the
// stand-in that fails renders declares another name, and a version of 0.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace {

TEST(Version, ReportsTheToolAndTheLoadedPluginsOwnIdentityAndVersion) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      // The effect's declaration, and 0x00100001 unpacked: 2 << 19 | 0 << 15 |
      // 0 << 11 | develop (0) << 9 | build 1.
      {{"--version"},
       {"zarnit-render " ZF_PROJECT_VERSION "\n", "  name         Zarnit Chromatic Aberration\n",
        "  match name   zarnit_chromaber\n", "  category     Zarnit\n", "  entry point  EffectMain\n",
        "  kind         eFKT, effect interface 13.27\n",
        "  version      2.0.0, develop stage, build 1 (0x00100001)\n",
        "  about        Zarnit Chromatic Aberration, v2.0\n"}},
      {{"--version", "--plugin", ZF_FAILING_EFFECT},
       {"  name         Failing Effect\n", "  match name   failing_effect\n", "  category     Tests\n",
        "  version      0.0.0, develop stage, build 0 (0x00000000)\n"}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.args.back());
    auto const r = tooltest::runTool(c.args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (std::string const& line : c.lines) {
      EXPECT_NE(r.out.find(line), std::string::npos) << line << "in:\n" << r.out;
    }
  }
}

}  // namespace
