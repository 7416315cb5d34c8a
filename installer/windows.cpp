// The main window (blue, with its banner) and the progress window centred on
// it. Both only paint; everything else goes to the default procedure.
#include "setup.h"

namespace setup {

static const char kMainClass[] = "Qiv98";
static const char kProgressClass[] = "MsgWnd";
static const char kMainCaption[] = "Tavrin for Windows 95/98/ME 安裝程式 V5.7";
static const char kProgressCaption[] = "Tavrin";
static const char kBanner[] = "Qiv98 V5.7 Setup";
static const char kProgressText[] = "安裝中，請稍候...";

int RegisterWindowClasses(HINSTANCE instance) {
  WNDCLASSA main;
  main.style = CS_HREDRAW | CS_VREDRAW;
  main.lpfnWndProc = MainWindowProc;
  main.cbClsExtra = 0;
  main.cbWndExtra = 0;
  main.hInstance = instance;
  main.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(102));
  main.hCursor = LoadCursorA(0, IDC_ARROW);
  main.hbrBackground = CreateSolidBrush(RGB(0, 0, 255));
  main.lpszMenuName = 0;
  main.lpszClassName = kMainClass;
  if (!RegisterClassA(&main)) {
    if (main.hbrBackground) DeleteObject(main.hbrBackground);
    return 0;
  }

  WNDCLASSA progress;
  progress.style = CS_HREDRAW | CS_VREDRAW;
  progress.lpfnWndProc = ProgressWindowProc;
  progress.cbClsExtra = 0;
  progress.cbWndExtra = 0;
  progress.hInstance = instance;
  progress.hIcon = 0;
  progress.hCursor = LoadCursorA(0, IDC_WAIT);
  progress.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  progress.lpszMenuName = 0;
  progress.lpszClassName = kProgressClass;
  return RegisterClassA(&progress) ? 1 : 0;
}

HWND CreateMainWindow(HINSTANCE instance) {
  return CreateWindowExA(0, kMainClass, kMainCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, instance, 0);
}

HWND CreateProgressWindow(HWND owner, HINSTANCE instance, int show) {
  HWND window = CreateWindowExA(0, kProgressClass, kProgressCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                250, 250, owner, 0, instance, 0);
  if (!window) return 0;
  CenterOverOwner(window, owner);
  ShowWindow(window, show);
  UpdateWindow(window);
  return window;
}

// Places a window over the middle of its owner, kept on the screen; the
// window stays where it is when the rectangles cannot be read, and an axis
// whose screen size is unknown is not kept on the screen.
void CenterOverOwner(HWND window, HWND owner) {
  RECT own = {0, 0, 0, 0}, parent = {0, 0, 0, 0};
  if (!GetWindowRect(window, &own) || !GetWindowRect(owner, &parent)) return;
  LONG w = own.right - own.left, h = own.bottom - own.top;
  LONG W = parent.right - parent.left, H = parent.bottom - parent.top;

  int screenX = 0, screenY = 0;
  HDC dc = GetDC(window);
  if (dc) {
    screenX = GetDeviceCaps(dc, HORZRES);
    screenY = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(window, dc);
  }

  LONG x = parent.left + (W - w) / 2;  // C division truncates toward zero
  if (x < 0)
    x = 0;
  else if (screenX > 0 && x + w > screenX)
    x = screenX - w;
  LONG y = parent.top + (H - h) / 2;
  if (y < 0)
    y = 0;
  else if (screenY > 0 && y + h > screenY)
    y = screenY - h;
  SetWindowPos(window, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static void PaintBanner(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (!dc) return;
  HFONT font = CreateFontA(60, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_ROMAN, "");
  HGDIOBJ previousFont = font ? SelectObject(dc, font) : 0;
  COLORREF previousColor = SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 10, 10, kBanner, lstrlenA(kBanner));
  SetBkMode(dc, OPAQUE);
  if (previousColor != CLR_INVALID) SetTextColor(dc, previousColor);
  // The font may be deleted only once it is out of the context: after the
  // previous font is back, or else after the context is gone.
  int selected = previousFont != 0;
  if (selected && SelectObject(dc, previousFont)) selected = 0;
  if (font && !selected) DeleteObject(font);
  EndPaint(window, &ps);
  if (font && selected) DeleteObject(font);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wparam, lparam);
  PaintBanner(window);
  return 0;
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wparam, lparam);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc) {
    TextOutA(dc, 10, 10, kProgressText, lstrlenA(kProgressText));
    EndPaint(window, &ps);
  }
  return 0;
}

}  // namespace setup
