// The net service names the host box offers, read from the client's
// tnsnames.ora (files of its own, made elsewhere), and where that file is.
#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "TnsNames.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using Names = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

// A file's identity as the system gives it: the same for every spelling
// (letter case, '/' or '\\', "." and ".." in the path). It plays the file
// system, for ASCII paths, not a rule of the reader's.
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
           Case{"a word in the first column starts an entry: the one above breaks",
                {{"d/tnsnames.ora",
                  "ORCL =\n  (DESCRIPTION =\nHOST=inside\n (ADDRESS=(HOST=h))\n)\n"
                  "PROD=(x)\n"}},
                {"PROD"}},
           Case{"CR LF",
                {{"d/tnsnames.ora", "ORCL =\r\n  (x\r\n)\r\nPROD=(y)\r\n"}},
                {"ORCL", "PROD"}},
           Case{"CR alone, and a byte order mark",
                {{"d/tnsnames.ora", "\xEF\xBB\xBFORCL =\r  (x\r)\rPROD=(y)\r"}},
                {"ORCL", "PROD"}},
           Case{"the reference's layouts: a name alone, an alias list over lines",
                {{"d/tnsnames.ora",
                  "sales\n  =\n (DESCRIPTION=\n   (ADDRESS_LIST=\n     (LOAD_BALANCE=on)\n"
                  "     (ADDRESS=(PROTOCOL=tcp)(HOST=sales1-server)(PORT=1521)))\n"
                  "   (CONNECT_DATA=\n     (SERVICE_NAME=sales.us.example.com)))\n"
                  "hr,\n  hr.world = "
                  "(DESCRIPTION=(ADDRESS=(HOST=h))\n(CONNECT_DATA=(SID=hr))\n)\n"}},
                {"sales", "hr", "hr.world"}},
           Case{"'#' escaped or quoted is not a comment",
                {{"d/tnsnames.ora",
                  "A=(DESCRIPTION=(HOST=h\\#1)) # (\nB=(x=\"p#w\")(y='#')\n  # )\nC=(z)\n"}},
                {"A", "B", "C"}},
           Case{"a broken entry hides only itself",
                {{"d/tnsnames.ora",
                  "A=(DESCRIPTION=(ADDRESS=(HOST=a)\nB=(x)\nC=(x))\nD=(x)(\nE=x y\n"
                  "hello\nMY DB=(x)\nF=\nG=(x)=(y)\n" +
                      std::string(10000, '(') + "\nH=(x)\n"}},
                {"B", "E", "H"}},
           Case{"not in the first column",
                {{"d/tnsnames.ora", "  INDENTED = (x)\nORCL=(y)\n"}},
                {"ORCL"}},
           // ア and ヂ differ only in a second byte that is 'A' or 'a'.
           Case{"once each, the first spelling; double-byte characters exactly",
                {{"d/tnsnames.ora", "orcl=(x)\nORCL=(y)\nA=(z)\n\x83\x41=(x)\n\x83\x61=(y)\n"}},
                {"orcl", "A", "\x83\x41", "\x83\x61"}},
           Case{"an included file, where it is included",
                {{"d/tnsnames.ora", "A=(x)\nIFILE=sub.ora\nB=(y)\n"}, {"d/sub.ora", "C=(z)\n"}},
                {"A", "C", "B"}},
           Case{"includes in a loop: each file once",
                {{"d/tnsnames.ora", "A=(x)\nifile = \"b.ora\"\n"},
                 {"d/b.ora", "B=(x)\nIFILE=tnsnames.ora\n"}},
                {"A", "B"}},
           Case{"includes to a depth of four",
                {{"d/tnsnames.ora", "N0=(x)\nIFILE=1\n"},
                 {"d/1", "N1=(x)\nIFILE=2\n"},
                 {"d/2", "N2=(x)\nIFILE=3\n"},
                 {"d/3", "N3=(x)\nIFILE=4\n"},
                 {"d/4", "N4=(x)\nIFILE=5\n"},
                 {"d/5", "N5=(x)\nIFILE=6\n"},
                 {"d/6", "N6=(x)\n"}},
                {"N0", "N1", "N2", "N3", "N4"}},
           Case{"an include that is not there",
                {{"d/tnsnames.ora", "IFILE=gone.ora\nA=(x)\n"}},
                {"A"}},
           Case{"unbalanced and garbage: what can be read",
                {{"d/tnsnames.ora",
                  "A=((\nB=(x)\n))\nC==\n=(x)\n(D)=1\nE F=(x)\n\x81=(x)\nF=(x)\n"}},
                {"F"}},
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

  // Every include counts, read or not (a file read already, one missing, a
  // device): past the budget the rest are passed over, and the file's own
  // names still come.
  for (const std::string include : {"tnsnames.ora", "missing.ora", "NUL:"}) {
    Files files{{"d/tnsnames.ora", ""}, {"d/sub.ora", "S=(x)\n"}};
    for (int i = 0; i < tns::kMaxFiles; ++i) files["d/tnsnames.ora"] += "IFILE=" + include + "\n";
    files["d/tnsnames.ora"] += "IFILE=sub.ora\nLAST=(x)\n";
    EXPECT_EQ(namesOf(files), Names{"LAST"}) << include;
  }

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
                             "\\\\?\\GLOBALROOT\\Device\\x", "conin$", "NUL:", "d\\COM1:",
                             "com1:.ora", "C:nul", "\\??\\C:\\t.ora", "\\??\\pipe\\x"})
    EXPECT_TRUE(tns::isDeviceName(device)) << device;
  for (const char* file : {"tnsnames.ora", "d\\console.ora", "com10", "\\\\srv\\share\\t.ora",
                           "\\\\?\\C:\\t.ora", "\\\\?\\UNC\\srv\\s\\t.ora"})
    EXPECT_FALSE(tns::isDeviceName(file)) << file;
}

