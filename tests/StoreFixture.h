// StoreFixture.h: the store at its start-of-program state, on a settings file
// in a fresh folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include "Store.h"
#include "TestFiles.h"

// What a failed expectation prints.
inline void PrintTo(const Logon& l, std::ostream* os) {
  *os << '{' << l.User << '/' << l.Pass << '@' << l.Host << '}';
}
inline void PrintTo(const SaveResult& r, std::ostream* os) {
  *os << "status " << r.status << " step " << static_cast<int>(r.step) << " error " << r.error
      << ' ' << r.detail;
}

using testfiles::readBytes;
using testfiles::writeBytes;
using Slots = std::vector<std::string>;

class StoreFixture : public ::testing::Test {
 protected:
  // The store as the program starts it, its saves given settings.
  void reset(SaveSettings settings = {}) {
    stats = {};
    settings.observer = &stats;
    store = Store(dir.file("Vostrelk.ini"), settings);
  }

  // Writes bytes as the settings file and loads it.
  LoadResult load(const std::string& bytes) {
    testfiles::writeBytes(store.IniFileName(), bytes);
    return store.LoadIniFile();
  }
  // Saves, forgets everything and loads the file again; the users it holds then.
  std::vector<std::string> saveAndReload() {
    EXPECT_NE(store.SaveIniFile(), SaveResult::Failed);
    reset();
    EXPECT_TRUE(store.LoadIniFile().ok());
    return store.Users();
  }

  testfiles::ScratchDir dir;
  SaveStats stats;  // what the store's saves measured
  Store store{dir.file("Vostrelk.ini"), SaveSettings{kSaveLockTimeout, &stats}};
};
