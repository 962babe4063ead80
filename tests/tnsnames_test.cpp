// The net service names the host box offers, read from the client's
// tnsnames.ora (files of its own, made elsewhere), and where that file is.
#include <gtest/gtest.h>

#include <map>

#include "TnsNames.h"

namespace {

using Names = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

Names namesOf(const Files& files, const std::string& top = "d/tnsnames.ora") {
  return tns::readNames(top, [&](const std::string& path, std::string& bytes) {
    const auto at = files.find(path);
    if (at == files.end()) return false;
    bytes = at->second;
    return true;
  });
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
       })
    EXPECT_EQ(namesOf(c.files), c.names) << c.what;
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
