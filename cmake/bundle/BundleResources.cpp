// Writes the macOS bundle's own resources from the identity header:
//
//   <Contents>/Info.plist                   the template with identity values filled in
//   <Contents>/PkgInfo                      package type and signature, 8 bytes
//   <Contents>/Resources/ZarnitFringe.rsrc  a classic resource file holding the
//                                           property list as 'PiPL' 16000
//
// Usage: BundleResources <Info.plist template> <Contents directory>
//
// The bytes depend only on Identity.h and the template, so every build machine,
// with or without Apple's resource tools, writes the same bundle.
#include "Identity.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

static_assert(sizeof(ZF_NAME) - 1 == ZF_NAME_LENGTH, "ZF_NAME_LENGTH does not match ZF_NAME");
static_assert(sizeof(ZF_CATEGORY) - 1 == ZF_CATEGORY_LENGTH, "ZF_CATEGORY_LENGTH does not match ZF_CATEGORY");
static_assert(sizeof(ZF_MATCH_NAME) - 1 == ZF_MATCH_NAME_LENGTH,
              "ZF_MATCH_NAME_LENGTH does not match ZF_MATCH_NAME");
static_assert(sizeof(ZF_ENTRY_POINT) - 1 == ZF_ENTRY_POINT_LENGTH,
              "ZF_ENTRY_POINT_LENGTH does not match ZF_ENTRY_POINT");

// After Effects' creator code: the host loads effect bundles of this signature.
constexpr char kHostSignature[] = "FXTC";
constexpr std::uint16_t kPiPLResourceId = 16000;
// Classic resource files keep the first 256 bytes for the header and
// system/application data; the resource data follows.
constexpr std::uint32_t kResourceDataOffset = 256;

using Bytes = std::vector<unsigned char>;

// Everything in the macOS form is big-endian, codes in reading order.
void putU8(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<unsigned char>(value & 0xFFu));
}

void putU16(Bytes& out, std::uint32_t value) {
  putU8(out, value >> 8);
  putU8(out, value);
}

void putU24(Bytes& out, std::uint32_t value) {
  putU8(out, value >> 16);
  putU16(out, value);
}

void putU32(Bytes& out, std::uint32_t value) {
  putU16(out, value >> 16);
  putU16(out, value);
}

void putCode(Bytes& out, char const (&code)[5]) {
  out.insert(out.end(), code, code + 4);
}

void append(Bytes& out, Bytes const& more) {
  out.insert(out.end(), more.begin(), more.end());
}

Bytes u16Data(std::uint32_t value) {
  Bytes data;
  putU16(data, value);
  return data;
}

Bytes u32Data(std::uint32_t value) {
  Bytes data;
  putU32(data, value);
  return data;
}

Bytes versionData(std::uint32_t major, std::uint32_t minor) {
  Bytes data;
  putU16(data, major);
  putU16(data, minor);
  return data;
}

template <std::size_t N>
Bytes pascalData(char const (&text)[N]) {
  static_assert(N - 1 <= 255, "a Pascal string holds at most 255 characters");
  Bytes data;
  putU8(data, N - 1);
  data.insert(data.end(), text, text + N - 1);
  return data;
}

std::string codeText(std::uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    text.push_back(static_cast<char>((code >> shift) & 0xFFu));
  }
  return text;
}

struct Property {
  char const (&key)[5];
  Bytes data;
};

// The Windows list's properties in the same order, except that its one code
// entry becomes two, one per slice of the universal executable (Intel 64-bit,
// then arm64), each a Pascal string; the info flags keep their 16 bits.
Bytes propertyList() {
  const Property properties[] = {
      {"kind", u32Data(ZF_KIND)},
      {"name", pascalData(ZF_NAME)},
      {"catg", pascalData(ZF_CATEGORY)},
      {"mi64", pascalData(ZF_ENTRY_POINT)},
      {"ma64", pascalData(ZF_ENTRY_POINT)},
      {"ePVR", versionData(ZF_PIPL_MAJOR, ZF_PIPL_MINOR)},
      {"eSVR", versionData(ZF_API_MAJOR, ZF_API_MINOR)},
      {"eVER", u32Data(ZF_VERSION)},
      {"eINF", u16Data(ZF_INFO_FLAGS)},
      {"eGLO", u32Data(ZF_OUT_FLAGS)},
      {"eGL2", u32Data(ZF_OUT_FLAGS2)},
      {"eMNA", pascalData(ZF_MATCH_NAME)},
      {"aeFL", u32Data(ZF_RESERVED_INFO)},
  };
  Bytes list;
  putU32(list, 0);  // list version
  putU32(list, static_cast<std::uint32_t>(std::size(properties)));
  for (Property const& property : properties) {
    putCode(list, "8BIM");
    putCode(list, property.key);
    putU32(list, 0);  // property id
    // The length leaves out the padding that follows the data.
    putU32(list, static_cast<std::uint32_t>(property.data.size()));
    append(list, property.data);
    while (list.size() % 4 != 0) {
      putU8(list, 0);
    }
  }
  return list;
}

