// Settings files that are not what the program writes. Whatever the file
// holds, loading neither crashes nor hangs, shows what it can, and saving
// never leaves fewer logons than the file or the store held.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "StoreFixture.h"

namespace {

using HardInput = StoreFixture;

TEST_F(HardInput, BinaryGarbageLoadsAsAFileWithoutLogons) {
  std::mt19937 rng(7);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(rng());
  ASSERT_TRUE(load(garbage).ok());
  EXPECT_TRUE(listTexts().empty());
  EXPECT_TRUE(storeInsert({"u", "p", "h"}));
  EXPECT_EQ(saveAndReload(), Slots{"u"});
}

TEST_F(HardInput, ByteOrderMarkIsNoObstacle) {
  ASSERT_TRUE(load("\xEF\xBB\xBF[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=0\r\n"
                   "[0]\r\nUser=scott\r\nPass=tiger\r\nHost=orcl\r\n")
                  .ok());
  EXPECT_EQ(Users, Slots{"scott"});
  EXPECT_EQ(SQLPlusPath, "C:\\x.exe");
  EXPECT_TRUE(storeInsert({"u", "p", "h"}));
  EXPECT_EQ(saveAndReload(), (Slots{"scott", "u"}));
}

TEST_F(HardInput, NulBytesEndAValueAsTheSystemReadsIt) {
  const char file[] = "[List]\nCOUNT=1\n[0]\nUser=sc\0ott\nPass=p\n[1]\nUser=b\n";
  ASSERT_TRUE(load(std::string(file, sizeof file - 1)).ok());
  EXPECT_EQ(Users, (Slots{"sc", "b"}));
}

TEST_F(HardInput, BytesThatAreNotCodePage932StillLoad) {
  // A lead byte without its second byte, and one followed by a blank.
  ASSERT_TRUE(load("[List]\nCOUNT=1\n[0]\nUser=a\x81\nPass=\x81 x\n[1]\nUser=\xFD\xFE\n").ok());
  EXPECT_EQ(storeCount(), 2);
  EXPECT_EQ(listTexts().size(), 2u);
}

TEST_F(HardInput, TenMegabyteValueLoadsWhole) {
  const std::string huge(10 * 1024 * 1024, 'h');
  ASSERT_TRUE(load("[List]\r\nCOUNT=0\r\n[0]\r\nUser=u\r\nHost=" + huge + "\r\n").ok());
  ASSERT_EQ(Hosts.size(), 1u);
  EXPECT_EQ(Hosts[0].size(), huge.size());
}

TEST_F(HardInput, HundredThousandSectionsOfOtherThingsLoadTheSlots) {
  std::string file = "[List]\r\nCOUNT=2\r\n[0]\r\nUser=a\r\n[1]\r\nUser=b\r\n[2]\r\nUser=c\r\n";
  file.reserve(3 * 1024 * 1024);
  for (int i = 0; i < 100000; ++i) file += "[other" + std::to_string(i) + "]\r\nk=v\r\n";
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(load(file).ok());
  EXPECT_EQ(Users, (Slots{"a", "b", "c"}));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  RecordProperty("load_ms", static_cast<int>(ms));  // a figure, not a limit
}

TEST_F(HardInput, CountFarAboveTheSectionsAndAtTheLimit) {
  ASSERT_TRUE(load("[List]\nCOUNT=2000000000\n[0]\nUser=a\n[7]\nUser=b\n").ok());
  EXPECT_EQ(Users, (Slots{"a", "b"}));
  resetStore();
  const std::string limit = "[List]\nCOUNT=2147483647\n[0]\nUser=keep\n";
  EXPECT_EQ(load(limit).status, LoadResult::RangeError);
  EXPECT_EQ(SaveIniFile(), SaveResult::Unchanged);  // nothing changed: nothing to say
  EXPECT_EQ(readBytes(IniFileName), limit);
}

TEST_F(HardInput, EmptyFileAndBlankCount) {
  ASSERT_TRUE(load("").ok());
  EXPECT_EQ(Users, Slots{""});
  resetStore();
  ASSERT_TRUE(load("[List]\nCOUNT=   \n[0]\nUser=a\n").ok());  // blank: as if missing
  EXPECT_EQ(Users, Slots{"a"});
}

}  // namespace
