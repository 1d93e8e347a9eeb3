// A work folder holding the self-protection doubles, their control file and their log.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class BastionTest : public ::testing::Test {
 public:
  // One call of the protection's interface (a work folder, where its error goes), its result
  // as a number.
  using Call = std::function<int(const char *work, int *error)>;

 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh work folder (ending in a backslash) named after the test, with bnstub.dll and
  // bnapi.dll copied in; control is written as bn_control.txt.
  void MakeWorkFolder(const std::string &control);
  void WriteControl(const std::string &control);
  std::string Control() const;
  // The log lines with this process's id written as <pid>, the work folder as <W> and the
  // own image as <EXE>.
  std::vector<std::string> Log() const;
  std::string LogPath() const { return work_ + "bn_log.txt"; }
  // Puts a file of the test's own folder (a partial double) into the work folder.
  void InstallPartial(const char *builtName, const char *asName);

  // Makes the work folder from control, makes the call on it, and checks the result, the
  // error it reports and the calls the doubles logged.
  void ExpectCall(const Call &call, const std::string &control, int result, int error,
                  const std::vector<std::string> &log);

  // Makes the probe answer "installed" (the earlier generation's App Paths key) until TearDown.
  void MarkProductInstalled();

  // Whether a module of that name is loaded in this process.
  static bool Loaded(const char *name) { return GetModuleHandleA(name) != nullptr; }
  static std::string OwnFolder();

  std::string work_;
  std::string logPath_;  // where the doubles log; work_ + bn_log.txt unless redirected
  bool productMarked_ = false;
};

std::string ReplaceAll(std::string text, const std::string &from, const std::string &to);
