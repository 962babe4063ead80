// The portable INI engine on its own: how it reads hand-made files and what
// bytes it writes. Each expectation is one the system's profile functions meet
// too (the differential test checks that under Wine).
#include <gtest/gtest.h>

#include "IniEngine.h"
#include "TestFiles.h"

namespace {

using ini::Profile;

std::string get(const std::string& text, const std::string& section, const std::string& key,
                const std::string& def = "<none>") {
  return Profile::parse(text).get(section, key, def);
}

TEST(IniRead, BlanksAroundNameAndValueAreIgnored) {
  EXPECT_EQ(get("[ s\t]\n k = v w \n", "s", "k"), "v w");  // inside the brackets too
  EXPECT_EQ(get("[s]\n  k  =  v w  \n", "s", "k"), "v w");
  EXPECT_EQ(get("  [s]  \nk=v\n", "s", " k "), "v");
  EXPECT_EQ(get("[s]\nk=\t v\r\n", "s", "k"), "v");
}

TEST(IniRead, NamesMatchWithoutRegardToLetterCase) {
  EXPECT_EQ(get("[sql*plus]\npATH=x\n", "SQL*Plus", "Path"), "x");
  // Double-byte characters are never folded: 0x83 0x41 and 0x83 0x61 differ.
  EXPECT_EQ(get("[\x83\x41]\nk=1\n", "\x83\x61", "k"), "<none>");
}

TEST(IniRead, FirstSectionAndFirstKeyOfAName) {
  const std::string text = "[s]\nk=1\nk=2\n[S]\nk=3\nj=4\n";
  EXPECT_EQ(get(text, "s", "k"), "1");
  EXPECT_EQ(get(text, "s", "j"), "<none>");  // only the first [s] is searched
}

TEST(IniRead, LineEndsCommentsAndOddLines) {
  EXPECT_EQ(get("[s]\r\nk=v\r\n", "s", "k"), "v");
  EXPECT_EQ(get("[s]\nk=v", "s", "k"), "v");  // no final newline
  EXPECT_EQ(get("[s]\n;k=c\nk=v\n", "s", "k"), "v");
  EXPECT_EQ(get("[s]\n;k=c\n", "s", ";k"), "c");    // a comment is a key
  EXPECT_EQ(get("k=top\n[s]\n", "", "k"), "top");   // keys before any header
  EXPECT_EQ(get("[s]\rk=cr\r", "s", "k"), "cr");    // CR alone ends a line too
  EXPECT_EQ(get("[s\nk=v\n", "s", "k"), "<none>");  // no ']': not a header
  EXPECT_EQ(get("[s]x]\nk=v\n", "s]x", "k"), "v");  // the last ']' closes
  EXPECT_EQ(get("[s]\nk\n", "s", "k", "d"), "d");   // no '=': no value
  EXPECT_EQ(get("", "s", "k", "d"), "d");
}

TEST(IniRead, QuotesAroundAValueAreStripped) {
  EXPECT_EQ(get("[s]\nk=\"a b\"\n", "s", "k"), "a b");
  EXPECT_EQ(get("[s]\nk='a'\n", "s", "k"), "a");
  EXPECT_EQ(get("[s]\nk=\"a'\n", "s", "k"), "\"a'");
  EXPECT_EQ(get("[s]\nk=\"\n", "s", "k"), "\"");
  EXPECT_EQ(get("[s]\n", "s", "k", "'d'  "), "d");  // the default too, after its trailing blanks
}

TEST(IniRead, DoubleByteTextIsWalkedByCharacter) {
  // "ゾ" ends in 0x5D (']') and "ソ" in 0x5C: neither may end a header or a value.
  EXPECT_EQ(get("[\x83\x5D]\nk=v\n", "\x83\x5D", "k"), "v");
  EXPECT_EQ(get("[a\x83\x5D\n", "a\x83", "k"), "<none>");
  EXPECT_EQ(get("[s]\nk=\x83\x5C\n", "s", "k"), "\x83\x5C");
  // The ideographic space (0x81 0x40) is text, not white space.
  EXPECT_EQ(get("[s]\nk=\x81\x40v\x81\x40\n", "s", "k"), "\x81\x40v\x81\x40");
  EXPECT_EQ(get("[s]\nk=\x83\x40\n", "s", "k"), "\x83\x40");
}

TEST(IniWrite, NewFileGetsSectionsInWriteOrder) {
  Profile p;
  p.set("SQL*Plus", "Path", "");
  p.set("List", "COUNT", "0");
  p.set("0", "User", "scott");
  EXPECT_EQ(p.serialize(), "[SQL*Plus]\r\nPath=\r\n[List]\r\nCOUNT=0\r\n[0]\r\nUser=scott\r\n");
}

TEST(IniWrite, RewritesHandMadeFilesInTheSystemsForm) {
  Profile p = Profile::parse(";c\n[s]\n k = v \nodd\n\n[t]\nx=1");
  EXPECT_TRUE(p.set("S", "K", "w"));
  EXPECT_TRUE(p.set("t", "y", "2"));
  EXPECT_TRUE(p.set("u", "z", ""));
  EXPECT_EQ(p.serialize(), ";c\r\n[s]\r\nk=w\r\nodd\r\n[t]\r\nx=1\r\ny=2\r\n[u]\r\nz=\r\n");
}

TEST(IniWrite, SameValueChangesNothingAndBlanksAreTrimmed) {
  Profile p = Profile::parse("[s]\nk=v\n");
  EXPECT_FALSE(p.set("s", "k", "v"));
  EXPECT_FALSE(p.set("s", "k", "  v  "));
  EXPECT_TRUE(p.set("s", "k", "w"));
}

TEST(IniWrite, ByteOrderMarkIsKept) {
  Profile p = Profile::parse("\xEF\xBB\xBF[s]\nk=v\n");
  EXPECT_EQ(p.get("s", "k", ""), "v");
  EXPECT_EQ(p.serialize(), "\xEF\xBB\xBF[s]\r\nk=v\r\n");
}

TEST(IniWrite, ProtectedValuesReadBackUnchanged) {
  for (const std::string v :
       {" lead", "trail ", "\"quoted\"", "'q'", "\x81\x40wide", "plain", "\"", "a\"b\"", ""}) {
    Profile p;
    p.set("s", "k", ini::protectValue(v));
    EXPECT_EQ(Profile::parse(p.serialize()).get("s", "k", "<none>"), v) << v;
  }
  EXPECT_EQ(ini::protectValue("plain"), "plain");  // ordinary values are stored as typed
}

TEST(IniFile, MissingAndUnreadableFilesGiveTheDefault) {
  testfiles::ScratchDir dir;
  EXPECT_EQ(ini::readString(dir.file("none.ini"), "s", "k", "d"), "d");
  EXPECT_EQ(ini::readString(dir.path().string(), "s", "k", "d"), "d");  // a folder
  EXPECT_FALSE(ini::writeString(dir.path().string(), "s", "k", "v"));
  EXPECT_FALSE(ini::writeString(dir.file("no/such/dir.ini"), "s", "k", "v"));
}

TEST(IniFile, WriteOfAnUnchangedValueLeavesTheFileAlone) {
  testfiles::ScratchDir dir;
  const auto f = dir.file("a.ini");
  testfiles::writeBytes(f, "[s]\nk=v\n");
  ASSERT_TRUE(ini::writeString(f, "s", "k", "v"));
  EXPECT_EQ(testfiles::readBytes(f), "[s]\nk=v\n");
  ASSERT_TRUE(ini::writeString(f, "s", "k", "w"));
  EXPECT_EQ(testfiles::readBytes(f), "[s]\r\nk=w\r\n");
}

}  // namespace
