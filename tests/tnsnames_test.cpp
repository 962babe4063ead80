// The net service names the host box offers, read from the client's
// tnsnames.ora (files of its own, made elsewhere), and where that file is.
#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "TnsNames.h"

namespace {

using Names = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

// A file's identity as the system gives it: the same for every spelling
// (letter case, '/' or '\\', "." and ".." in the path).
std::string canonical(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : path + "/") {
    if (c != '/' && c != '\\') {
      part += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      continue;
    }
    if (part == ".." && !parts.empty())
      parts.pop_back();
    else if (!part.empty() && part != ".")
      parts.push_back(part);
    part.clear();
  }
  std::string id;
  for (const auto& p : parts) id += "/" + p;
  return id;
}

// The names of top among files; reads, when given, gets every path read.
Names namesOf(const Files& files, const std::string& top = "d/tnsnames.ora",
              Names* reads = nullptr) {
  const auto at = [&](const std::string& path) {
    for (auto f = files.begin(); f != files.end(); ++f)
      if (canonical(f->first) == canonical(path)) return f;
    return files.end();
  };
  return tns::readNames(top, {[&](const std::string& path, size_t maxBytes, std::string& bytes) {
                                const auto f = at(path);
                                if (f == files.end() || f->second.size() > maxBytes) return false;
                                if (reads) reads->push_back(path);
                                bytes = f->second;
                                return true;
                              },
                              [&](const std::string& path) {
                                return at(path) == files.end() ? std::string() : canonical(path);
                              }});
}

TEST(TnsNames, ReadsTheNamesAsTheClientDoes) {
  struct Case {
    const char* what;
    Files files;
    Names names;
  };
  const std::string descriptor = "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=db)(PORT=1521)))";
  for (const Case& c : {
           Case{"comments",
                {{"d/tnsnames.ora", "# ORCL0=(x)\nORCL = (x) # PROD=(y)\n#TEST=\n"}},
                {"ORCL"}},
           Case{"a comma list",
                {{"d/tnsnames.ora", "A, B ,c.world = " + descriptor + "\n"}},
                {"A", "B", "c.world"}},
           Case{"a descriptor over lines, a word in the first column inside it",
                {{"d/tnsnames.ora",
                  "ORCL =\n  (DESCRIPTION =\nHOST=inside\n (ADDRESS=(HOST=h))\n)\n"
                  "PROD=(x)\n"}},
                {"ORCL", "PROD"}},
           Case{"CR LF",
                {{"d/tnsnames.ora", "ORCL =\r\n  (x\r\n)\r\nPROD=(y)\r\n"}},
                {"ORCL", "PROD"}},
           Case{"not in the first column",
                {{"d/tnsnames.ora", "  INDENTED = (x)\nORCL=(y)\n"}},
                {"ORCL"}},
           Case{"once each, the first spelling",
                {{"d/tnsnames.ora", "orcl=(x)\nORCL=(y)\nA=(z)\n"}},
                {"orcl", "A"}},
           Case{"an included file, where it is included",
                {{"d/tnsnames.ora", "A=(x)\nIFILE=sub.ora\nB=(y)\n"}, {"d/sub.ora", "C=(z)\n"}},
                {"A", "C", "B"}},
           Case{"includes in a loop: each file once",
                {{"d/tnsnames.ora", "A=(x)\nifile = \"b.ora\"\n"},
                 {"d/b.ora", "B=(x)\nIFILE=tnsnames.ora\n"}},
                {"A", "B"}},
           Case{"includes to a depth of five",
                {{"d/tnsnames.ora", "N0=(x)\nIFILE=1\n"},
                 {"d/1", "N1=(x)\nIFILE=2\n"},
                 {"d/2", "N2=(x)\nIFILE=3\n"},
                 {"d/3", "N3=(x)\nIFILE=4\n"},
                 {"d/4", "N4=(x)\nIFILE=5\n"},
                 {"d/5", "N5=(x)\nIFILE=6\n"},
                 {"d/6", "N6=(x)\n"}},
                {"N0", "N1", "N2", "N3", "N4", "N5"}},
           Case{"an include that is not there",
                {{"d/tnsnames.ora", "IFILE=gone.ora\nA=(x)\n"}},
                {"A"}},
           Case{"unbalanced and garbage: what can be read",
                {{"d/tnsnames.ora", "A=((\nB=(x)\n))\nC==\n=(x)\n(D)=1\nE F=(x)\n\x81=(x)\n"}},
                {"A", "C"}},
           Case{"no file", {}, {}},
           Case{"devices are never opened",
                {{"d/tnsnames.ora", "IFILE=CON\nIFILE=\\\\.\\COM1\nIFILE=nul.ora\nA=(x)\n"},
                 {"d/CON", "C=(x)\n"},
                 {"d/nul.ora", "N=(x)\n"}},
                {"A"}},
       })
    EXPECT_EQ(namesOf(c.files), c.names) << c.what;
}

