// What a Windows host reads from the .aex before sending it any command: the
// property list resource and the version resource, read from the loaded
// module. The property list is compared with bytes written out by hand from
// the host's Windows layout.
#include "host/Identity.h"
#include "testhost/Effect.h"
#include "testhost/Host.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
static_assert(kEnglishUS == 1033, "English (United States)");

struct LoadedModule {
  HMODULE handle = LoadLibraryA(ZF_PLUGIN_PATH);
  LoadedModule() = default;
  LoadedModule(LoadedModule const&) = delete;
  LoadedModule& operator=(LoadedModule const&) = delete;
  ~LoadedModule() {
    if (handle != nullptr) {
      FreeLibrary(handle);
    }
  }
};

HMODULE plugin() {
  static const LoadedModule module;
  return module.handle;
}

Bytes resource(char const* type, WORD id, WORD language) {
  HRSRC info = FindResourceExA(plugin(), type, MAKEINTRESOURCEA(id), language);
  if (info == nullptr) {
    return {};
  }
  HGLOBAL loaded = LoadResource(plugin(), info);
  auto const* data = static_cast<unsigned char const*>(LockResource(loaded));
  if (data == nullptr) {
    return {};
  }
  return Bytes(data, data + SizeofResource(plugin(), info));
}

// --- The Windows property list, as literal bytes ------------------------------
// Written out by hand from the host's Windows layout, never from the identity
// header or the resource script: a 16-bit reserved word 1, a 32-bit version 0
// and count, then per property the vendor and key as little-endian 32-bit codes
// ('8BIM' is "MIB8"), a 32-bit id 0, a 32-bit data length, and the data.
// Integers are little-endian; string items are padded with NULs to 4 bytes and
// their length counts the padding.

constexpr char kListHeader[] = "0100 00000000 0c000000";

struct Property {
  char const* key;
  char const* hex;  // vendor, key, id, length, data
};

const Property kProperties[] = {
    // 'eFKT' as a 32-bit code.
    {"kind", "4d494238 646e696b 00000000 04000000 544b4665"},
    // Length byte 27, "Zarnit Chromatic Aberration": 28 bytes, no padding.
    {"name",
     "4d494238 656d616e 00000000 1c000000 1b 5a61726e6974 20 4368726f6d61746963 20 416265727261"
     "74696f6e"},
    // Length byte 6, "Zarnit", one NUL of padding.
    {"catg", "4d494238 67746163 00000000 08000000 06 5a61726e6974 00"},
    // "EffectMain", its NUL and one NUL of padding.
    {"8664", "4d494238 34363638 00000000 0c000000 456666656374 4d61696e 00 00"},
    // Two 16-bit words, major first: 2.0 and 13.27.
    {"ePVR", "4d494238 52565065 00000000 04000000 0200 0000"},
    {"eSVR", "4d494238 52565365 00000000 04000000 0d00 1b00"},
    // 0x00100001.
    {"eVER", "4d494238 52455665 00000000 04000000 01001000"},
    // Length 2, then a 32-bit 0 that keeps the next property aligned.
    {"eINF", "4d494238 464e4965 00000000 02000000 00000000"},
    // 0x02008244 and 0x08021488.
    {"eGLO", "4d494238 4f4c4765 00000000 04000000 44820002"},
    {"eGL2", "4d494238 324c4765 00000000 04000000 88140208"},
    // Length byte 16, "zarnit_chromaber", three NULs of padding.
    {"eMNA", "4d494238 414e4d65 00000000 14000000 10 7a61726e69745f6368726f6d61626572 000000"},
    {"aeFL", "4d494238 4c466561 00000000 04000000 08000000"},
};

std::string withoutSpaces(char const* hex) {
  std::string out;
  for (char const* c = hex; *c != '\0'; ++c) {
    if (*c != ' ') {
      out.push_back(*c);
    }
  }
  return out;
}

std::string hexOf(Bytes const& bytes, std::size_t at, std::size_t count) {
  static char const digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = at; i < at + count && i < bytes.size(); ++i) {
    out.push_back(digits[bytes[i] >> 4]);
    out.push_back(digits[bytes[i] & 15]);
  }
  return out;
}

std::uint32_t readLittleEndian(Bytes const& bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = value << 8 | bytes.at(at + static_cast<std::size_t>(i));
  }
  return value;
}

// The data of the property with this key, found by walking the list as a host
// does: each property starts on the 4-byte boundary after the one before.
Bytes propertyData(Bytes const& list, char const (&key)[5]) {
  const Bytes wanted(std::rbegin(key) + 1, std::rend(key));
  std::size_t at = 10;
  while (at + 16 <= list.size()) {
    const std::size_t length = readLittleEndian(list, at + 12, 4);
    if (at + 16 + length > list.size()) {
      break;
    }
    if (Bytes(list.begin() + at + 4, list.begin() + at + 8) == wanted) {
      return Bytes(list.begin() + at + 16, list.begin() + at + 16 + length);
    }
    at += 16 + (length + 3) / 4 * 4;
  }
  return {};
}

