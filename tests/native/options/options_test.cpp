// Option parsing: the value forms the inner installer relies on, letter case, cut lines.
#include "base/options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Parsed {
  bool result;
  std::string productPath, param, firewall;
};

Parsed Parse(const char *line) {
  kx::InstallerOptions opts;
  // Garbage first: the parser must empty every member itself.
  std::memset(&opts, 'x', sizeof opts);
  Parsed p;
  p.result = kx::ParseOptions(line, &opts);
  p.productPath = opts.productPath;
  p.param = opts.param;
  p.firewall = opts.firewall;
  return p;
}

TEST(ParseOptions, EmptyOrMissingLineLeavesEverythingEmpty) {
  for (const char *line : {"", static_cast<const char *>(nullptr)}) {
    Parsed p = Parse(line);
    EXPECT_FALSE(p.result);
    EXPECT_EQ(p.productPath, "");
    EXPECT_EQ(p.param, "");
    EXPECT_EQ(p.firewall, "");
  }
  EXPECT_FALSE(kx::ParseOptions("/PARAM=x", nullptr));
}

TEST(ParseOptions, LineWithoutOptionsIsParsedButLeavesMembersEmpty) {
  Parsed p = Parse("hello world /KXPAT=1 /PARAM /FIREWALL");
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.productPath, "");
  EXPECT_EQ(p.param, "");
  EXPECT_EQ(p.firewall, "");
}

TEST(ParseOptions, ProductPathIsRecognisedOnlyInUpperCase) {
  EXPECT_EQ(Parse("/kxpath=C:\\P").productPath, "");
  EXPECT_EQ(Parse("/KxPath=C:\\P").productPath, "");
  EXPECT_EQ(Parse("/KXPATH=C:\\P").productPath, "/KXPATH=C:\\P");
}

TEST(ParseOptions, ProductPathWithoutFirewallKeepsOptionAndRestAsTyped) {
  EXPECT_EQ(Parse("/KXPATH=C:\\Prog /UPDTPATH=D:\\U").productPath,
            "/KXPATH=C:\\Prog /UPDTPATH=D:\\U");
  EXPECT_EQ(Parse("/KXPATH=C:\\Prog").productPath, "/KXPATH=C:\\Prog");
  // Found anywhere, with no separator before it; what precedes it is dropped.
  EXPECT_EQ(Parse("abc/KXPATH=c:\\mixed Case").productPath, "/KXPATH=c:\\mixed Case");
}

TEST(ParseOptions, ProductPathWithFirewallIsTheBarePathUpToTheNextSlash) {
  Parsed p = Parse("/KXPATH=C:\\Prog /firewall=1");
  EXPECT_EQ(p.productPath, "C:\\Prog ");
  EXPECT_EQ(p.firewall, "/FIREWALL=1");

  p = Parse("/FIREWALL=1 /KXPATH=C:\\Prog");
  EXPECT_EQ(p.productPath, "C:\\Prog");
  EXPECT_EQ(p.firewall, "/FIREWALL=1");

  // Letter case of the path is kept; an empty value stays empty.
  EXPECT_EQ(Parse("/KXPATH=c:\\Prog\\x /FIREWALL=0").productPath, "c:\\Prog\\x ");
  EXPECT_EQ(Parse("/KXPATH=/FIREWALL=1").productPath, "");
}

TEST(ParseOptions, FirewallTakesElevenUpperCasedCharacters) {
  EXPECT_EQ(Parse("/FIREWALL=yes").firewall, "/FIREWALL=Y");
  EXPECT_EQ(Parse("/FIREWALL=").firewall, "/FIREWALL=");
  EXPECT_EQ(Parse("x /fireWall=no more").firewall, "/FIREWALL=N");
  EXPECT_EQ(Parse("/FIREWALL=1").firewall, "/FIREWALL=1");
}

TEST(ParseOptions, ParamIsRecognisedInAnyCaseAndUpperCased) {
  Parsed p = Parse("/param=abc def");
  EXPECT_EQ(p.param, "ABC DEF");
  EXPECT_EQ(p.productPath, "");
  EXPECT_EQ(p.firewall, "");
  EXPECT_EQ(Parse("x/PaRaM=/q /KXPATH=c:\\a").param, "/Q /KXPATH=C:\\A");
  EXPECT_EQ(Parse("/PARAM=").param, "");
}

TEST(ParseOptions, OnlyTheFirstOccurrenceCounts) {
  Parsed p = Parse("/PARAM=one /PARAM=two /FIREWALL=1 /FIREWALL=2");
  EXPECT_EQ(p.param, "ONE /PARAM=TWO /FIREWALL=1 /FIREWALL=2");
  EXPECT_EQ(p.firewall, "/FIREWALL=1");
}

TEST(ParseOptions, UpperCasingChangesOnlyAsciiLetters) {
  // Bytes of the code page's upper half (here Latin-1 e-acute and a-ring) are kept as typed.
  Parsed p = Parse("/param=caf\xe9 \xe5z{}~`");
  EXPECT_EQ(p.param, "CAF\xe9 \xe5Z{}~`");
}

TEST(ParseOptions, LongLinesAreCutAt259Characters) {
  // A /KXPATH= value that runs past 259 characters keeps the first 259 of the line.
  std::string line = "/KXPATH=C:\\" + std::string(400, 'p');
  Parsed p = Parse(line.c_str());
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.productPath, line.substr(0, 259));

  line = "/param=" + std::string(300, 'a');
  p = Parse(line.c_str());
  EXPECT_EQ(p.param, std::string(259 - 7, 'A'));

  // Options that start beyond the cut are not seen.
  line = std::string(255, ' ') + "/PARAM=x /FIREWALL=1 /KXPATH=y";
  p = Parse(line.c_str());
  EXPECT_EQ(p.param, "");
  EXPECT_EQ(p.firewall, "");
  EXPECT_EQ(p.productPath, "");

  // An option cut inside its name is not seen either; one cut inside its value is shortened.
  line = std::string(250, ' ') + "/FIREWALL=1";
  EXPECT_EQ(Parse(line.c_str()).firewall, "");
  line = std::string(249, ' ') + "/FIREWALL=1";
  EXPECT_EQ(Parse(line.c_str()).firewall, "/FIREWALL=");
  line = std::string(248, ' ') + "/FIREWALL=1";
  EXPECT_EQ(Parse(line.c_str()).firewall, "/FIREWALL=1");
}

TEST(ParseOptions, ExactlyFittingLinesAreKeptWhole) {
  std::string line = "/KXPATH=" + std::string(259 - 8, 'q');
  EXPECT_EQ(Parse(line.c_str()).productPath, line);
  line = "/PARAM=" + std::string(259 - 7, 'q');
  EXPECT_EQ(Parse(line.c_str()).param, std::string(259 - 7, 'Q'));
}

}  // namespace
