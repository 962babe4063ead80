// StoreFixture.h: the store at its start-of-program state, on a settings file
// in a fresh folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include "Store.h"
#include "TestFiles.h"

using testfiles::readBytes;
using testfiles::writeBytes;
using Slots = std::vector<std::string>;

class StoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStore();
    IniFileName = dir.file("Vostrelk.ini");
  }
  void TearDown() override { resetStore(); }

  // Writes bytes as the settings file and loads it.
  LoadResult load(const std::string& bytes) {
    testfiles::writeBytes(IniFileName, bytes);
    return LoadIniFile();
  }
  // Saves, forgets everything and loads the file again; the users it holds then.
  std::vector<std::string> saveAndReload() {
    EXPECT_NE(SaveIniFile(), SaveResult::Failed);
    resetStore();
    EXPECT_TRUE(LoadIniFile().ok());
    return Users;
  }

  testfiles::ScratchDir dir;
};
