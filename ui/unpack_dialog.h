// The progress dialog: the program's only window. It unpacks the payload archives on its
// first timer tick and hands over to the inner installer.
//
// Where each part lives:
//   ui/unpack_dialog.cpp        construction, SetSilent, SetFolders, initialisation, the
//                               message handlers (paint, icon, show, close, help, Cancel)
//   ui/sequence.cpp             OnTimer: the extraction sequence
//   ui/unpack_dialog_owner.cpp  UnpackArchive and PumpMessages: the dialog as the owner of an
//                               archive unpack (ui/unpack_archive.h)
//   ui/launch.cpp               LaunchInstaller, HideDialog, CopyCleaner
//   ui/run_dialog.cpp           RunProgressDialog (ui/run_dialog.h): the dialog run modally
//   ui/modal_dialog.cpp         the modal loop and dialog procedure underneath (CModalDialog)
#pragma once
#include <windows.h>

#include "base/options.h"
#include "base/run_outcome.h"
#include "base/stamp.h"
#include "ui/modal_dialog.h"
#include "ui/unpack_archive.h"

class CUnpackDialog : public CModalDialog {
 public:
  // The one-shot timer whose first tick starts the extraction.
  static constexpr UINT_PTR kSequenceTimerId = 100;
  static constexpr UINT kSequenceTimerMs = 100;

  explicit CUnpackDialog(HWND parent = nullptr);
  ~CUnpackDialog() override;

  // What start-up hands over before the modal run: the silent mode, the options for the inner
  // installer and the two folders.
  BOOL SetSilent(const kx::SilentMode &silent);
  BOOL SetOptions(const kx::InstallerOptions &options);
  // FALSE, and that folder left empty, when a path does not fit in 259 characters: a cut
  // path would name another folder.
  BOOL SetFolders(const char *archiveFolder, const char *outputFolder);

  // Archive unpack with progress (ui/unpack_archive.h).
  UnpackResult UnpackArchive(const char *archiveFolder, const char *outputFolder,
                             const char *archiveName);
  // Runs the waiting window messages, then the idle processing.
  void PumpMessages();

  // Inner installer hand-over; a kx::kLaunch... result, and with kx::kLaunchFinished the
  // installer's exit code.
  int LaunchInstaller(const char *folder, DWORD *exitCode);
  BOOL HideDialog();
  int CopyCleaner(const char *folder);

  // The extraction sequence (timer 100). It ends the dialog on every path and leaves in
  // m_outcome how the run ended, for start-up to act on.
  void OnTimer(UINT_PTR timerId);

  BOOL PreTranslateMessage(MSG *msg) override;

  kx::SilentMode m_silent;
  kx::InstallerOptions m_options = {};
  int m_bCancelled = 0;
  kx::RunOutcome m_outcome;
  char m_szOutputFolder[260] = {};
  char m_szArchiveFolder[260] = {};
  HWND m_ctlStatus = nullptr;    // control 1003
  HWND m_ctlProgress = nullptr;  // control 1001
  HICON m_hIcon = nullptr;       // icon 128

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange() override;
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam, bool &handled) override;

  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnWindowPosChanging(WINDOWPOS *pos);
  void OnClose();
  BOOL OnHelpInfo(HELPINFO *info);
  void OnCancelButton();
};
