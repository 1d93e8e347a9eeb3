// The progress dialog: construction, initialisation, painting and the handlers of its
// message map. The work itself starts on the first timer tick (see sequence.cpp).
#include "ui/unpack_dialog.h"

#include "base/text.h"
#include "env/hijack.h"
#include "res/resource.h"

namespace {

// Paths longer than the buffer are refused rather than cut.
BOOL CopyFolder(char (&dst)[260], const char *src) {
  if (kx::CopyText(dst, src ? src : "")) return TRUE;
  dst[0] = '\0';
  return FALSE;
}

}  // namespace

CUnpackDialog::CUnpackDialog(HWND parent) : CModalDialog(IDD_UNPACK_DIALOG, parent) {
  m_hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KXUNPACK));
  m_bCancelled = 0;
}

CUnpackDialog::~CUnpackDialog() = default;

BOOL CUnpackDialog::SetSilent(const kx::SilentMode &silent) {
  m_silent = silent;
  return TRUE;
}

BOOL CUnpackDialog::SetOptions(const kx::InstallerOptions &options) {
  m_options = options;
  return TRUE;
}

BOOL CUnpackDialog::SetFolders(const char *archiveFolder, const char *outputFolder) {
  BOOL archiveFits = CopyFolder(m_szArchiveFolder, archiveFolder);
  BOOL outputFits = CopyFolder(m_szOutputFolder, outputFolder);
  return archiveFits && outputFits;
}

void CUnpackDialog::DoDataExchange() {
  m_ctlStatus = GetDlgItem(m_hWnd, IDC_STATUS_TEXT);
  m_ctlProgress = GetDlgItem(m_hWnd, IDC_PROGRESS);
}

BOOL CUnpackDialog::OnInitDialog() {
  CModalDialog::OnInitDialog();
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  // Entries that would run another program instead of the inner installer, or change how
  // it starts, must be gone before it is started.
  RemoveDebuggerHijack("stage.exe");
  RemoveCompatLayers("stage.exe");
  // The work starts on the first tick, so the window can come up and paint first.
  SetTimer(m_hWnd, kSequenceTimerId, kSequenceTimerMs, nullptr);
  return TRUE;
}

BOOL CUnpackDialog::PreTranslateMessage(MSG *msg) {
  // Escape would reach the dialog manager as Cancel: the only way to cancel is the button.
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
  return CModalDialog::PreTranslateMessage(msg);
}

INT_PTR CUnpackDialog::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam, bool &handled) {
  switch (msg) {
    case WM_PAINT:
      // Only the minimised window needs drawing of its own: the icon.
      if (!IsIconic(m_hWnd)) return FALSE;
      handled = true;
      OnPaint();
      return 0;
    case WM_QUERYDRAGICON:
      handled = true;
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_WINDOWPOSCHANGING:
      OnWindowPosChanging(reinterpret_cast<WINDOWPOS *>(lParam));
      return FALSE;  // the default handling follows with the changed request
    case WM_TIMER:
      OnTimer(wParam);
      // Any other timer keeps the default handling.
      handled = wParam == kSequenceTimerId;
      return 0;
    case WM_CLOSE:
      handled = true;
      OnClose();
      return 0;
    case WM_HELP:
      handled = true;
      return OnHelpInfo(reinterpret_cast<HELPINFO *>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
        handled = true;
        OnCancelButton();
        return 0;
      }
      return FALSE;
    default:
      return CModalDialog::DialogProc(msg, wParam, lParam, handled);
  }
}

void CUnpackDialog::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int cx = GetSystemMetrics(SM_CXICON);
  int cy = GetSystemMetrics(SM_CYICON);
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  int x = (rc.right - rc.left - cx + 1) / 2;
  int y = (rc.bottom - rc.top - cy + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &ps);
}

HCURSOR CUnpackDialog::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CUnpackDialog::OnWindowPosChanging(WINDOWPOS *pos) {
  // Whoever asks to show a silent dialog, the request arrives here without its show flag.
  if (m_silent.runHidden && pos) pos->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
}

void CUnpackDialog::OnClose() {}

BOOL CUnpackDialog::OnHelpInfo(HELPINFO *) { return TRUE; }

void CUnpackDialog::OnCancelButton() {
  m_bCancelled = 1;
  OnCancel();
}
