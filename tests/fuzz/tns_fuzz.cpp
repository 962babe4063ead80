// tns_fuzz.cpp: libFuzzer target for the tnsnames.ora reader. The input is
// split into three files at NUL bytes, which may include each other under
// any spelling of their names (A, ./a, x/../a); the reader must read each
// file once and within its budget, and give each name once, with no blank,
// parenthesis or '='. Its lines may end in LF, CR LF or CR alone, and a
// byte order mark may start a file: the names are the same.
#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "CodePage.h"
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
  // Each file under many spellings: a, ./a, A, x/../a... are one file. This
  // is the file system's identity, played here for three one-letter files,
  // not a rule of the reader's.
  const auto id = [](const std::string& path) {
    std::string p;
    for (const char c : path) p += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t slash = p.find_last_of("/\\");
    return slash == std::string::npos ? p : p.substr(slash + 1);
  };
  std::set<std::string> read;
  size_t bytesRead = 0;
  int asked = 0;  // every include counts against the budget, read or not
  const auto namesOf = [&](const std::string(&text)[3]) {
    read.clear();
    bytesRead = 0;
    asked = 0;
    return tns::readNames("a", {[&](const std::string& path, size_t maxBytes, std::string& bytes) {
                                  const std::string file = id(path);
                                  if (!read.insert(file).second)
                                    std::abort();  // each file once, however spelt
                                  if (file != "a" && file != "b" && file != "c") return false;
                                  if (text[file[0] - 'a'].size() > maxBytes) return false;
                                  bytes = text[file[0] - 'a'];
                                  bytesRead += bytes.size();
                                  return true;
                                },
                                [&](const std::string& path) {
                                  if (++asked > tns::kMaxFiles) std::abort();
                                  const std::string file = id(path);
                                  return file == "a" || file == "b" || file == "c" ? file
                                                                                   : std::string();
                                }});
  };
  const auto names = namesOf(files);
  if (input.find('\r') == std::string::npos && input.size() < tns::kMaxBytes / 4) {
    std::string other[3];
    for (int i = 0; i < 3; ++i) {
      other[i] = i == 0 && files[0].compare(0, 1, "\xEF") != 0 ? "\xEF\xBB\xBF" : "";
      for (const char c : files[i])
        other[i] += c == '\n' ? std::string(i == 1 ? "\r" : "\r\n") : std::string(1, c);
    }
    if (namesOf(other) != names) std::abort();
  }
  if (bytesRead > tns::kMaxBytes) std::abort();
  std::set<std::string> seen;
  for (const auto& n : names) {
    if (n.empty() || n.find_first_of(" \t()=\r\n") != std::string::npos) std::abort();
    // The same name by the reader's own rule of letter case.
    if (!seen.insert(codepage::lowerCase(n)).second) std::abort();
  }
  return 0;
}
