// The tool's own errors, and the system's reasons put into words.
#ifndef ZF_TOOLS_PREVIEW_TOOLERROR_H
#define ZF_TOOLS_PREVIEW_TOOLERROR_H

#include <cctype>
#include <stdexcept>
#include <string>
#include <system_error>

namespace preview {

// Something went wrong that the user must see: the message says what and
// where.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The system's reason for an errno value, starting in lower case so that it
// reads on after a colon: "permission denied".
inline std::string systemReason(int error) {
  std::string text = std::generic_category().message(error);
  if (!text.empty()) {
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  }
  return text;
}

}  // namespace preview

#endif
