// StoreFixture.h: the store at its start-of-program state, on a settings file
// in a fresh folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include "Store.h"
#include "TestFiles.h"

class StoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStore();
    IniFileName = dir.file("Vostrelk.ini");
  }
  void TearDown() override { ResetStore(); }

  // Writes Bytes as the settings file and loads it.
  LoadResult load(const std::string& Bytes) {
    testfiles::writeBytes(IniFileName, Bytes);
    return LoadIniFile();
  }
  // Saves, forgets everything and loads the file again; the users it holds then.
  std::vector<std::string> saveAndReload() {
    EXPECT_NE(SaveIniFile(), SaveResult::Failed);
    ResetStore();
    EXPECT_TRUE(LoadIniFile().ok());
    return Users;
  }

  testfiles::ScratchDir dir;
};