// One file included under many spellings is read once; a read has a budget
// of files and bytes, and a file larger than what is left is not read at all.
TEST(TnsNames, EachFileOnceWithinTheBudget) {
  Names reads;
  EXPECT_EQ(namesOf({{"d/tnsnames.ora",
                      "A=(x)\nIFILE=t.ora\nIFILE=./t.ora\nIFILE=.\\t.ora\nIFILE=T.ORA\n"
                      "IFILE=x\\..\\t.ora\n"},
                     {"d/t.ora", "T=(x)\nIFILE=../d/tnsnames.ora\nIFILE=T.ora\n"}},
                    "d/tnsnames.ora", &reads),
            (Names{"A", "T"}));
  EXPECT_EQ(reads, (Names{"d/tnsnames.ora", "d/t.ora"}));

  Files many{{"d/tnsnames.ora", ""}};
  for (int i = 0; i < 100; ++i) {
    many["d/tnsnames.ora"] += "IFILE=f" + std::to_string(i) + "\n";
    many["d/f" + std::to_string(i)] = "N" + std::to_string(i) + "=(x)\n";
  }
  reads.clear();
  EXPECT_EQ(namesOf(many, "d/tnsnames.ora", &reads).size(), size_t{tns::kMaxFiles - 1});
  EXPECT_EQ(reads.size(), size_t{tns::kMaxFiles});

  reads.clear();
  EXPECT_EQ(namesOf({{"d/tnsnames.ora", "IFILE=big.bin\nIFILE=small\n"},
                     {"d/big.bin", "B=(x)\n" + std::string(tns::kMaxBytes, '#')},
                     {"d/small", "S=(x)\n"}},
                    "d/tnsnames.ora", &reads),
            Names{"S"});
  EXPECT_EQ(reads, (Names{"d/tnsnames.ora", "d/small"}));
}

TEST(TnsNames, DevicesAreKnownByTheirNames) {
  for (const char* device : {"CON", "d\\nul", "d/Com1.ora", "LPT9", "\\\\.\\pipe\\x", "//./COM1",
                             "\\\\?\\GLOBALROOT\\Device\\x", "conin$"})
    EXPECT_TRUE(tns::isDeviceName(device)) << device;
  for (const char* file : {"tnsnames.ora", "d\\console.ora", "com10", "\\\\srv\\share\\t.ora",
                           "\\\\?\\C:\\t.ora", "\\\\?\\UNC\\srv\\s\\t.ora"})
    EXPECT_FALSE(tns::isDeviceName(file)) << file;
}

TEST(TnsNames, TheClientsPlacesForItsFileFirstFoundWins) {
  EXPECT_EQ(tns::candidateFiles("C:\\app\\product\\19.0.0\\client_1\\BIN\\sqlplus.exe", ""),
            (Names{"C:\\app\\product\\19.0.0\\client_1\\BIN\\network\\admin\\tnsnames.ora",
                   "C:\\app\\product\\19.0.0\\client_1\\network\\admin\\tnsnames.ora"}));
  EXPECT_EQ(
      tns::candidateFiles("C:\\instantclient_21_9\\sqlplus.exe", "D:\\tns\\"),
      (Names{"D:\\tns\\tnsnames.ora", "C:\\instantclient_21_9\\network\\admin\\tnsnames.ora"}));
  EXPECT_EQ(tns::candidateFiles("", "D:\\tns"), Names{"D:\\tns\\tnsnames.ora"});
  EXPECT_EQ(tns::candidateFiles("sqlplus.exe", ""), Names{});
}

}  // namespace
