// The release of the work folder's protection when a run is cancelled.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bastion_fixture.h"
#include "env/protection.h"

namespace {

using Lines = std::vector<std::string>;

class ReleaseProtectionTest : public BastionTest {};

TEST_F(ReleaseProtectionTest, SystemNotInstalledGivesFalseWithoutTheInterface) {
  ExpectCall(ReleaseProtection, "installed=0\n", false, 0, {"IsBastionInstalled -> 0"});
}

TEST_F(ReleaseProtectionTest, ReleasesTheFolderAndUninstallsWhenNoProductIsInstalled) {
  ExpectCall(ReleaseProtection, "installed=1\nrunning=1\n", true, 0,
             {
                 "IsBastionInstalled -> 1",
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_ReleaseFolder <pid> <W> -> 1",
                 "BN_UninstallSystem <pid> -> 1",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
  EXPECT_NE(Control().find("installed=0"), std::string::npos);
}

TEST_F(ReleaseProtectionTest, InstalledProductKeepsTheSystem) {
  MarkProductInstalled();
  ExpectCall(ReleaseProtection, "installed=1\n", true, 0,
             {
                 "IsBastionInstalled -> 1",
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_ReleaseFolder <pid> <W> -> 1",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(ReleaseProtectionTest, FailuresOfTheComponentAreOnlyRecorded) {
  MakeWorkFolder("installed=1\nfail=BN_ReleaseFolder,BN_UninstallSystem\nerror=55\n");
  int error = 0;
  EXPECT_TRUE(ReleaseProtection(work_.c_str(), &error));
  EXPECT_EQ(error, 55);
  EXPECT_EQ(Log().size(), 5u);
}

TEST_F(ReleaseProtectionTest, MissingLibraryOrInterfaceGivesFalse) {
  MakeWorkFolder("installed=1\n");
  DeleteFileA((work_ + "bnapi.dll").c_str());
  int error = 0;
  EXPECT_FALSE(ReleaseProtection(work_.c_str(), &error));
  EXPECT_EQ(error, ERROR_MOD_NOT_FOUND);

  DeleteFileA((work_ + "bnstub.dll").c_str());
  DeleteFileA(LogPath().c_str());
  EXPECT_FALSE(ReleaseProtection(work_.c_str(), &error));
  EXPECT_EQ(error, ERROR_MOD_NOT_FOUND);
  EXPECT_TRUE(Log().empty());
}

TEST_F(ReleaseProtectionTest, MissingExportsGiveFalse) {
  MakeWorkFolder("installed=1\n");
  InstallPartial("protection_api_partial.dll", "bnapi.dll");
  int error = 0;
  EXPECT_FALSE(ReleaseProtection(work_.c_str(), &error));
  EXPECT_EQ(error, ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(Log(), (Lines{
                       "IsBastionInstalled -> 1",
                       "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                       "UnLoadBastionInterface bnapi.dll -> 1",
                   }));

  InstallPartial("protection_stub_partial.dll", "bnstub.dll");
  DeleteFileA(LogPath().c_str());
  EXPECT_FALSE(ReleaseProtection(work_.c_str(), &error));
  EXPECT_EQ(error, ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(Log().empty());
}

}  // namespace
