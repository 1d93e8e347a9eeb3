// Reading back what was painted: pixels of a device context, and icons drawn for comparison.
#pragma once
#include <windows.h>

#include <vector>

namespace kxtest {

// The pixels of a rectangle of a device context as 32-bit values (blue in the low byte), top
// row first.
inline std::vector<DWORD> Capture(HDC source, int x, int y, int w, int h) {
  HDC mem = CreateCompatibleDC(source);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, source, x, y, SRCCOPY);
  GdiFlush();
  std::vector<DWORD> pixels(static_cast<DWORD *>(bits), static_cast<DWORD *>(bits) + w * h);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  return pixels;
}

// An icon drawn at the top left of a w x h area of one colour.
inline std::vector<DWORD> IconOver(HICON icon, COLORREF background, int w, int h) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  RECT all = {0, 0, w, h};
  HBRUSH brush = CreateSolidBrush(background);
  FillRect(mem, &all, brush);
  DeleteObject(brush);
  DrawIcon(mem, 0, 0, icon);
  std::vector<DWORD> pixels = Capture(mem, 0, 0, w, h);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return pixels;
}

}  // namespace kxtest
