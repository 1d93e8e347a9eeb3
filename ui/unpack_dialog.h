// The progress dialog: the program's only window. It unpacks the payload archives on its
// first timer tick and hands over to the inner installer.
#pragma once
#include <windows.h>

#include "ui/modal_dialog.h"

class CUnpackDialog : public CModalDialog {
 public:
  explicit CUnpackDialog(HWND parent = nullptr);
  ~CUnpackDialog() override;

  BOOL SetSilent(int silent);
  BOOL SetFolders(const char *archiveFolder, const char *outputFolder);

  // Archive unpack with progress: 1 done, 0 failed, 101 cancelled.
  short UnpackArchive(const char *archiveFolder, const char *outputFolder, const char *archiveName);
  void PumpMessages();

  // Inner installer hand-over.
  int LaunchInstaller(const char *folder);
  BOOL HideDialog();
  int CopyCleaner(const char *folder);

  // The extraction sequence (timer 100).
  void OnTimer(UINT_PTR timerId);

  int m_nSilent;
  int m_bCancelled = 0;
  char m_szOutputFolder[260] = {};
  char m_szArchiveFolder[260] = {};
  HWND m_ctlStatus = nullptr;    // control 1003
  HWND m_ctlProgress = nullptr;  // control 1001
  HICON m_hIcon = nullptr;       // icon 128

 protected:
  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG *msg) override;
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam, bool &handled) override;
};
