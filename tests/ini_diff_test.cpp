// Differential test, Windows only: the portable INI engine against the
// system's profile functions, on hand-made files and on random store runs.
// Whatever one reads or writes, the other must read or write byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "CodePage.h"
#include "Common.h"
#include "IniEngine.h"
#include "SettingsFile.h"
#include "FileKeeper.h"
#include "StoreTrace.h"
#include "TestFiles.h"
#include "TestProcess.h"

namespace {

using testfiles::readBytes;
using testfiles::writeBytes;

// Files a user may meet: what the program writes, and what an editor makes of it.
const std::vector<std::string> kHandMadeFiles = {
    "",
    "[SQL*Plus]\r\nPath=C:\\Program Files\\sqlplus.exe\r\n[List]\r\nCOUNT=1\r\n"
    "[0]\r\nUser=scott\r\nPass=tiger\r\nHost=orcl\r\n[1]\r\nUser=sys\r\nPass=\r\nHost=\r\n",
    " [List] \n  COUNT =  2  \n[0]\nUser = a b \n",
    ";comment\n[List]\n;COUNT=5\nCOUNT=1\n# hash\n[0]\nUser=a\n",
    "[0]\nUser=a\nUser=b\n[0]\nUser=c\nPass=d\n",
    "[list]\ncount=0\n[0]\nuser=x\nPASS=y\n",
    "[List]\nCOUNT=0\n[0]\nUser=no-final-newline",
    "[0]\rUser=a\rPass=b\r",
    "[0]\r\n\r\n\r\nUser=a\r\n\r\n",
    "[0]\nUser=\x83\x86\x81\x5B\x83\x55\nPass=\x95\x5C\x83\x5C\nHost=\x83\x5D]\n[\x83\x5D]\nk=v\n",
    "[0]\nUser=" + std::string(5000, 'u') + "\nHost=(DESCRIPTION=(ADDRESS=(HOST=h)(PORT=1521)))\n",
    "[0]\nPass=\"quoted\"\nHost='single'\nUser=\"half\n",
    "[0]\n=v\n=w\nUser=a\n=x\n",
    "[0]\n\tUser\t=\ttab\t\n\x81\x40Pass=\x81\x40wide\x81\x40\n",
    "\xEF\xBB\xBF[0]\r\nUser=bom\r\n",  // the system transcodes this one: see kUtf8File
    "[0]\nUser=a\nHost=b\n\x1a",
    "[0]\nUser\nPass=p\n",
    std::string("[0]\nUser=a\0b\nPass=c\n", 21),
    "no header=1\n[0]\nUser=a\n[1]x\nUser=b\n[2\nUser=c\n",
    "[SQL*Plus]\nPath=C:\\x.exe\n[List]\nCOUNT=abc\n[0]\nUser=a\n",
    "[ List ]\nCOUNT=1\n[ 0 ]\nUser=a\n[\t1\t]\nUser=b\n[ \x83\x5D\t]\nk=w\n",
};

// A file with a UTF-8 byte-order mark is read and written by the system as
// UTF-8, converting from and to the program's code page; the portable engine
// keeps the bytes. Reads of ASCII text agree; rewrites with other text do not.
const size_t kUtf8File = 14;

// The first place two texts differ, with some context, instead of both whole.
std::string firstDifference(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  const size_t from = i > 80 ? i - 80 : 0;
  return "at byte " + std::to_string(i) + ":\n ours:   " + a.substr(from, 160) +
         "\n system: " + b.substr(from, 160);
}

struct Query {
  const char* section;
  const char* key;
};
const Query kQueries[] = {
    {"SQL*Plus", "Path"}, {"List", "COUNT"}, {"0", "User"},     {"0", "Pass"}, {"0", "Host"},
    {"1", "User"},        {"list", "count"}, {" 0 ", " user "}, {"0", ""},     {"\x83\x5D", "k"},
    {"1]x", "User"},      {"2", "User"},     {"", "no header"}};

class EngineDiff : public ::testing::Test {
 protected:
  // A new file name per use: the system caches files it has read.
  std::string freshFile(const std::string& bytes) {
    const std::string f = dir.file("f" + std::to_string(counter++) + ".ini");
    writeBytes(f, bytes);
    return f;
  }
  testfiles::ScratchDir dir;
  int counter = 0;
};

TEST_F(EngineDiff, HandMadeFilesReadTheSame) {
  for (size_t i = 0; i < kHandMadeFiles.size(); ++i) {
    const std::string f = freshFile(kHandMadeFiles[i]);
    for (const Query& q : kQueries) {
      std::string system = "dflt ";
      ReadIniString(f, q.section, q.key, system);
      EXPECT_EQ(ini::readString(f, q.section, q.key, "dflt "), system)
          << "file " << i << " [" << q.section << "] " << q.key;
    }
    EXPECT_EQ(ini::sectionNames(f), readIniSectionNames(f)) << "file " << i;
  }
}

TEST_F(EngineDiff, HandMadeFilesAreRewrittenTheSame) {
  struct Write {
    const char* section;
    const char* key;
    std::string value;
  };
  const std::vector<Write> writes = {
      {"SQL*Plus", "Path", "C:\\Program Files\\sqlplus.exe"},
      {"List", "COUNT", "1"},
      {"0", "User", "scott"},
      {"0", "Pass", ""},
      {"0", "Host", "  padded  "},
      {"list", "count", "2"},
      {"1", "User", "\x83\x86\x81\x5B\x83\x55"},
      {"1", "Pass", "\"q\""},
      {"New Section", "New Key", "\x81\x40v"},
      {"0", "User", "scott"},  // unchanged: no rewrite
  };
  for (size_t i = 0; i < kHandMadeFiles.size(); ++i) {
    const std::string ours = freshFile(kHandMadeFiles[i]);
    const std::string system = freshFile(kHandMadeFiles[i]);
    for (const Write& w : writes) {
      EXPECT_TRUE(ini::writeString(ours, w.section, w.key, w.value));
      EXPECT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value.c_str(), system.c_str()));
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, system.c_str());  // flush
    if (i == kUtf8File) continue;
    EXPECT_TRUE(readBytes(ours) == readBytes(system))
        << "file " << i << " " << firstDifference(readBytes(ours), readBytes(system));
  }
}

