// StoreTrace.cpp: see StoreTrace.h.
#include "StoreTrace.h"

#include <random>
#include <vector>

#include "Store.h"
#include "TestFiles.h"

using testfiles::readBytes;

std::string RunStoreTrace(unsigned Seed, int Steps, const std::string& IniPath) {
  std::mt19937 rng(Seed);
  // Pieces a user may type: letters, blanks, quotes, separators, code page 932
  // text with 0x5C and 0x5D trail bytes, the ideographic space, '=' and ';'.
  // clang-format off
  const std::vector<std::string> pieces = {"a", "Z", " ", "\"", "'", "@", "/", "=", ";", "[",
                                           "]", "\x83\x5C", "\x83\x5D", "\x81\x40", "\x95\x5C",
                                           "\x83\x86\x81\x5B\x83\x55", "tns-alias.example"};
  // clang-format on
  auto text = [&](unsigned maxPieces) {
    std::string s;
    for (unsigned n = rng() % (maxPieces + 1); n > 0; --n) s += pieces[rng() % pieces.size()];
    return s;
  };
  std::string trace;
  resetStore();
  IniFileName = IniPath;
  for (int step = 0; step < Steps; ++step) {
    switch (rng() % 8) {
      case 0: {
        const int n = storeCount();
        if (n > 0) storeDelete(static_cast<int>(rng() % n));
        break;
      }
      case 1:
        SQLPlusPath = "C:\\" + text(3) + "\\sqlplus.exe";
        break;
      case 2: {
        const SaveResult r = SaveIniFile();
        trace += "save " + std::to_string(static_cast<int>(r)) + "\n" + readBytes(IniPath) + "\n";
        break;
      }
      case 3: {
        resetStore();
        IniFileName = IniPath;
        const LoadResult r = LoadIniFile();
        trace += "load " + std::to_string(r.status) + " path=" + SQLPlusPath + "\n";
        for (const auto& line : listTexts()) trace += line + "\n";
        break;
      }
      default:
        (void)storeInsert(text(3), text(3), text(4));
        break;
    }
  }
  resetStore();
  return trace;
}
