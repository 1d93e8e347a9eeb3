// The self-protection set-up, every branch that returns, against the doubles.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bastion_fixture.h"
#include "env/protection.h"
#include "win/launch/test_folders.h"

namespace {

using Lines = std::vector<std::string>;

class SetUpProtectionTest : public BastionTest {};

const BastionTest::Call kSetUp = [](const char *work, int *error) {
  return SetUpProtection(work, 0, error);
};

TEST_F(SetUpProtectionTest, FreshMachineInstallsStartsProtectsAndRegisters) {
  ExpectCall(kSetUp, "installed=0\nsupported=1\nrunning=0\n", kSetUpDone, 0,
             {
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_IsSystemRunning <pid> -> 1 running=0",
                 "IsBastionSupportedOS -> 1",
                 "IsBastionInstalled -> 0",
                 "BN_InstallSystem <pid> -> 1",
                 "BN_StartSystem <pid> -> 1",
                 "IsBastionInstalled -> 1",
                 "BN_ProtectFolder <pid> <W> -> 1",
                 "BN_RegisterInstaller <pid> <EXE> -> 1",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(SetUpProtectionTest, InstalledSystemIsOnlyAskedToProtectAndRegister) {
  ExpectCall(kSetUp, "installed=1\nsupported=1\nrunning=0\n", kSetUpDone, 0,
             {
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_IsSystemRunning <pid> -> 1 running=0",
                 "IsBastionSupportedOS -> 1",
                 "IsBastionInstalled -> 1",
                 "IsBastionInstalled -> 1",
                 "BN_ProtectFolder <pid> <W> -> 1",
                 "BN_RegisterInstaller <pid> <EXE> -> 1",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(SetUpProtectionTest, UnsupportedSystemInstallsNothingAndProtectsNothing) {
  ExpectCall(kSetUp, "installed=0\nsupported=0\n", kSetUpDone, 0,
             {
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_IsSystemRunning <pid> -> 1 running=0",
                 "IsBastionSupportedOS -> 0",
                 "IsBastionInstalled -> 0",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(SetUpProtectionTest, FailedInstallUnloadsAndFails) {
  ExpectCall(kSetUp, "supported=1\nfail=BN_InstallSystem\nerror=1603\n", kSetUpFailed, 1603,
             {
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_IsSystemRunning <pid> -> 1 running=0",
                 "IsBastionSupportedOS -> 1",
                 "IsBastionInstalled -> 0",
                 "BN_InstallSystem <pid> -> 0 error=1603",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(SetUpProtectionTest, FailedStartIsOnlyRecorded) {
  ExpectCall(kSetUp, "supported=1\nfail=BN_StartSystem\nerror=31\n", kSetUpDone, 31,
             {
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_IsSystemRunning <pid> -> 1 running=0",
                 "IsBastionSupportedOS -> 1",
                 "IsBastionInstalled -> 0",
                 "BN_InstallSystem <pid> -> 1",
                 "BN_StartSystem <pid> -> 0 error=31",
                 "IsBastionInstalled -> 1",
                 "BN_ProtectFolder <pid> <W> -> 1",
                 "BN_RegisterInstaller <pid> <EXE> -> 1",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(SetUpProtectionTest, FailedProtectionOrRegistrationIsOnlyRecorded) {
  ExpectCall(kSetUp, "installed=1\nfail=BN_ProtectFolder,BN_RegisterInstaller\nerror=77\n",
             kSetUpDone, 77,
             {
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_IsSystemRunning <pid> -> 1 running=0",
                 "IsBastionSupportedOS -> 1",
                 "IsBastionInstalled -> 1",
                 "IsBastionInstalled -> 1",
                 "BN_ProtectFolder <pid> <W> -> 0 error=77",
                 "BN_RegisterInstaller <pid> <EXE> -> 0 error=77",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(SetUpProtectionTest, FailedRunningQueryCountsAsNotRunning) {
  ExpectCall(kSetUp, "installed=1\nrunning=1\nfail=BN_IsSystemRunning\nerror=9\n", kSetUpDone, 9,
             {
                 "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                 "BN_IsSystemRunning <pid> -> 0 error=9",
                 "IsBastionSupportedOS -> 1",
                 "IsBastionInstalled -> 1",
                 "IsBastionInstalled -> 1",
                 "BN_ProtectFolder <pid> <W> -> 1",
                 "BN_RegisterInstaller <pid> <EXE> -> 1",
                 "UnLoadBastionInterface bnapi.dll -> 1",
             });
}

TEST_F(SetUpProtectionTest, RunningSystemWithTheProductInstalledIsNoReasonToRefuse) {
  MarkProductInstalled();
  MakeWorkFolder("installed=1\nrunning=1\n");
  int error = -1;
  EXPECT_TRUE(SetUpProtection(work_.c_str(), 0, &error));
  EXPECT_EQ(error, 0);
  Lines log = Log();
  EXPECT_EQ(log.at(1), "BN_IsSystemRunning <pid> -> 1 running=1");
  EXPECT_EQ(log.at(5), "BN_ProtectFolder <pid> <W> -> 1");
  EXPECT_TRUE(testing_folders::Exists(work_));
}

TEST_F(SetUpProtectionTest, MissingLibraryGivesFalse) {
  MakeWorkFolder("installed=1\n");
  DeleteFileA((work_ + "bnstub.dll").c_str());
  int error = 0;
  EXPECT_FALSE(SetUpProtection(work_.c_str(), 0, &error));
  EXPECT_EQ(error, ERROR_MOD_NOT_FOUND);
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(SetUpProtection(nullptr, 0, &error));
  EXPECT_NE(error, 0);
}

// In a helper process that keeps the default DLL search: this process's own restriction
// would keep a decoy out whatever the loader asked for.
TEST_F(SetUpProtectionTest, LibraryIsNeverTakenFromTheCurrentFolderOrPath) {
  // A bnstub.dll in the current folder and on PATH, none in the work folder.
  std::string decoys = testing_folders::FreshFolder("protection\\decoys");
  ASSERT_TRUE(testing_folders::CopyDouble("bnstub.dll", decoys + "bnstub.dll"));
  ASSERT_TRUE(testing_folders::CopyDouble("bnapi.dll", decoys + "bnapi.dll"));
  MakeWorkFolder("installed=1\n");
  DeleteFileA((work_ + "bnstub.dll").c_str());

  std::string savedPath(32767, '\0');
  savedPath.resize(GetEnvironmentVariableA("PATH", &savedPath[0], 32767));
  SetEnvironmentVariableA("PATH", (decoys + ";" + savedPath).c_str());
  std::string line =
      "\"" + OwnFolder() + "protection_refuse.exe\" \"" + work_ + "\\\" 0 unrestricted";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                decoys.c_str(), &si, &pi);
  SetEnvironmentVariableA("PATH", savedPath.c_str());
  ASSERT_TRUE(started);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);

  EXPECT_EQ(code, 100u + kSetUpFailed) << "the set-up must fail for want of its library";
  EXPECT_FALSE(testing_folders::Exists(decoys + "bn_log.txt")) << "a decoy was loaded";
}

TEST_F(SetUpProtectionTest, LoaderFindsItsDependenciesInTheWorkFolder) {
  MakeWorkFolder("installed=1\n");
  InstallPartial("protection_stub_dependent.dll", "bnstub.dll");
  InstallPartial("protection_dependency.dll", "protection_dependency.dll");
  int error = -1;
  EXPECT_TRUE(SetUpProtection(work_.c_str(), 0, &error));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(Log().front(), "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll");
  EXPECT_FALSE(Loaded("protection_dependency.dll"));

  // The same loader without its dependency beside it does not load at all.
  DeleteFileA((work_ + "protection_dependency.dll").c_str());
  EXPECT_FALSE(SetUpProtection(work_.c_str(), 0, &error));
  EXPECT_EQ(error, ERROR_MOD_NOT_FOUND);
}

// A system that does not know the search flags refuses them with ERROR_INVALID_PARAMETER.
HMODULE RefuseSearchFlags(const char *) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}
HMODULE FailOtherwise(const char *) {
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

TEST_F(SetUpProtectionTest, LoaderFallsBackWhereTheSearchFlagsAreUnknown) {
  MakeWorkFolder("installed=1\n");
  InstallPartial("protection_stub_dependent.dll", "bnstub.dll");
  InstallPartial("protection_dependency.dll", "protection_dependency.dll");
  StubLoaderFn previous = SetStubLoaderForTesting(RefuseSearchFlags);
  int error = -1;
  SetUpResult result = SetUpProtection(work_.c_str(), 0, &error);
  SetStubLoaderForTesting(previous);
  EXPECT_EQ(result, kSetUpDone) << "the set-up must still run, and so must its refusal";
  EXPECT_EQ(error, 0);
  EXPECT_EQ(Log().front(), "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll");

  // Any other failure of the flagged load is final: no second try without the flags.
  previous = SetStubLoaderForTesting(FailOtherwise);
  result = SetUpProtection(work_.c_str(), 0, &error);
  SetStubLoaderForTesting(previous);
  EXPECT_EQ(result, kSetUpFailed);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
}

TEST_F(SetUpProtectionTest, MissingInterfaceLibraryGivesFalse) {
  MakeWorkFolder("installed=1\n");
  DeleteFileA((work_ + "bnapi.dll").c_str());
  int error = 0;
  EXPECT_FALSE(SetUpProtection(work_.c_str(), 0, &error));
  EXPECT_EQ(error, ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(Log(), (Lines{"LoadBastionInterfaceFromPath <W> -> 0 error=126"}));
}

TEST_F(SetUpProtectionTest, RefusedInterfaceGivesFalseWithTheComponentsCode) {
  ExpectCall(kSetUp, "installed=1\nfail=LoadBastionInterfaceFromPath\nerror=4242\n", kSetUpFailed,
             4242, {"LoadBastionInterfaceFromPath <W> -> 0 error=4242"});
}

TEST_F(SetUpProtectionTest, MissingLoaderExportGivesFalse) {
  MakeWorkFolder("installed=1\n");
  InstallPartial("protection_stub_partial.dll", "bnstub.dll");
  int error = 0;
  EXPECT_FALSE(SetUpProtection(work_.c_str(), 0, &error));
  EXPECT_EQ(error, ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(Log().empty()) << "nothing of the component was called";
}

TEST_F(SetUpProtectionTest, MissingInterfaceExportGivesFalseAndUnloads) {
  MakeWorkFolder("installed=1\n");
  InstallPartial("protection_api_partial.dll", "bnapi.dll");
  int error = 0;
  EXPECT_FALSE(SetUpProtection(work_.c_str(), 0, &error));
  EXPECT_EQ(error, ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(Log(), (Lines{
                       "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                       "UnLoadBastionInterface bnapi.dll -> 1",
                   }));
}

}  // namespace