TEST_F(EngineDiff, RandomStoreRunsWriteAndReadTheSame) {
  const std::string tool = GetExeDir() + "store_trace_portable.exe";
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const std::string systemTrace =
        RunStoreTrace(seed, 120, dir.file("sys" + std::to_string(seed) + ".ini"));
    const std::string out = dir.file("trace" + std::to_string(seed) + ".txt");
    std::string cmd = "\"" + tool + "\" " + std::to_string(seed) + " 120 \"" +
                      dir.file("own" + std::to_string(seed) + ".ini") + "\" \"" + out + "\"";
    const UniqueHandle trace = testprocess::start(cmd);
    ASSERT_TRUE(trace) << "CreateProcess failed, error " << GetLastError();
    ASSERT_EQ(testprocess::waitFor(trace, 60000), 0u);
    const std::string ownTrace = readBytes(out);
    ASSERT_FALSE(systemTrace.empty());
    // Each save wrote only what changed, and came to the bytes of a full save.
    EXPECT_EQ(systemTrace.find("differs from a full save"), std::string::npos) << "seed " << seed;
    EXPECT_TRUE(ownTrace == systemTrace)
        << "seed " << seed << " " << firstDifference(ownTrace, systemTrace);
  }
}

// A file as an editor may leave it: blanks around names and values,
// comments, duplicate sections and keys, lines without '=', CR or LF alone,
// long lines, sections the store does not own.
std::string randomFile(std::mt19937& rng) {
  static const std::vector<std::string> lines = {"[SQL*Plus]", "[List]",
                                                 " [ List ] ", "[0]",
                                                 "[1]",        "[ 2 ]",
                                                 "[3]",        "[00]",
                                                 "[Other]",    "Path=C:\\x.exe",
                                                 "COUNT=1",    "COUNT = 2 ",
                                                 "COUNT=0",    "User=a",
                                                 " User = b ", "Pass=\"q\"",
                                                 "Host=h",     "user=c",
                                                 ";comment",   "# hash",
                                                 "novalue",    "=v",
                                                 "",           "Pass=" + std::string(600, 'p'),
                                                 "k=\x83\x5D"};
  static const char* const ends[] = {"\r\n", "\n", "\r"};
  std::string file;
  for (unsigned n = rng() % 16; n > 0; --n) file += lines[rng() % lines.size()] + ends[rng() % 3];
  return file;
}

