#include "recovery/host_file_name.h"

#include <string_view>

namespace quorvane {

namespace {
#ifdef _WIN32
constexpr std::string_view kForbidden("/\\:*?\"<>|", 9);
#else
constexpr std::string_view kForbidden("/", 1);
#endif
}  // namespace

std::string HostFileName(const std::string& latin1_name) {
  std::string out;
  out.reserve(latin1_name.size() * 2);
  for (char c : latin1_name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0 || kForbidden.find(c) != std::string_view::npos) {
      out.push_back('_');
    } else if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

std::string HostFileNameOfUtf8(const std::string& utf8_name) {
  std::string out = utf8_name;
  for (char& c : out)
    if (c == 0 || kForbidden.find(c) != std::string_view::npos) c = '_';
  return out;
}

}  // namespace quorvane