// --- Tests -------------------------------------------------------------------

TEST(WindowsPlugin, LoadsAndExportsBothEntryPoints) {
  ASSERT_NE(plugin(), nullptr) << "LoadLibrary(" << ZF_PLUGIN_PATH << ") failed: " << GetLastError();
  EXPECT_NE(reinterpret_cast<void*>(GetProcAddress(plugin(), "EffectMain")), nullptr);
  EXPECT_NE(reinterpret_cast<void*>(GetProcAddress(plugin(), "PluginDataEntryFunction")), nullptr);
}

TEST(WindowsPlugin, PropertyListIsTypePIPLId16000InEnglishUS) {
  ASSERT_NE(plugin(), nullptr);
  EXPECT_NE(FindResourceExA(plugin(), "PIPL", MAKEINTRESOURCEA(16000), kEnglishUS), nullptr);
  // Resource type names are matched without regard to case, as hosts spell it "PiPL".
  EXPECT_NE(FindResourceExA(plugin(), "PiPL", MAKEINTRESOURCEA(16000), kEnglishUS), nullptr);
}

TEST(WindowsPlugin, PropertyListIsByteForByteTheHostsWindowsForm) {
  const Bytes actual = resource("PIPL", 16000, kEnglishUS);
  std::size_t at = 0;
  const std::string header = withoutSpaces(kListHeader);
  EXPECT_EQ(hexOf(actual, at, header.size() / 2), header) << "list header";
  at += header.size() / 2;
  for (Property const& property : kProperties) {
    SCOPED_TRACE(std::string("property '") + property.key + "' at byte " + std::to_string(at));
    const std::string expected = withoutSpaces(property.hex);
    EXPECT_EQ(hexOf(actual, at, expected.size() / 2), expected);
    at += expected.size() / 2;
  }
  EXPECT_EQ(at, actual.size()) << "bytes after the last property";
}

// The list is read before any code runs, so its values must be the ones the
// code reports once loaded: the flag words from global setup, the interface
// version from the plug-in data call.
TEST(WindowsPlugin, PropertyListAgreesWithWhatTheLoadedCodeReports) {
  const Bytes list = resource("PIPL", 16000, kEnglishUS);
  const Bytes flags = propertyData(list, "eGLO");
  const Bytes flags2 = propertyData(list, "eGL2");
  const Bytes apiVersion = propertyData(list, "eSVR");
  ASSERT_EQ(flags.size(), 4u);
  ASSERT_EQ(flags2.size(), 4u);
  ASSERT_EQ(apiVersion.size(), 4u);

  testhost::Host host(testhost::App::AfterEffects);
  testhost::Effect effect(host, ZF_PLUGIN_PATH);
  const testhost::PluginDataResult declared = effect.declare();
  ASSERT_EQ(declared.calls.size(), 1u);
  EXPECT_EQ(readLittleEndian(apiVersion, 0, 2),
            static_cast<std::uint32_t>(declared.calls[0].apiVersionMajor));
  EXPECT_EQ(readLittleEndian(apiVersion, 2, 2),
            static_cast<std::uint32_t>(declared.calls[0].apiVersionMinor));

  const testhost::CommandResult setup = effect.globalSetup();
  ASSERT_EQ(setup.err, PF_Err_NONE);
  EXPECT_EQ(readLittleEndian(flags, 0, 4), static_cast<std::uint32_t>(setup.out.out_flags));
  EXPECT_EQ(readLittleEndian(flags2, 0, 4), static_cast<std::uint32_t>(setup.out.out_flags2));
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(WindowsPlugin, VersionResourceCarriesFileAndProductVersion) {
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeA(ZF_PLUGIN_PATH, &unused);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(ZF_PLUGIN_PATH, 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
  ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // 2.0.0.1: two 16-bit parts in each half.
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  struct Text {
    char const* key;
    std::string expected;
  };
  const Text texts[] = {
      {"ProductName", "Zarnit Chromatic Aberration"},
      {"FileDescription", ZF_NAME},
      {"FileVersion", "2.0.0.1"},
      {"ProductVersion", "2.0.0.1"},
      {"OriginalFilename", "ZarnitFringe.aex"},
  };
  for (Text const& text : texts) {
    SCOPED_TRACE(text.key);
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904b0\\") + text.key;
    ASSERT_TRUE(VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::string(value), text.expected);
  }
}

}  // namespace
