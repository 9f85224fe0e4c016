// The identity header feeds the plug-in data call, the Windows resource script
// and the macOS bundle generator; the resource script can only take string
// lengths and packed numbers as they are written, so they must agree with the
// values they stand for.
#include "host/Identity.h"
#include "suites/HostInterface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::uint32_t fourCharCode(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

TEST(Identity, StringLengthsMatchTheirStrings) {
  struct Case {
    const char* what;
    const char* text;
    std::size_t length;
  };
  const Case cases[] = {
      {"ZF_NAME", ZF_NAME, ZF_NAME_LENGTH},
      {"ZF_MATCH_NAME", ZF_MATCH_NAME, ZF_MATCH_NAME_LENGTH},
      {"ZF_CATEGORY", ZF_CATEGORY, ZF_CATEGORY_LENGTH},
      {"ZF_ENTRY_POINT", ZF_ENTRY_POINT, ZF_ENTRY_POINT_LENGTH},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(std::strlen(c.text), c.length);
    // The host's limit for names, and the end of the resource script's tables.
    EXPECT_LE(c.length, 31u);
  }
}

TEST(Identity, KindIsAnAfterEffectsEffect) {
  EXPECT_EQ(static_cast<std::uint32_t>(ZF_KIND), fourCharCode("eFKT"));
}

TEST(Identity, PackedVersionIsTwoPointZeroDevelopBuildOne) {
  // major << 19 | minor << 15 | bug << 11 | stage << 9 | build, worked out by hand:
  // 2 << 19 = 0x00100000, stage develop = 0, build 1.
  EXPECT_EQ(ZF_VERSION, 0x00100000 + 1);
  EXPECT_EQ(ZF_VERSION, ZF_MAJOR_VERSION * 0x80000 + ZF_MINOR_VERSION * 0x8000 + ZF_BUG_VERSION * 0x800 +
                            ZF_STAGE_VERSION * 0x200 + ZF_BUILD_VERSION);
}

TEST(Identity, VersionTextSpellsFileVersionParts) {
  const std::string parts = std::to_string(ZF_MAJOR_VERSION) + "." + std::to_string(ZF_MINOR_VERSION) + "." +
                            std::to_string(ZF_BUG_VERSION) + "." + std::to_string(ZF_BUILD_VERSION);
  EXPECT_EQ(parts, ZF_VERSION_TEXT);
}

TEST(Identity, FlagWordsAreTheDeclaredCapabilities) {
  EXPECT_EQ(ZF_OUT_FLAGS, PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_USE_OUTPUT_EXTENT |
                              PF_OutFlag_I_EXPAND_BUFFER | PF_OutFlag_CUSTOM_UI |
                              PF_OutFlag_DEEP_COLOR_AWARE);
  EXPECT_EQ(ZF_OUT_FLAGS2, PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_REVEALS_ZERO_ALPHA |
                               PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE |
                               PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT |
                               PF_OutFlag2_SUPPORTS_THREADED_RENDERING);
}

}  // namespace
