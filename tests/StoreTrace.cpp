// StoreTrace.cpp: see StoreTrace.h.
#include "StoreTrace.h"

#include <random>
#include <vector>

#include "Common.h"
#include "SettingsFile.h"
#include "Store.h"
#include "TestFiles.h"

using testfiles::readBytes;

namespace {

// What a save that writes every key gives, from the file as it was before
// the save: the incremental save must come to the same bytes.
std::string fullSave(const Store& store, const std::string& before, const std::string& file) {
  testfiles::writeBytes(file, before);
  bool ok = WriteIniString(file, "SQL*Plus", "Path", store.SQLPlusPath()) &&
            WriteIniString(file, "List", "COUNT", countText(store.logons().size()));
  for (int i = 0; i < store.count(); ++i) {
    const Logon& l = store.logonAt(i);
    ok = ok && WriteIniString(file, std::to_string(i), "User", l.User) &&
         WriteIniString(file, std::to_string(i), "Pass", l.Pass) &&
         WriteIniString(file, std::to_string(i), "Host", l.Host);
  }
  for (const auto& name : readIniSectionNames(file))
    if (name.find_first_not_of("0123456789") == std::string::npos &&
        (name == "0" || name[0] != '0') && std::stoll(name) >= store.count())
      ok = ok && removeIniSection(file, name);
  refreshIniFile(file);
  return ok ? readBytes(file) : "full save failed";
}

}  // namespace

std::string randomText(std::mt19937& rng, unsigned maxPieces) {
  // clang-format off
  static const std::vector<std::string> pieces = {"a", "Z", " ", "\"", "'", "@", "/", "=", ";", "[",
                                                  "]", "\x83\x5C", "\x83\x5D", "\x81\x40", "\x95\x5C",
                                                  "\x83\x86\x81\x5B\x83\x55", "tns-alias.example"};
  // clang-format on
  std::string s;
  for (unsigned n = rng() % (maxPieces + 1); n > 0; --n) s += pieces[rng() % pieces.size()];
  return s;
}

std::string RunStoreTrace(unsigned seed, int steps, const std::string& iniPath) {
  std::mt19937 rng(seed);
  auto text = [&](unsigned maxPieces) { return randomText(rng, maxPieces); };
  std::string trace;
  Store store(iniPath);
  for (int step = 0; step < steps; ++step) {
    switch (rng() % 8) {
      case 0: {
        const int n = store.count();
        if (n > 0) store.remove(static_cast<int>(rng() % n));
        break;
      }
      case 1:
        store.setSQLPlusPath("C:\\" + text(3) + "\\sqlplus.exe");
        break;
      case 2: {
        const std::string before = readBytes(iniPath);
        const SaveResult r = store.SaveIniFile();
        trace +=
            "save " + std::to_string(static_cast<int>(r.status)) + "\n" + readBytes(iniPath) + "\n";
        if (r == SaveResult::Saved &&
            readBytes(iniPath) != fullSave(store, before, iniPath + ".full"))
          trace += "differs from a full save\n";
        break;
      }
      case 3: {
        store = Store(iniPath);
        const LoadResult r = store.LoadIniFile();
        trace += "load " + std::to_string(r.status) + " path=" + store.SQLPlusPath() + "\n";
        for (const auto& line : store.listTexts()) trace += line + "\n";
        break;
      }
      default:
        (void)store.insert({text(3), text(3), text(4)});
        break;
    }
  }
  return trace;
}
