#include <cstdio>

#include "Progress.h"
#include "Render.h"

namespace preview {
namespace {

// The host's version packing: major << 19 | minor << 15 | bug << 11 |
// stage << 9 | build.
std::string versionText(A_u_long packed) {
  static char const* const kStages[] = {"develop", "alpha", "beta", "release"};
  char text[96];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu, %s stage, build %lu (0x%08lX)",
                static_cast<unsigned long>(packed >> 19), static_cast<unsigned long>(packed >> 15 & 0xF),
                static_cast<unsigned long>(packed >> 11 & 0xF), kStages[packed >> 9 & 0x3],
                static_cast<unsigned long>(packed & 0x1FF), static_cast<unsigned long>(packed));
  return text;
}

// A four-character code such as 'eFKT', its first character in the top byte.
std::string fourCharacters(A_long code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char const c = static_cast<char>(static_cast<A_u_long>(code) >> shift & 0xFF);
    text += c >= ' ' && c <= '~' ? c : '?';
  }
  return text;
}

}  // namespace

void printVersion(Options const& options) {
  report("zarnit-render %s\n", ZF_TOOL_VERSION);
  std::fflush(stdout);
  const std::string plugin = pluginPath(options);
  PluginSession host(plugin, options.host.value_or(testhost::App::AfterEffects), 1, 1, 1);
  testhost::PluginDataCall const& id = host.identity();
  report("plug-in %s, as it reports itself to %s:\n", plugin.c_str(), hostName(host.app()));
  report("  name         %s\n", id.name.c_str());
  report("  match name   %s\n", id.matchName.c_str());
  report("  category     %s\n", id.category.c_str());
  report("  entry point  %s\n", id.entryPointName.c_str());
  report("  kind         %s, effect interface %ld.%ld\n", fourCharacters(id.kind).c_str(),
         static_cast<long>(id.apiVersionMajor), static_cast<long>(id.apiVersionMinor));
  report("  version      %s\n", versionText(host.version()).c_str());
  char const* label = "  about        ";
  for (std::string const& line : host.aboutLines()) {
    report("%s%s\n", label, line.c_str());
    label = "               ";
  }
  warnIfUnbalanced(host);
}

}  // namespace preview
