// The inner installer's command line, from the front end's command line and the silent flag.
#include "ui/installer_cmdline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/options.h"

namespace {

constexpr char kFolder[] = "C:\\TEMP\\KX4217.ins\\";

// The line the inner installer gets when the front end was started with frontEndLine.
std::string Build(const char *folder, const char *frontEndLine, int silent, bool *ok = nullptr) {
  kx::InstallerOptions opts;
  kx::ParseOptions(frontEndLine, &opts);
  char out[260];
  std::memset(out, 'x', sizeof out);
  bool built =
      kx::BuildInstallerCommandLine(folder, kx::DecodeSilent(silent), opts, out, sizeof out);
  if (ok) *ok = built;
  EXPECT_EQ(built, out[0] != '\0');
  return out;
}

TEST(InstallerCommandLine, EveryRowOfTheLaunchTable) {
  EXPECT_EQ(Build(kFolder, "", 0), "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD");
  EXPECT_EQ(Build(kFolder, "", 1), "C:\\TEMP\\KX4217.ins\\stage.exe /SILENT");
  EXPECT_EQ(Build(kFolder, "/KXPATH=C:\\Prog", 0),
            "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD /KXPATH=C:\\Prog");
  EXPECT_EQ(Build(kFolder, "/KXPATH=C:\\Prog /firewall=1", 0),
            "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD C:\\Prog  /FIREWALL=1");
  EXPECT_EQ(Build(kFolder, "/param=abc def", 0), "C:\\TEMP\\KX4217.ins\\stage.exe ABC DEF");
}

TEST(InstallerCommandLine, OptionEdgeCasesReachTheInstaller) {
  EXPECT_EQ(Build(kFolder, "/kxpath=C:\\P", 0), "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD");
  EXPECT_EQ(Build(kFolder, "/KXPATH=C:\\Prog /UPDTPATH=D:\\U", 0),
            "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD /KXPATH=C:\\Prog /UPDTPATH=D:\\U");
  EXPECT_EQ(Build(kFolder, "/FIREWALL=1 /KXPATH=C:\\Prog", 0),
            "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD C:\\Prog /FIREWALL=1");
  EXPECT_EQ(Build(kFolder, "/FIREWALL=yes", 1),
            "C:\\TEMP\\KX4217.ins\\stage.exe /SILENT /FIREWALL=Y");
  EXPECT_EQ(Build(kFolder, "/FIREWALL=", 0),
            "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD /FIREWALL=");
  EXPECT_EQ(Build(kFolder, "no options here", 0), "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD");
  // /PARAM= wins over everything else, the mode switch included.
  EXPECT_EQ(Build(kFolder, "/KXPATH=C:\\P /FIREWALL=1 /param=q", 1),
            "C:\\TEMP\\KX4217.ins\\stage.exe Q");
}

TEST(InstallerCommandLine, OnlySilentOneMeansSilent) {
  for (int silent : {0, 2, -1, 0xFF, 0x101}) {
    EXPECT_EQ(Build(kFolder, "", silent), "C:\\TEMP\\KX4217.ins\\stage.exe /STANDARD") << silent;
  }
  EXPECT_EQ(Build(kFolder, "", 1), "C:\\TEMP\\KX4217.ins\\stage.exe /SILENT");
}

TEST(InstallerCommandLine, ProgramPathWithABlankIsQuoted) {
  EXPECT_EQ(Build("C:\\Users\\Test User\\Temp\\KX0102.ins\\", "", 0),
            "\"C:\\Users\\Test User\\Temp\\KX0102.ins\\stage.exe\" /STANDARD");
  EXPECT_EQ(Build("C:\\a\tb\\", "/param=x", 0), "\"C:\\a\tb\\stage.exe\" X");
}

TEST(InstallerCommandLine, ProgramPathWithAQuoteIsRefused) {
  bool ok = true;
  EXPECT_EQ(Build("C:\\a\"b\\", "", 0, &ok), "");
  EXPECT_FALSE(ok);
}

TEST(InstallerCommandLine, LinesThatDoNotFitAreRefusedNeverCut) {
  // 259 characters fit exactly; one more is refused.
  std::string folder = "C:\\" + std::string(259 - 4 - 9 - 10, 'f') + "\\";
  bool ok = false;
  std::string line = Build(folder.c_str(), "", 0, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(line.size(), 259u);
  EXPECT_EQ(line, folder + "stage.exe /STANDARD");

  folder = "C:\\" + std::string(259 - 4 - 9 - 10 + 1, 'f') + "\\";
  EXPECT_EQ(Build(folder.c_str(), "", 0, &ok), "");
  EXPECT_FALSE(ok);

  // The quotes count too.
  folder = "C:\\a " + std::string(259 - 6 - 9 - 10 - 2, 'f') + "\\";
  EXPECT_EQ(Build(folder.c_str(), "", 0, &ok).size(), 259u);
  EXPECT_TRUE(ok);
  folder = "C:\\a " + std::string(259 - 6 - 9 - 10 - 1, 'f') + "\\";
  EXPECT_EQ(Build(folder.c_str(), "", 0, &ok), "");
  EXPECT_FALSE(ok);

  // A product path of the full 259 characters cannot follow the program.
  std::string frontEnd = "/KXPATH=" + std::string(251, 'p');
  EXPECT_EQ(Build(kFolder, frontEnd.c_str(), 0, &ok), "");
  EXPECT_FALSE(ok);
  frontEnd = "/PARAM=" + std::string(252, 'p');
  EXPECT_EQ(Build(kFolder, frontEnd.c_str(), 0, &ok), "");
  EXPECT_FALSE(ok);
}

TEST(InstallerCommandLine, SmallBuffersAndMissingArguments) {
  kx::InstallerOptions opts{};
  char out[32];
  std::memset(out, 'x', sizeof out);
  EXPECT_FALSE(kx::BuildInstallerCommandLine(kFolder, kx::SilentMode(), opts, out, 16));
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(out[16], 'x') << "nothing written past the capacity";
  EXPECT_FALSE(kx::BuildInstallerCommandLine(nullptr, kx::SilentMode(), opts, out, sizeof out));
  EXPECT_FALSE(kx::BuildInstallerCommandLine(kFolder, kx::SilentMode(), opts, nullptr, 0));
}

TEST(InstallerPath, FolderFollowedByTheProgramName) {
  char out[260];
  EXPECT_TRUE(kx::BuildInstallerPath("C:\\Users\\Test User\\KX1.ins\\", out, sizeof out));
  EXPECT_STREQ(out, "C:\\Users\\Test User\\KX1.ins\\stage.exe");
  std::string folder = "C:\\" + std::string(260, 'f') + "\\";
  EXPECT_FALSE(kx::BuildInstallerPath(folder.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(kx::BuildInstallerPath(nullptr, out, sizeof out));
}

}  // namespace
