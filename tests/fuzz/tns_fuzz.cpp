// tns_fuzz.cpp: libFuzzer target for the tnsnames.ora reader. The input is
// split into three files at NUL bytes, which may include each other; the
// reader must read each file once, and give each name once, with no blank, parenthesis or '='.
#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "TnsNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string files[3];
  for (size_t i = 0, part = 0; i < input.size(); ++i) {
    if (input[i] == '\0' && part < 2)
      ++part;
    else
      files[part] += input[i];
  }
  std::set<std::string> read;
  const auto names = tns::readNames("a", [&](const std::string& path, std::string& bytes) {
    if (!read.insert(path).second) std::abort();  // each file once: a loop of includes ends
    if (path == "a" || path == "b" || path == "c") {
      bytes = files[path[0] - 'a'];
      return true;
    }
    return false;
  });
  std::set<std::string> seen;
  for (const auto& n : names) {
    if (n.empty() || n.find_first_of(" \t()=\r\n") != std::string::npos) std::abort();
    std::string lower = n;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!seen.insert(lower).second) std::abort();
  }
  return 0;
}
