// Settings files that are not what the program writes. Whatever the file
// holds, loading neither crashes nor hangs, shows what it can, and saving
// never leaves fewer logons than the file or the store held.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <random>

#include "Files.h"
#include "Common.h"
#include "SaveLock.h"
#include "FileKeeper.h"
#include "SaveCopies.h"
#include "StoreFixture.h"

// Allocation that fails on request: the n-th allocation from now throws.
// (operator new is replaced below by malloc: GCC cannot see that and warns of
// a mismatch wherever a delete meets it.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<long> allocationsBeforeFailure{-1};  // -1: never
}  // namespace

void* operator new(size_t size) {
  if (allocationsBeforeFailure.load() >= 0 && allocationsBeforeFailure.fetch_sub(1) == 0)
    throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}

namespace {

// Runs f with the n-th allocation failing, for n = 0, 1, ... until f runs
// through without a failure; check(failed) after each run.
template <typename F, typename C>
void failEachAllocation(F&& f, C&& check) {
  for (long n = 0;; ++n) {
    allocationsBeforeFailure = n;
    f();
    const bool failed = allocationsBeforeFailure.exchange(-1) < 0;
    check(failed);
    if (!failed || n > 100000) return;
  }
}

using HardInput = StoreFixture;

TEST_F(HardInput, BinaryGarbageLoadsAsAFileWithoutLogons) {
  std::mt19937 rng(7);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(rng());
  ASSERT_TRUE(load(garbage).ok());
  EXPECT_TRUE(store.listTexts().empty());
  EXPECT_TRUE(store.insert({"u", "p", "h"}));
  EXPECT_EQ(saveAndReload(), Slots{"u"});
}

TEST_F(HardInput, ByteOrderMarkIsNoObstacle) {
  ASSERT_TRUE(load("\xEF\xBB\xBF[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=0\r\n"
                   "[0]\r\nUser=scott\r\nPass=tiger\r\nHost=orcl\r\n")
                  .ok());
  EXPECT_EQ(store.Users(), Slots{"scott"});
  EXPECT_EQ(store.SQLPlusPath(), "C:\\x.exe");
  EXPECT_TRUE(store.insert({"u", "p", "h"}));
  EXPECT_EQ(saveAndReload(), (Slots{"scott", "u"}));
}

TEST_F(HardInput, NulBytesEndAValueAsTheSystemReadsIt) {
  const char file[] = "[List]\nCOUNT=1\n[0]\nUser=sc\0ott\nPass=p\n[1]\nUser=b\n";
  ASSERT_TRUE(load(std::string(file, sizeof file - 1)).ok());
  EXPECT_EQ(store.Users(), (Slots{"sc", "b"}));
}

TEST_F(HardInput, BytesThatAreNotCodePage932StillLoad) {
  // A lead byte without its second byte, and one followed by a blank.
  ASSERT_TRUE(load("[List]\nCOUNT=1\n[0]\nUser=a\x81\nPass=\x81 x\n[1]\nUser=\xFD\xFE\n").ok());
  EXPECT_EQ(store.count(), 2);
  EXPECT_EQ(store.listTexts().size(), 2u);
}

TEST_F(HardInput, TenMegabyteValueLoadsWhole) {
  const std::string huge(10 * 1024 * 1024, 'h');
  ASSERT_TRUE(load("[List]\r\nCOUNT=0\r\n[0]\r\nUser=u\r\nHost=" + huge + "\r\n").ok());
  ASSERT_EQ(store.Hosts().size(), 1u);
  EXPECT_EQ(store.Hosts()[0].size(), huge.size());
}

TEST_F(HardInput, HundredThousandSectionsOfOtherThingsLoadTheSlots) {
  std::string file = "[List]\r\nCOUNT=2\r\n[0]\r\nUser=a\r\n[1]\r\nUser=b\r\n[2]\r\nUser=c\r\n";
  file.reserve(3 * 1024 * 1024);
  for (int i = 0; i < 100000; ++i) file += "[other" + std::to_string(i) + "]\r\nk=v\r\n";
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(load(file).ok());
  EXPECT_EQ(store.Users(), (Slots{"a", "b", "c"}));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  RecordProperty("load_ms", static_cast<int>(ms));  // a figure, not a limit
}

TEST_F(HardInput, CountFarAboveTheSectionsAndAtTheLimit) {
  ASSERT_TRUE(load("[List]\nCOUNT=2000000000\n[0]\nUser=a\n[7]\nUser=b\n").ok());
  EXPECT_EQ(store.Users(), (Slots{"a", "b"}));
  reset();
  const std::string limit = "[List]\nCOUNT=2147483647\n[0]\nUser=keep\n";
  EXPECT_EQ(load(limit).status, LoadResult::RangeError);
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Unchanged);  // nothing changed: nothing to say
  EXPECT_EQ(readBytes(store.IniFileName()), limit);
}

// Memory runs out anywhere in a load: the load says so, the store is empty
// and never saved over the file. Anywhere in a save: it fails, no copy with
// the passwords stays behind, the file and the store are as they were.
TEST_F(HardInput, OutOfMemoryAnywhereInLoadAndSave) {
  const std::string file =
      "[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=1\r\n"
      "[0]\r\nUser=a\r\nPass=secret\r\n[1]\r\nUser=b\r\n";
  writeBytes(store.IniFileName(), file);
  LoadResult loaded;
  failEachAllocation([&] { loaded = store.LoadIniFile(); },
                     [&](bool failed) {
                       if (!failed) return;
                       ASSERT_EQ(loaded.status, LoadResult::OutOfMemory);
                       EXPECT_EQ(store.count(), 0);
                       EXPECT_TRUE(store.insert({"c", "", ""}));
                       EXPECT_EQ(store.SaveIniFile(), SaveResult::NotLoaded);
                     });
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(store.Users(), (Slots{"a", "b"}));

  store.remove(0);
  ASSERT_TRUE(store.insert({"c", "p", "h"}));
  // And a merge on the way: another copy added a logon.
  writeBytes(store.IniFileName(),
             "[List]\r\nCOUNT=2\r\n[0]\r\nUser=a\r\nPass=secret\r\n[1]\r\nUser=b\r\n"
             "[2]\r\nUser=theirs\r\n");
  const std::string before = readBytes(store.IniFileName());
  SaveResult saved = SaveResult::Failed;
  failEachAllocation(
      [&] { saved = store.SaveIniFile(); },
      [&](bool failed) {
        if (!failed) return;
        ASSERT_EQ(saved, SaveResult::Failed);
        EXPECT_TRUE(!hasCopies(store.IniFileName(), filesBeside(store.IniFileName())));
        EXPECT_EQ(readBytes(store.IniFileName()), before);
        EXPECT_EQ(store.Users(), (Slots{"b", "c"}));
      });
  EXPECT_EQ(saved, SaveResult::Saved);
  EXPECT_EQ(store.Users(), (Slots{"b", "c", "theirs"}));
}

TEST_F(HardInput, EmptyFileAndBlankCount) {
  ASSERT_TRUE(load("").ok());
  EXPECT_EQ(store.Users(), Slots{""});
  reset();
  ASSERT_TRUE(load("[List]\nCOUNT=   \n[0]\nUser=a\n").ok());  // blank: as if missing
  EXPECT_EQ(store.Users(), Slots{"a"});
}

}  // namespace
