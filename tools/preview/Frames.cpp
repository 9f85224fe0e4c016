#include "Frames.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>

#include "Options.h"

namespace preview {

FramePattern::FramePattern(std::string const& path) : path_(path) {
  const std::size_t nameStart = path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1;
  const std::string name = path.substr(nameStart);
  static const std::regex pattern(R"(%(0?[1-9])?d|#+)");
  auto matches = std::sregex_iterator(name.begin(), name.end(), pattern);
  auto const count = std::distance(matches, std::sregex_iterator());
  if (count == 0) {
    return;
  }
  if (count > 1) {
    throw UsageError("\"" + path + "\" has more than one frame number pattern");
  }
  std::smatch const& match = *matches;
  const std::string token = match.str();
  sequence_ = true;
  width_ = token[0] == '#'    ? static_cast<int>(token.size())
           : match[1].matched ? std::stoi(match[1].str())
                              : 0;
  prefix_ = path.substr(0, nameStart + static_cast<std::size_t>(match.position()));
  suffix_ = path.substr(nameStart + static_cast<std::size_t>(match.position() + match.length()));
}

std::string FramePattern::pathFor(long frame) const {
  if (!sequence_) {
    return path_;
  }
  std::string digits = std::to_string(frame);
  if (static_cast<int>(digits.size()) < width_) {
    digits.insert(0, static_cast<std::size_t>(width_) - digits.size(), '0');
  }
  return prefix_ + digits + suffix_;
}

std::vector<long> FramePattern::framesOnDisk() const {
  std::vector<long> frames;
  if (!sequence_) {
    return frames;
  }
  const std::size_t slash = prefix_.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : prefix_.substr(0, slash + 1);
  const std::string namePrefix = slash == std::string::npos ? prefix_ : prefix_.substr(slash + 1);
  std::error_code error;
  for (auto const& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= namePrefix.size() + suffix_.size() ||
        name.compare(0, namePrefix.size(), namePrefix) != 0 ||
        name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) != 0) {
      continue;
    }
    const std::string digits =
        name.substr(namePrefix.size(), name.size() - namePrefix.size() - suffix_.size());
    auto const isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    bool const allDigits = std::all_of(digits.begin(), digits.end(), isDigit);
    if (digits.size() > 9 || !allDigits) {
      continue;
    }
    long const frame = std::stol(digits);
    // Only the spelling this pattern produces: 7 is not frame 0007.
    if (std::filesystem::path(pathFor(frame)).filename().string() == name) {
      frames.push_back(frame);
    }
  }
  std::sort(frames.begin(), frames.end());
  return frames;
}

}  // namespace preview