// The save's bytes made in memory by the INI engine are those the system's
// profile writes make from the same file with the same changes.
TEST_F(EngineDiff, SavesMadeInMemoryAreWhatTheProfileWritesMake) {
  std::mt19937 rng(20261208);
  for (size_t round = 0; round < 200; ++round) {
    if (round == kUtf8File) continue;
    const std::string bytes =
        round < kHandMadeFiles.size() ? kHandMadeFiles[round] : randomFile(rng);
    const std::string f = freshFile(bytes);
    FileView view;  // as the load reads it
    std::string countText;
    const auto read = [&](const std::string& section, const std::string& key) {
      return readIniValue(f, section, key);
    };
    if (readView(read, readIniSectionNames(f), view, countText) != ViewStatus::Ok) continue;
    std::vector<Logon> slots = listedLogons(view);
    const Snapshot loaded{true, view.path.value_or(""), slots, view, digestOf(bytes)};
    for (unsigned n = rng() % 5; n > 0; --n) {  // adds, deletes and edits
      const size_t at = slots.empty() ? 0 : rng() % slots.size();
      if (rng() % 3 == 0 && !slots.empty())
        slots.erase(slots.begin() + static_cast<ptrdiff_t>(at));
      else if (rng() % 2 == 0 && !slots.empty())
        slots[at].Pass = randomText(rng, 3);
      else
        slots.push_back({"u" + randomText(rng, 2), randomText(rng, 3), randomText(rng, 3)});
    }
    const std::string path = rng() % 2 ? loaded.path : "C:\\" + randomText(rng, 2) + ".exe";
    const std::optional<Edited> edited = editSettings(bytes, loaded, path, slots);
    ASSERT_TRUE(edited) << "round " << round;
    FileTarget system(f);
    ASSERT_TRUE(writeChanges(system, view, path, slots));
    refreshIniFile(f);
    EXPECT_TRUE(edited->bytes == readBytes(f))
        << "round " << round << " " << firstDifference(edited->bytes, readBytes(f));
  }
}

}  // namespace

// The forms the save trusts the engine on: in every section the engine
// calls its own (not among oddSections), the system reads each key as the
// engine does, whatever the other sections hold, and sees the same sections.
// Files of random sections and keys in the engine's layout, names and
// values of what a user may type (code page 932 text with 0x5C and 0x5D
// second bytes, '=', ';', '#', blanks inside), with forms of other kinds
// put in before, between and after them.
TEST_F(EngineDiff, SectionsTheEngineCallsItsOwnReadAlikeThroughTheSystem) {
  std::mt19937 rng(20261209);
  static const std::vector<std::string> names = {"SQL*Plus", "List",     "list",     "0",
                                                 "1",        "2",        "17",       "00",
                                                 "Other",    "\x83\x5D", "\x95\x5C", "a b"};
  // Forms the engine must not call its own, since a load takes such a file
  // by the engine alone and a save trusts such a section to it: the system
  // may read them otherwise. The first five are of the whole file.
  static const std::vector<std::string> odd = {
      "\xEF\xBB\xBF",  // byte order marks (put first)
      "\xFF\xFE",
      "\xFE\xFF",
      "[0]\nk=v\n",                               // LF line ends
      "[0]\r\nk = v\r\n",                         // blanks around '='
      "[List]\r\nCOUNT=1\r\n",                    // a section twice, in other letter case
      "[0]\r\nuser=a\r\nUSER=b\r\n",              // a key twice, in other letter case
      "[0]\r\nnovalue\r\n",                       // a key without '='
      "[1]\r\nk=\"q\"\r\nUser='s'\r\n",           // values in quotes
      "[0]\r\n;k=v\r\nUser=c\r\n",                // a comment
      "[2]\r\n[\r\nx]\r\n",                       // a header cut short
      "[Other]\r\n;[0]\r\n[0=1\r\nk=\"open\r\n",  // lines that look like headers
      "[Other]\r\n=v\r\n",                        // a key without a name
      "k=v\r\n;c\r\n",                            // lines before the first section (put first)
  };
  int plain = 0, partly = 0;
  for (int round = 0; round < 500; ++round) {
    std::vector<std::string> parts;
    for (unsigned s = rng() % 5 + 1; s > 0; --s) {
      std::string part = "[" + names[rng() % names.size()] + "]\r\n";
      for (unsigned k = rng() % 4; k > 0; --k)
        part += names[rng() % names.size()] + "k=" + randomText(rng, 4) + "\r\n";
      parts.push_back(part);
    }
    for (unsigned n = rng() % 4 == 0 ? rng() % 3 + 1 : 0; n > 0; --n) {
      const size_t which = rng() % odd.size();
      const bool first = which < 3 || which + 1 == odd.size();
      parts.insert(first ? parts.begin() : parts.begin() + rng() % (parts.size() + 1), odd[which]);
    }
    std::string bytes;
    for (const std::string& part : parts) bytes += part;
    const ini::Profile profile = ini::Profile::parse(bytes);
    const std::optional<std::set<std::string>> others = oddSections(bytes, profile);
    if (!others) continue;
    const std::string f = freshFile(bytes);
    plain += isPlainFile(bytes);
    EXPECT_EQ(readIniSectionNames(f), profile.sectionNames()) << bytes;
    for (const ini::Section& section : profile.sections()) {
      if (others->count(codepage::lowerCase(section.name))) continue;
      for (const ini::Key& key : section.keys) {
        partly += !others->empty();
        EXPECT_EQ(readIniValue(f, section.name, key.name),
                  valueRead(profile.get(section.name, key.name, kAbsentKey)))
            << bytes;
      }
    }
  }
  // The check saw whole files, and keys beside other forms, not only refusals.
  EXPECT_GT(plain, 50);
  EXPECT_GT(partly, 50);
}
