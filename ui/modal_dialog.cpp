// The modal-dialog layer: a modeless dialog from the template plus a loop of our own, so that
// every message passes PreTranslateMessage and ending the dialog waits for the running handler.
#include "ui/modal_dialog.h"

#include <cstring>
#include <vector>

namespace {

// The dialog being created on this thread: it receives the messages that arrive before
// WM_INITDIALOG hands over its pointer.
thread_local CModalDialog *t_creating = nullptr;

// Messages whose dialog-procedure result is the message result itself.
bool ReturnsResultDirectly(UINT msg) {
  switch (msg) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

// The style field of a dialog template, plain or extended.
DWORD *TemplateStyle(unsigned char *tpl, size_t size) {
  WORD version, signature;
  if (size < 16) return nullptr;
  std::memcpy(&version, tpl, 2);
  std::memcpy(&signature, tpl + 2, 2);
  if (version == 1 && signature == 0xFFFF) return reinterpret_cast<DWORD *>(tpl + 12);
  return reinterpret_cast<DWORD *>(tpl);
}

}  // namespace

CModalDialog::CModalDialog(UINT templateId, HWND parent)
    : m_templateId(templateId), m_hParent(parent) {}

CModalDialog::~CModalDialog() {
  if (m_hWnd) DestroyWindow(m_hWnd);
}

// Creates the window hidden whatever the template says; the caller shows it after
// WM_INITDIALOG, as the dialog manager would, so that a dialog that must stay hidden can
// refuse the show request before anything reaches the screen.
bool CModalDialog::CreateFromTemplate(bool *showAfterInit) {
  *showAfterInit = false;
  HINSTANCE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(m_templateId), MAKEINTRESOURCEA(5));
  if (!res) return false;
  HGLOBAL loaded = LoadResource(module, res);
  DWORD size = SizeofResource(module, res);
  const void *bytes = loaded ? LockResource(loaded) : nullptr;
  // A dialog template is a few hundred bytes; anything far larger is not one of ours.
  if (!bytes || size == 0 || size > 65536) return false;

  // DWORD-aligned copy that we may change.
  std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  unsigned char *tpl = reinterpret_cast<unsigned char *>(copy.data());
  std::memcpy(tpl, bytes, size);
  DWORD *style = TemplateStyle(tpl, size);
  if (!style) return false;
  *showAfterInit = (*style & WS_VISIBLE) != 0;
  *style &= ~static_cast<DWORD>(WS_VISIBLE);

  t_creating = this;
  HWND hwnd = CreateDialogIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(tpl), m_hParent,
                                         StaticDialogProc, reinterpret_cast<LPARAM>(this));
  t_creating = nullptr;
  if (!hwnd) return false;
  m_hWnd = hwnd;
  return true;
}

INT_PTR CModalDialog::DoModal() {
  if (m_hWnd) return -1;  // already running
  m_endRequested = false;
  m_result = -1;

  // A modal dialog keeps input away from its owner; without an owner there is nothing to do.
  bool ownerDisabled = false;
  if (m_hParent && IsWindowEnabled(m_hParent)) {
    EnableWindow(m_hParent, FALSE);
    ownerDisabled = true;
  }

  bool show = false;
  if (CreateFromTemplate(&show)) {
    if (show && !m_endRequested) {
      ShowWindow(m_hWnd, SW_SHOWNORMAL);
      // The focus given during WM_INITDIALOG does not hold while the window is still hidden:
      // give it again, as the dialog manager would for a dialog created visible.
      if (m_initWantsFocus && m_hWnd) {
        if (HWND first = GetNextDlgTabItem(m_hWnd, nullptr, FALSE)) SetFocus(first);
      }
    }
    RunModalLoop();
  }

  // Give the owner its input back before the dialog goes, so activation returns to it.
  if (ownerDisabled) EnableWindow(m_hParent, TRUE);
  if (m_hWnd) DestroyWindow(m_hWnd);
  return m_result;
}

void CModalDialog::RunModalLoop() {
  LONG idleCount = 0;
  bool idleDone = false;
  while (!m_endRequested) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!idleDone && OnIdle(idleCount++)) continue;
      idleDone = true;
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the loop that runs after us.
      PostQuitMessage(static_cast<int>(msg.wParam));
      m_result = -1;
      return;
    }
    if (msg.message != WM_TIMER) {
      idleDone = false;
      idleCount = 0;
    }
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void CModalDialog::EndDialog(INT_PTR result) {
  m_result = result;
  m_endRequested = true;
}

BOOL CModalDialog::PreTranslateMessage(MSG *msg) {
  if (!m_hWnd || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
  if (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return IsDialogMessageA(m_hWnd, msg);
}

BOOL CModalDialog::OnIdle(LONG) { return FALSE; }

BOOL CModalDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

void CModalDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CModalDialog::DialogProc(UINT msg, WPARAM, LPARAM, bool &handled) {
  if (msg == WM_INITDIALOG) {
    handled = true;
    m_initWantsFocus = OnInitDialog() != FALSE;
    return m_initWantsFocus;
  }
  return FALSE;
}

INT_PTR CALLBACK CModalDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto *self = reinterpret_cast<CModalDialog *>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!self && t_creating) {
    self = t_creating;
    self->m_hWnd = hwnd;
    SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return FALSE;

  bool handled = false;
  INT_PTR result = self->DialogProc(msg, wParam, lParam, handled);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->m_hWnd = nullptr;
  }
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(msg)) return result;
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}
