// What a Windows host reads from the .aex before sending it any command: the
// property list resource and the version resource, read from the loaded
// module. The expected property list is built here from the identity header by
// the host's published Windows layout, apart from the resource script.
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
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
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

Bytes resource(const char* type, WORD id, WORD language) {
  HRSRC info = FindResourceExA(plugin(), type, MAKEINTRESOURCEA(id), language);
  if (info == nullptr) {
    return {};
  }
  HGLOBAL loaded = LoadResource(plugin(), info);
  const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
  if (data == nullptr) {
    return {};
  }
  return Bytes(data, data + SizeofResource(plugin(), info));
}

// --- The Windows layout, written out independently ---------------------------

void putLittleEndian(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<unsigned char>(value >> (8 * i)));
  }
}

Bytes word32(std::uint32_t value) {
  Bytes out;
  putLittleEndian(out, value, 4);
  return out;
}

// A four-character code is stored as its 32-bit value, little-endian: '8BIM' reads "MIB8".
Bytes code(const std::string& text) {
  Bytes out(text.rbegin(), text.rend());
  return out;
}

Bytes paddedTo4(Bytes data) {
  while (data.size() % 4 != 0) {
    data.push_back(0);
  }
  return data;
}

Bytes pascalString(const std::string& text) {
  Bytes out{static_cast<unsigned char>(text.size())};
  out.insert(out.end(), text.begin(), text.end());
  return paddedTo4(out);
}

Bytes cString(const std::string& text) {
  Bytes out(text.begin(), text.end());
  out.push_back(0);
  return paddedTo4(out);
}

// Major in the high half of the word.
Bytes versionPair(std::uint32_t major, std::uint32_t minor) {
  return word32(major << 16 | minor);
}

struct Property {
  std::string key;
  Bytes data;
};

std::vector<Property> expectedProperties() {
  return {
      {"kind", word32(ZF_KIND)},
      {"name", pascalString(ZF_NAME)},
      {"catg", pascalString(ZF_CATEGORY)},
      {"8664", cString(ZF_ENTRY_POINT)},
      {"ePVR", versionPair(ZF_PIPL_MAJOR, ZF_PIPL_MINOR)},
      {"eSVR", versionPair(ZF_API_MAJOR, ZF_API_MINOR)},
      {"eVER", word32(ZF_VERSION)},
      {"eINF", word32(ZF_INFO_FLAGS)},
      {"eGLO", word32(ZF_OUT_FLAGS)},
      {"eGL2", word32(ZF_OUT_FLAGS2)},
      {"eMNA", pascalString(ZF_MATCH_NAME)},
      {"aeFL", word32(ZF_RESERVED_INFO)},
  };
}

Bytes expectedPropertyList() {
  const std::vector<Property> properties = expectedProperties();
  Bytes out;
  putLittleEndian(out, 1, 2);  // reserved
  putLittleEndian(out, 0, 4);  // version
  putLittleEndian(out, static_cast<std::uint32_t>(properties.size()), 4);
  for (const Property& property : properties) {
    const Bytes vendor = code("8BIM");
    const Bytes key = code(property.key);
    out.insert(out.end(), vendor.begin(), vendor.end());
    out.insert(out.end(), key.begin(), key.end());
    putLittleEndian(out, 0, 4);  // property id
    putLittleEndian(out, static_cast<std::uint32_t>(property.data.size()), 4);
    out.insert(out.end(), property.data.begin(), property.data.end());
  }
  return out;
}

std::uint32_t readLittleEndian(const Bytes& bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = value << 8 | bytes.at(at + static_cast<std::size_t>(i));
  }
  return value;
}

// The data of the property with this key, found by walking the list as a host does.
Bytes propertyData(const Bytes& list, const std::string& key) {
  const Bytes wanted = code(key);
  std::size_t at = 10;
  while (at + 16 <= list.size()) {
    const std::size_t length = readLittleEndian(list, at + 12, 4);
    if (at + 16 + length > list.size()) {
      break;
    }
    if (Bytes(list.begin() + at + 4, list.begin() + at + 8) == wanted) {
      return Bytes(list.begin() + at + 16, list.begin() + at + 16 + length);
    }
    at += 16 + length;
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

TEST(WindowsPlugin, PropertyListHeaderHoldsReservedVersionAndCount) {
  const Bytes actual = resource("PIPL", 16000, kEnglishUS);
  ASSERT_GE(actual.size(), 10u);
  EXPECT_EQ(readLittleEndian(actual, 0, 2), 1u) << "reserved word";
  EXPECT_EQ(readLittleEndian(actual, 2, 4), 0u) << "list version";
  EXPECT_EQ(readLittleEndian(actual, 6, 4), expectedProperties().size()) << "property count";
}

TEST(WindowsPlugin, EveryPropertyMatchesTheIdentityHeader) {
  const Bytes actual = resource("PIPL", 16000, kEnglishUS);
  ASSERT_GE(actual.size(), 10u);
  std::size_t at = 10;
  for (const Property& expected : expectedProperties()) {
    SCOPED_TRACE("property '" + expected.key + "'");
    ASSERT_LE(at + 16, actual.size()) << "list ends early";
    EXPECT_EQ(Bytes(actual.begin() + at, actual.begin() + at + 4), code("8BIM")) << "vendor";
    EXPECT_EQ(Bytes(actual.begin() + at + 4, actual.begin() + at + 8), code(expected.key)) << "key";
    EXPECT_EQ(readLittleEndian(actual, at + 8, 4), 0u) << "property id";
    const std::uint32_t length = readLittleEndian(actual, at + 12, 4);
    ASSERT_EQ(length, expected.data.size()) << "data length";
    ASSERT_LE(at + 16 + length, actual.size()) << "data runs past the end";
    EXPECT_EQ(Bytes(actual.begin() + at + 16, actual.begin() + at + 16 + length), expected.data) << "data";
    at += 16 + length;
  }
  EXPECT_EQ(at, actual.size()) << "bytes after the last property";
}

TEST(WindowsPlugin, PropertyListMatchesByteForByte) {
  EXPECT_EQ(resource("PIPL", 16000, kEnglishUS), expectedPropertyList());
}

TEST(WindowsPlugin, PropertyListFlagWordsEqualWhatGlobalSetupReports) {
  const Bytes list = resource("PIPL", 16000, kEnglishUS);
  const Bytes flags = propertyData(list, "eGLO");
  const Bytes flags2 = propertyData(list, "eGL2");
  ASSERT_EQ(flags.size(), 4u);
  ASSERT_EQ(flags2.size(), 4u);

  testhost::Host host(testhost::App::AfterEffects);
  testhost::Effect effect(host, ZF_PLUGIN_PATH);
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
    const char* key;
    std::string expected;
  };
  const Text texts[] = {
      {"ProductName", "Zarnit Chromatic Aberration"},
      {"FileDescription", ZF_NAME},
      {"FileVersion", "2.0.0.1"},
      {"ProductVersion", "2.0.0.1"},
      {"OriginalFilename", "ZarnitFringe.aex"},
  };
  for (const Text& text : texts) {
    SCOPED_TRACE(text.key);
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904b0\\") + text.key;
    ASSERT_TRUE(VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::string(value), text.expected);
  }
}

}  // namespace
