// tns_names: prints the net service names the host box would offer for the
// tnsnames.ora in each folder given, a line per folder: the folder, then the
// names in upper case as Oracle's own parser lists them. For the comparison
// with that parser (tns_peer_test.sh).
#include <cctype>
#include <cstdio>
#include <string>

#include "CodePage.h"
#include "Files.h"
#include "TnsNames.h"

int main(int argc, char** argv) {
  const tns::FileAccess files{[](const std::string& path, size_t maxBytes, std::string& bytes) {
                                return readFileBytes(path, bytes, maxBytes) == FileState::Readable;
                              },
                              fileIdentity};
  for (int i = 1; i < argc; ++i) {
    std::string line = argv[i];
    line += ":";
    for (std::string name : tns::readNames(std::string(argv[i]) + "/tnsnames.ora", files)) {
      // Oracle's parser lists names in upper case; a double-byte character
      // stays whole, as the reader compares it.
      for (size_t at = 0; at < name.size(); at += codepage::charLength(name, at))
        if (codepage::charLength(name, at) == 1)
          name[at] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[at])));
      line += " " + name;
    }
    std::puts(line.c_str());
  }
  return 0;
}
