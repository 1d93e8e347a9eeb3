// A thin modal-dialog layer over plain Win32: creation from a template, a modal loop that
// offers every message to PreTranslateMessage first, EndDialog that takes effect once the
// current handler has returned, and idle processing. Kept separate from the dialogs built on it.
#pragma once
#include <windows.h>

class CModalDialog {
 public:
  CModalDialog(UINT templateId, HWND parent);
  virtual ~CModalDialog();

  // Creates the window from the template and runs the modal loop until EndDialog. Returns
  // the EndDialog result, or -1 when the window could not be created (or WM_QUIT arrived).
  INT_PTR DoModal();
  // Asks the modal loop to end with the result. The loop looks at the request only after the
  // message being handled has returned, so a handler may go on working after calling it.
  void EndDialog(INT_PTR result);

  // Offered every message the modal loop takes, before it is translated and dispatched.
  // TRUE consumes it. The default gives dialog keyboard handling (Tab, Enter, Escape...).
  virtual BOOL PreTranslateMessage(MSG *msg);
  // Idle processing, run when the queue is empty; FALSE when no more idle work is wanted.
  virtual BOOL OnIdle(LONG count);

  HWND m_hWnd = nullptr;

 protected:
  // Runs while WM_INITDIALOG is handled; binds controls through DoDataExchange. TRUE lets the
  // dialog manager give the focus to the first tab-stop control.
  virtual BOOL OnInitDialog();
  // Binds the dialog's controls to members.
  virtual void DoDataExchange() {}
  virtual void OnCancel();
  // One handler per message. Set handled when the message is dealt with; otherwise the dialog
  // manager's default processing follows. The return value is the dialog procedure's result.
  virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam, bool &handled);

  UINT m_templateId;
  HWND m_hParent;
  bool m_endRequested = false;
  INT_PTR m_result = -1;
  bool m_initWantsFocus = false;  // OnInitDialog returned TRUE

 private:
  static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool CreateFromTemplate(bool *showAfterInit);
  void RunModalLoop();
};
