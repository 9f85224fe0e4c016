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

std::uint32_t fourCharCode(char const (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

TEST(Identity, StringLengthsMatchTheirStrings) {
  struct Case {
    char const* what;
    char const* text;
    std::size_t length;
  };
  const Case cases[] = {
      {"ZF_NAME", ZF_NAME, ZF_NAME_LENGTH},
      {"ZF_MATCH_NAME", ZF_MATCH_NAME, ZF_MATCH_NAME_LENGTH},
      {"ZF_CATEGORY", ZF_CATEGORY, ZF_CATEGORY_LENGTH},
      {"ZF_ENTRY_POINT", ZF_ENTRY_POINT, ZF_ENTRY_POINT_LENGTH},
  };
  for (Case const& c : cases) {
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

// The words the property lists carry, summed by hand from the flags' values:
// 0x4 + 0x40 + 0x200 + 0x8000 + 0x02000000, and 0x8 + 0x80 + 0x400 + 0x1000
// + 0x20000 + 0x08000000.
TEST(Identity, FlagWordsAreTheDeclaredCapabilities) {
  EXPECT_EQ(ZF_OUT_FLAGS, 0x02008244);
  EXPECT_EQ(ZF_OUT_FLAGS2, 0x08021488);
}

}  // namespace
