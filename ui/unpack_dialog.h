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
//   ui/run_dialog.cpp           RunProgressDialog (app/app.h): the dialog run modally
//   ui/modal_dialog.cpp         the modal loop and dialog procedure underneath (CModalDialog)
#pragma once
#include <windows.h>

#include "app/failure.h"
#include "ui/modal_dialog.h"

class CUnpackDialog : public CModalDialog {
 public:
  // The one-shot timer whose first tick starts the extraction.
  static constexpr UINT_PTR kSequenceTimerId = 100;
  static constexpr UINT kSequenceTimerMs = 100;

  explicit CUnpackDialog(HWND parent = nullptr);
  ~CUnpackDialog() override;

  BOOL SetSilent(int silent);
  // FALSE, and that folder left empty, when a path does not fit in 259 characters: a cut
  // path would name another folder.
  BOOL SetFolders(const char *archiveFolder, const char *outputFolder);

  // Archive unpack with progress: 1 done, 0 failed, 101 cancelled.
  short UnpackArchive(const char *archiveFolder, const char *outputFolder, const char *archiveName);
  // Runs the waiting window messages, then the idle processing.
  void PumpMessages();

  // Inner installer hand-over; a kx::kLaunch... result.
  int LaunchInstaller(const char *folder);
  BOOL HideDialog();
  int CopyCleaner(const char *folder);

  // The extraction sequence (timer 100). It ends the dialog on every path; a failure that
  // ends the run is left in m_pFailure for start-up to report.
  void OnTimer(UINT_PTR timerId);

  BOOL PreTranslateMessage(MSG *msg) override;

  int m_nSilent = 0;
  int m_bCancelled = 0;
  const kx::Failure *m_pFailure = nullptr;
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
