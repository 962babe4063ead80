// Differential test, Windows only: the portable INI engine against the
// system's profile functions, on hand-made files and on random store runs.
// Whatever one reads or writes, the other must read or write byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <set>

#include "CodePage.h"
#include "CodePage932Table.h"
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
    FileTarget system(f, Deadline(std::chrono::minutes(10)));
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

namespace {

// The system's reading of a key, from a buffer far larger than any value
// here: what every one of the program's readings must give.
Value systemRead(const std::string& file, const std::string& section, const std::string& key) {
  static std::string buf(1 << 17, '\0');  // one for every call: tens of thousands of them
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), kAbsentKey, buf.data(),
                                           static_cast<DWORD>(buf.size()), file.c_str());
  return valueRead(buf.substr(0, n));
}

// The key names of a section as the system lists them.
std::vector<std::string> systemKeys(const std::string& file, const std::string& section) {
  static std::string buf(1 << 16, '\0');
  const DWORD n = GetPrivateProfileStringA(section.c_str(), nullptr, "", buf.data(),
                                           static_cast<DWORD>(buf.size()), file.c_str());
  std::vector<std::string> keys;
  for (size_t i = 0; i < n && buf[i] != '\0'; i += keys.back().size() + 1)
    keys.emplace_back(buf.c_str() + i);
  return keys;
}

// One case: a section of its own in a file of many; bytes is the file the
// case alone would make, which tells whether the load trusts the engine.
struct Case {
  enum Kind { Value, Key, Name, Written } kind;
  std::string section, key, bytes;
  std::string written;  // a value the program wrote: what it must read
};

std::string hex2(unsigned b) {
  static const char digits[] = "0123456789ABCDEF";
  return {digits[b >> 4], digits[b & 15]};
}

}  // namespace

