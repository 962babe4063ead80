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

  testfiles::ScratchDir dir;
};