// TNS_ADMIN, from the environment or else the home's registry key, is the
// only place; otherwise a read-only home's base home, the home, the client's
// own folder.
TEST(TnsNames, TheClientsPlacesForItsFileFirstFoundWins) {
  const std::string home = "C:\\app\\product\\19.0.0\\client_1";
  const std::string client = home + "\\BIN\\sqlplus.exe";
  EXPECT_EQ(tns::oracleHomeOf(client), home);
  EXPECT_EQ(tns::candidateFiles(client, ""), (Names{home + "\\network\\admin\\tnsnames.ora",
                                                    home + "\\BIN\\network\\admin\\tnsnames.ora"}));
  EXPECT_EQ(tns::candidateFiles(client, "", {"", "C:\\app\\homes\\OraClient19Home1\\"}),
            (Names{"C:\\app\\homes\\OraClient19Home1\\network\\admin\\tnsnames.ora",
                   home + "\\network\\admin\\tnsnames.ora",
                   home + "\\BIN\\network\\admin\\tnsnames.ora"}));
  EXPECT_EQ(tns::candidateFiles(client, "", {"E:\\net", "C:\\base"}),
            Names{"E:\\net\\tnsnames.ora"});
  EXPECT_EQ(tns::candidateFiles(client, " D:\\tns\\", {"E:\\net", ""}),
            Names{"D:\\tns\\tnsnames.ora"});
  EXPECT_EQ(tns::candidateFiles("C:\\instantclient_21_9\\sqlplus.exe", ""),
            Names{"C:\\instantclient_21_9\\network\\admin\\tnsnames.ora"});
  EXPECT_EQ(tns::oracleHomeOf("C:\\instantclient_21_9\\sqlplus.exe"), "");
  EXPECT_EQ(tns::candidateFiles("", "D:\\tns"), Names{"D:\\tns\\tnsnames.ora"});
  EXPECT_EQ(tns::candidateFiles("sqlplus.exe", ""), Names{});
}

#ifdef _WIN32
// The home's key is found by its ORACLE_HOME, written as the registry and
// its users write it (another letter case, '/', a separator at the end).
TEST(TnsNames, TheHomesRegistryKeyIsFoundByItsOracleHome) {
  const wchar_t* const key = L"SOFTWARE\\ORACLE\\KEY_VkTestHome";
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                            nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const auto set = [&](const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  };
  set(L"ORACLE_HOME", L"c:/VK/Client_1\\");
  set(L"ORACLE_BASE_HOME", L"C:\\vk\\homes\\OraClient");
  const std::string client = "C:\\vk\\client_1\\bin\\sqlplus.exe";
  SetEnvironmentVariableA("TNS_ADMIN", nullptr);
  EXPECT_EQ(tns::clientFiles(client),
            (Names{"C:\\vk\\homes\\OraClient\\network\\admin\\tnsnames.ora",
                   "C:\\vk\\client_1\\network\\admin\\tnsnames.ora",
                   "C:\\vk\\client_1\\bin\\network\\admin\\tnsnames.ora"}));
  set(L"TNS_ADMIN", L"C:\\vk\\net");
  EXPECT_EQ(tns::clientFiles(client), Names{"C:\\vk\\net\\tnsnames.ora"});
  EXPECT_EQ(tns::homeKey("C:\\vk\\client_2").tnsAdmin, "");  // another home: not this key
  SetEnvironmentVariableA("TNS_ADMIN", "D:\\tns");
  EXPECT_EQ(tns::clientFiles(client), Names{"D:\\tns\\tnsnames.ora"});
  SetEnvironmentVariableA("TNS_ADMIN", nullptr);
  RegCloseKey(k);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, 0);

  // A 32-bit client's home is in the registry's 32-bit view.
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                            nullptr, &k, nullptr),
            ERROR_SUCCESS);
  set(L"ORACLE_HOME", L"C:\\vk\\client32");
  set(L"TNS_ADMIN", L"C:\\vk\\net32");
  EXPECT_EQ(tns::homeKey("C:\\vk\\client32").tnsAdmin, "C:\\vk\\net32");
  RegCloseKey(k);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, 0);
}
#endif

}  // namespace