// Every code of the code page (each lead byte with each second byte, valid
// or not, and each single byte) in a value, a key and a section name, and
// every value length around each edge of the buffers the program reads
// with, bare, in quotes, with blanks, with a double-byte character across
// the edge: the program's reading (the engine's where the load takes the
// file in the engine's forms, else the system's through ReadIniString) and
// the system's are the same, and so is what the system reads of every value
// the program writes. Each file holds a few hundred cases, one section each;
// a code stands between two letters and a case ends with an empty line, so
// that a code that swallows a line end (a lead byte before CR or LF) or
// breaks a line shifts none of its neighbours.
TEST_F(EngineDiff, EveryCodeAndEveryLengthAtAnEdgeReadsAsTheSystemReadsIt) {
  std::vector<std::string> codes;  // by file: every second byte of one first byte
  std::vector<std::vector<std::string>> files;
  for (unsigned b = 0; b < 256; ++b) codes.push_back(std::string(1, static_cast<char>(b)));
  files.push_back(codes);
  // A byte that leads no character makes a pair of single bytes: those are
  // the single bytes' cases again.
  for (unsigned lead = 0x80; lead < 0x100; ++lead) {
    if (!codepage::isLeadByte(static_cast<unsigned char>(lead))) continue;
    std::vector<std::string> pairs;
    for (unsigned trail = 0; trail < 0x100; ++trail)
      pairs.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    files.push_back(pairs);
  }
  const auto line = [](const std::string& key, const std::string& value) {
    return key + "=" + value + "\r\n";
  };
  const auto section = [](const std::string& name) { return "[" + name + "]\r\n"; };
  // Whether the program may write value: text a box gives (toAnsiExact),
  // without a line break or NUL.
  const auto writable = [](const std::string& value) {
    std::string typed;
    return ini::isStorableValue(value) && toAnsiExact(fromAnsi(value), typed) && typed == value;
  };
  std::vector<std::vector<Case>> batches;
  for (const std::vector<std::string>& file : files) {
    std::vector<Case> values, keys, names, writes;
    for (size_t i = 0; i < file.size(); ++i) {
      const std::string text = "a" + file[i] + "a", id = hex2(static_cast<unsigned>(i));
      // The table of the build without a system, code by code against it.
      if (file[i].size() == 2 && codepage::isText(file[i])) {
        EXPECT_EQ(codepage::rewrittenIn932(static_cast<unsigned char>(file[i][0]),
                                           static_cast<unsigned char>(file[i][1])),
                  !codepage::systemKeeps(file[i]))
            << hex2(static_cast<unsigned char>(file[i][0])) << id;
      }
      values.push_back({Case::Value, "v" + id, "k", section("v" + id) + line("k", text), ""});
      keys.push_back({Case::Key, "k" + id, text, section("k" + id) + line(text, "1"), ""});
      names.push_back(
          {Case::Name, "s" + id + text, "k", section("s" + id + text) + line("k", "1"), ""});
      if (writable(text))
        writes.push_back({Case::Written, "w" + id, "k",
                          section("w" + id) + line("k", ini::protectValue(text)), text});
    }
    for (auto* batch : {&values, &keys, &names, &writes}) batches.push_back(std::move(*batch));
  }
  // Lengths at the edges of ReadIniString's buffer (256, then four times
  // more each time), in the file's forms, and as the program writes them.
  std::vector<Case> lengths;
  for (const size_t edge : {size_t{256}, size_t{1024}, size_t{4096}, size_t{16384}})
    for (size_t n = edge - 3; n <= edge + 1; ++n)
      for (const std::string& x :
           {std::string(n - 1, 'p') + "Z", std::string(n - 2, 'p') + "\x82\xA0",
            std::string(n - 3, 'p') + "\x82\xA0Z"})
        for (const std::string& form :
             {x, "\"" + x + "\"", " " + x + " ", "\" " + x + " \"", "\t" + x + "\t"}) {
          const std::string id = "L" + std::to_string(lengths.size());
          lengths.push_back({Case::Value, id, "k", section(id) + line("k", form), ""});
          if (form == x || form[0] == '"')
            continue;  // as the program writes: a value with blanks at its ends
          const std::string typed = form[0] == ' ' ? form : x;
          lengths.push_back({Case::Written, id + "w", "k",
                             section(id + "w") + line("k", ini::protectValue(typed)), typed});
        }
  batches.push_back(std::move(lengths));

  size_t byEngine = 0, bySystem = 0, roundTrips = 0, byConversion = 0;
  for (const std::vector<Case>& batch : batches) {
    std::string bytes;
    for (const Case& c : batch) bytes += c.bytes + "\r\n";  // a line end more: see above
    const std::string f = freshFile(bytes);
    dateBack(f);  // else Wine reads the file anew at every call
    refreshIniFile(f);
    const ini::Profile all = ini::Profile::parse(bytes);
    std::set<std::string> systemNames;
    for (const std::string& name : readIniSectionNames(f)) systemNames.insert(name);
    for (const Case& c : batch) {
      const bool plain = isPlainFile(c.bytes);
      ++(plain ? byEngine : bySystem);
      // A code the system reads as another: the load reads the bytes as the
      // system converts them by the engine (plainView), names looked up so
      // converted too.
      const std::string seen =
          codepage::isText(c.bytes) ? codepage::systemReading(c.bytes) : c.bytes;
      const bool converted = !plain && seen != c.bytes && isPlainFile(seen);
      // A name the load leaves to the system is read by the system alone:
      // the program looks up only its own names.
      if (!plain && !converted && (c.kind == Case::Key || c.kind == Case::Name)) continue;
      const Value system = systemRead(f, c.section, c.key);
      if (converted) {
        ++byConversion;
        EXPECT_EQ(
            valueRead(ini::Profile::parse(seen).get(codepage::systemReading(c.section),
                                                    codepage::systemReading(c.key), kAbsentKey)),
            system)
            << c.bytes;
      }
      if (!plain || c.bytes.size() > 200) {
        // Key by key (the read-back, the merge, a load the engine leaves)
        // the program reads through ReadIniString.
        ASSERT_EQ(readIniValue(f, c.section, c.key), system) << c.bytes;
      }
      if (c.kind == Case::Written) {
        ++roundTrips;
        EXPECT_EQ(system, c.written) << c.bytes;
      }
      if (!plain) continue;
      // The load takes the engine's reading: it is the system's, the
      // section's name and its keys' names included.
      EXPECT_EQ(valueRead(all.get(c.section, c.key, kAbsentKey)), system) << c.bytes;
      EXPECT_EQ(systemNames.count(c.section), 1u) << c.bytes;
      if (c.kind != Case::Key) continue;
      const ini::Profile alone = ini::Profile::parse(c.bytes);
      std::vector<std::string> engineKeys;
      for (const ini::Key& key : alone.sections().back().keys) engineKeys.push_back(key.name);
      EXPECT_EQ(systemKeys(f, c.section), engineKeys) << c.bytes;
    }
  }
  std::cout << "[ compared ] " << byEngine + bySystem << " cases (" << byEngine
            << " the load takes by the engine, " << bySystem << " through the system), "
            << roundTrips << " of them values the program wrote, " << byConversion
            << " read by the engine as the system converts them), in " << batches.size()
            << " files\n";
  EXPECT_GT(byEngine, 20000u);    // the engine's forms were compared, not only refused
  EXPECT_GT(byConversion, 300u);  // every code the system rewrites, in a value at least
}

// The list of section names at the edges of readIniSectionNames' buffer
// (4096, then four times more), a double-byte character across the edge.
TEST_F(EngineDiff, SectionNameListsAtTheBuffersEdgesReadWhole) {
  for (const size_t edge : {size_t{4096}, size_t{16384}})
    for (size_t total = edge - 4; total <= edge + 1; ++total)
      for (const bool wide : {false, true}) {
        std::string bytes;
        size_t listed = 0;  // the list's length: each name and its NUL
        for (int i = 0; listed + 40 < total; ++i) {
          const std::string name = "n" + std::to_string(i) + std::string(30, 'x');
          bytes += "[" + name + "]\r\nk=1\r\n";
          listed += name.size() + 1;
        }
        const size_t rest = total - listed - 1;  // the last name fills the list to total
        const std::string last =
            wide ? std::string(rest - 2, 'y') + "\x82\xA0" : std::string(rest, 'y');
        bytes += "[" + last + "]\r\nk=1\r\n";
        const std::string f = freshFile(bytes);
        EXPECT_EQ(readIniSectionNames(f), ini::Profile::parse(bytes).sectionNames())
            << total << (wide ? " wide" : "");
      }
}