// A resource file with one resource: header, data area, then the map (a copy
// of the header, a type list with one type and its one reference, no names).
Bytes resourceFile(char const (&type)[5], std::uint16_t id, Bytes const& resource) {
  Bytes dataArea;
  putU32(dataArea, static_cast<std::uint32_t>(resource.size()));
  append(dataArea, resource);

  constexpr std::uint32_t kMapHeaderSize = 28;
  constexpr std::uint32_t kTypeListSize = 2 + 8;
  constexpr std::uint32_t kReferenceSize = 12;
  constexpr std::uint32_t kMapSize = kMapHeaderSize + kTypeListSize + kReferenceSize;

  Bytes header;
  putU32(header, kResourceDataOffset);
  putU32(header, kResourceDataOffset + static_cast<std::uint32_t>(dataArea.size()));
  putU32(header, static_cast<std::uint32_t>(dataArea.size()));
  putU32(header, kMapSize);

  Bytes map = header;
  putU32(map, 0);               // next map handle
  putU16(map, 0);               // file reference number
  putU16(map, 0);               // file attributes
  putU16(map, kMapHeaderSize);  // type list, from the start of the map
  putU16(map, kMapSize);        // name list (empty), from the start of the map
  putU16(map, 0);               // number of types - 1
  putCode(map, type);
  putU16(map, 0);              // number of resources of this type - 1
  putU16(map, kTypeListSize);  // reference list, from the start of the type list
  putU16(map, id);
  putU16(map, 0xFFFF);  // no name
  putU8(map, 0);        // attributes
  putU24(map, 0);       // data, from the start of the data area
  putU32(map, 0);       // handle, filled in by the loader

  Bytes file = header;
  file.resize(kResourceDataOffset, 0);
  append(file, dataArea);
  append(file, map);
  return file;
}

std::string xmlEscaped(std::string const& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

bool fillTemplate(std::string const& templateText, std::string& out) {
  const std::map<std::string, std::string> values = {
      {"ZF_NAME", xmlEscaped(ZF_NAME)},
      {"ZF_KIND", codeText(ZF_KIND)},
      {"ZF_SIGNATURE", kHostSignature},
      {"ZF_SHORT_VERSION", std::to_string(ZF_MAJOR_VERSION) + "." + std::to_string(ZF_MINOR_VERSION)},
  };
  std::size_t pos = 0;
  while (pos < templateText.size()) {
    const std::size_t open = templateText.find('@', pos);
    if (open == std::string::npos) {
      out.append(templateText, pos, std::string::npos);
      break;
    }
    const std::size_t close = templateText.find('@', open + 1);
    if (close == std::string::npos) {
      std::fprintf(stderr, "BundleResources: unmatched '@' in the template\n");
      return false;
    }
    auto const value = values.find(templateText.substr(open + 1, close - open - 1));
    if (value == values.end()) {
      std::fprintf(stderr, "BundleResources: unknown placeholder %s\n",
                   templateText.substr(open, close - open + 1).c_str());
      return false;
    }
    out.append(templateText, pos, open - pos);
    out += value->second;
    pos = close + 1;
  }
  return true;
}

bool writeFile(std::string const& path, std::string const& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "BundleResources: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

bool writeFile(std::string const& path, Bytes const& bytes) {
  return writeFile(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: BundleResources <Info.plist template> <Contents directory>\n");
    return 2;
  }
  std::ifstream templateFile(argv[1], std::ios::binary);
  if (!templateFile) {
    std::fprintf(stderr, "BundleResources: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ostringstream templateText;
  templateText << templateFile.rdbuf();

  std::string infoPlist;
  if (!fillTemplate(templateText.str(), infoPlist)) {
    return 1;
  }
  const std::string contents = argv[2];
  bool const written = writeFile(contents + "/Info.plist", infoPlist) &&
                       writeFile(contents + "/PkgInfo", codeText(ZF_KIND) + kHostSignature) &&
                       writeFile(contents + "/Resources/ZarnitFringe.rsrc",
                                 resourceFile("PiPL", kPiPLResourceId, propertyList()));
  return written ? 0 : 1;
}
