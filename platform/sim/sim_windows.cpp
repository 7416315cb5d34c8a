// Simulated windows, painting and message boxes. There is one thread: a
// window paints when UpdateWindow finds it invalid and whenever a message
// box's modal loop runs, which dispatches the paints of every window.
#include <cstring>

#include "sim.h"

namespace sim {

static HGDIOBJ const kStockFont = (HGDIOBJ)(uintptr_t)0x7F00;

Window *FindWindow(HWND window) {
  for (Window &w : M().windows)
    if (w.handle == window && !w.destroyed) return &w;
  return nullptr;
}

std::vector<const Window *> WindowsOfClass(const std::string &className) {
  std::vector<const Window *> out;
  for (const Window &w : M().windows)
    if (Upper(w.className) == Upper(className)) out.push_back(&w);
  return out;
}

int VisibleCount(const std::string &className) {
  int n = 0;
  for (const Window &w : M().windows)
    if (!w.destroyed && w.visible && Upper(w.className) == Upper(className)) ++n;
  return n;
}

const WindowClass *FindClass(const std::string &name) {
  for (const WindowClass &c : M().classes)
    if (Upper(c.name) == Upper(name)) return &c;
  return nullptr;
}

int ResourceId(HICON icon) {
  auto it = M().resources.find((void *)icon);
  return it == M().resources.end() ? 0 : it->second;
}

bool IsSolidBrush(HBRUSH brush, COLORREF *color) {
  auto it = M().brushes.find((HGDIOBJ)brush);
  if (it == M().brushes.end()) return false;
  if (color) *color = it->second;
  return true;
}

int SystemColorIndex(HBRUSH brush) {
  uintptr_t v = (uintptr_t)brush;
  return v >= 1 && v <= 31 ? (int)v - 1 : -1;
}

static Font FontOf(HGDIOBJ font) {
  auto it = M().fonts.find(font);
  if (it != M().fonts.end()) return it->second;
  Font stock;
  stock.stock = true;
  return stock;
}

static WNDPROC ProcOf(const Window &w) {
  const WindowClass *c = FindClass(w.className);
  return c ? c->proc : nullptr;
}

static LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Window *w = FindWindow(window);
  if (!w) return 0;
  WNDPROC proc = ProcOf(*w);
  if (message == WM_PAINT) ++w->paints;
  return proc ? proc(window, message, wparam, lparam) : 0;
}

void Invalidate(HWND window) {
  if (Window *w = FindWindow(window)) w->needsPaint = true;
}

void DispatchPaints() {
  // A paint may create or destroy windows; index, do not iterate.
  for (size_t i = 0; i < M().windows.size(); ++i) {
    Window &w = M().windows[i];
    if (w.destroyed || !w.visible || !w.needsPaint) continue;
    HWND h = w.handle;
    Send(h, WM_PAINT, 0, 0);
    Window *again = FindWindow(h);
    // A window procedure that does not validate would be sent paints for
    // ever; once per dispatch is enough to show it.
    if (again) again->needsPaint = false;
  }
}

static void InvalidateAllVisible() {
  for (Window &w : M().windows)
    if (!w.destroyed && w.visible) w.needsPaint = true;
}

static std::string Quote(LPCSTR s) { return s ? std::string("\"") + s + "\"" : "null"; }

static std::string ResourceName(LPCSTR name) {
  uintptr_t v = (uintptr_t)name;
  if (v < 0x10000) return "#" + std::to_string(v);
  return Quote(name);
}

static void *NewResource(LPCSTR name) {
  uintptr_t v = (uintptr_t)name;
  void *h = NewHandle();
  M().resources[h] = v < 0x10000 ? (int)v : -1;
  return h;
}

static Dc *FindDc(HDC dc) {
  auto it = M().dcs.find(dc);
  return it == M().dcs.end() ? nullptr : &it->second;
}

static Paint *PaintOf(HDC dc) {
  Dc *d = FindDc(dc);
  if (!d || d->paint < 0) return nullptr;
  return &M().paints[(size_t)d->paint];
}

static HDC NewDc(HWND window, int paint) {
  HDC h = (HDC)NewHandle();
  Dc d;
  d.window = window;
  d.paint = paint;
  d.font = kStockFont;
  d.color = 0;
  d.bkMode = OPAQUE;
  M().dcs[h] = d;
  return h;
}

}  // namespace sim

using namespace sim;

unsigned short WINAPI RegisterClassA(const WNDCLASSA *wc) {
  if (Enter("RegisterClassA", true, wc ? Quote(wc->lpszClassName) : "null")) return 0;
  if (!wc || !wc->lpszClassName || FindClass(wc->lpszClassName)) return 0;
  WindowClass c;
  c.name = wc->lpszClassName;
  c.style = wc->style;
  c.proc = wc->lpfnWndProc;
  c.classExtra = wc->cbClsExtra;
  c.windowExtra = wc->cbWndExtra;
  c.instance = wc->hInstance;
  c.icon = wc->hIcon;
  c.cursor = wc->hCursor;
  c.background = wc->hbrBackground;
  c.hasMenu = wc->lpszMenuName != nullptr;
  M().classes.push_back(c);
  return (unsigned short)(0xC000 + M().classes.size());
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style, int x, int y,
                            int width, int height, HWND owner, HMENU, HINSTANCE, LPVOID) {
  if (Enter("CreateWindowExA", true, Quote(className))) return nullptr;
  if (!className || !FindClass(className)) return nullptr;
  if (owner && !FindWindow(owner)) return nullptr;
  Window w;
  w.handle = (HWND)NewHandle();
  w.className = className;
  w.caption = caption ? caption : "";
  w.style = style;
  w.exStyle = exStyle;
  w.owner = owner;
  const RECT &d = M().defaultRect;
  w.rect.left = x == CW_USEDEFAULT ? d.left : x;
  w.rect.top = x == CW_USEDEFAULT ? d.top : y;
  w.rect.right = w.rect.left + (width == CW_USEDEFAULT ? d.right - d.left : width);
  w.rect.bottom = w.rect.top + (width == CW_USEDEFAULT ? d.bottom - d.top : height);
  w.visible = (style & WS_VISIBLE) != 0;
  w.needsPaint = true;
  w.createdAt = Tick();
  M().windows.push_back(w);
  HWND h = w.handle;
  if (Send(h, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  return h;
}

BOOL WINAPI ShowWindow(HWND window, int show) {
  Enter("ShowWindow", false, std::to_string(show));
  Window *w = FindWindow(window);
  if (!w) return FALSE;
  BOOL was = w->visible;
  w->visible = show != SW_HIDE;
  if (w->visible && !was) w->needsPaint = true;
  return was;
}

BOOL WINAPI UpdateWindow(HWND window) {
  if (Enter("UpdateWindow", true)) return FALSE;
  Window *w = FindWindow(window);
  if (!w) return FALSE;
  if (w->visible && w->needsPaint) {
    Send(window, WM_PAINT, 0, 0);
    if (Window *again = FindWindow(window)) again->needsPaint = false;
  }
  return TRUE;
}

BOOL WINAPI DestroyWindow(HWND window) {
  Enter("DestroyWindow", false);
  Window *w = FindWindow(window);
  if (!w) return FALSE;
  // Owned windows go first.
  for (size_t i = 0; i < M().windows.size(); ++i)
    if (!M().windows[i].destroyed && M().windows[i].owner == window) DestroyWindow(M().windows[i].handle);
  Send(window, WM_DESTROY, 0, 0);
  w = FindWindow(window);
  if (!w) return TRUE;
  bool wasVisible = w->visible;
  w->destroyed = true;
  w->visible = false;
  w->destroyedAt = Tick();
  if (wasVisible) InvalidateAllVisible();  // what lay under it shows again
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  Enter("DefWindowProcA", false, std::to_string(message));
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    if (BeginPaint(window, &ps)) EndPaint(window, &ps);
  }
  return 0;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT ps) {
  if (Enter("BeginPaint", true)) return nullptr;
  Window *w = FindWindow(window);
  if (!w || !ps) return nullptr;
  w->needsPaint = false;
  Paint p;
  p.window = window;
  M().paints.push_back(p);
  HDC dc = NewDc(window, (int)M().paints.size() - 1);
  memset(ps, 0, sizeof *ps);
  ps->hdc = dc;
  ps->fErase = TRUE;
  ps->rcPaint.right = w->rect.right - w->rect.left;
  ps->rcPaint.bottom = w->rect.bottom - w->rect.top;
  return dc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT *ps) {
  Enter("EndPaint", false);
  if (!ps) return FALSE;
  Dc *d = FindDc(ps->hdc);
  if (!d) return FALSE;
  if (Paint *p = PaintOf(ps->hdc)) {
    p->ended = true;
    p->restored = d->font == kStockFont && d->color == 0 && d->bkMode == OPAQUE;
  }
  M().dcs.erase(ps->hdc);
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
  if (Enter("GetWindowRect", true)) return FALSE;
  Window *w = FindWindow(window);
  if (!w || !rect) return FALSE;
  *rect = w->rect;
  return TRUE;
}

HDC WINAPI GetDC(HWND window) {
  if (Enter("GetDC", true)) return nullptr;
  if (window && !FindWindow(window)) return nullptr;
  ++M().dcsOut;
  return NewDc(window, -1);
}

int WINAPI ReleaseDC(HWND, HDC dc) {
  Enter("ReleaseDC", false);
  Dc *d = FindDc(dc);
  if (!d || d->paint >= 0) return 0;
  M().dcs.erase(dc);
  --M().dcsOut;
  return 1;
}

BOOL WINAPI SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
  if (Enter("SetWindowPos", true,
            std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" + std::to_string(cy) +
                " flags=" + std::to_string(flags)))
    return FALSE;
  Window *w = FindWindow(window);
  if (!w) return FALSE;
  LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  if (!(flags & SWP_NOSIZE)) {
    width = cx;
    height = cy;
  }
  if (!(flags & SWP_NOMOVE)) {
    w->rect.left = x;
    w->rect.top = y;
  }
  w->rect.right = w->rect.left + width;
  w->rect.bottom = w->rect.top + height;
  if (w->visible) InvalidateAllVisible();
  return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (Enter("MessageBoxA", true, Quote(caption))) return 0;
  Machine &m = M();
  // The box's modal loop dispatches the paints of every window of the thread.
  DispatchPaints();
  Box box;
  box.owner = owner;
  box.text = text ? text : "";
  box.caption = caption ? caption : "";  // the platform shows "Error" for none
  box.type = type;
  box.beeps = m.pendingBeeps;
  m.pendingBeeps.clear();
  for (const Window &w : m.windows)
    if (!w.destroyed && w.visible) box.visible.push_back(w.handle);
  box.at = Tick();
  std::function<void()> during;
  if (m.answerer) {
    box.answer = m.answerer(box);
  } else if (!m.answers.empty()) {
    box.answer = m.answers.front().button;
    during = m.answers.front().during;
    m.answers.pop_front();
  } else {
    box.unexpected = true;
    box.answer = (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
  }
  m.boxes.push_back(box);
  if (during) during();
  DispatchPaints();
  InvalidateAllVisible();  // where the box stood is painted again later
  return m.boxes.back().answer;
}

BOOL WINAPI MessageBeep(UINT type) {
  Enter("MessageBeep", false, std::to_string(type));
  M().pendingBeeps.push_back(type);
  return TRUE;
}

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
  if (Enter("LoadIconA", true, ResourceName(name))) return nullptr;
  return (HICON)NewResource(name);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
  if (Enter("LoadCursorA", true, ResourceName(name))) return nullptr;
  return (HCURSOR)NewResource(name);
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                         DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
  if (Enter("CreateFontA", true, std::to_string(height))) return nullptr;
  Font f;
  f.height = height;
  f.width = width;
  f.escapement = escapement;
  f.orientation = orientation;
  f.weight = weight;
  f.italic = italic;
  f.underline = underline;
  f.strikeOut = strikeOut;
  f.charSet = charSet;
  f.outPrecision = outPrecision;
  f.clipPrecision = clipPrecision;
  f.quality = quality;
  f.pitchAndFamily = pitchAndFamily;
  f.face = face ? face : "";
  HGDIOBJ h = NewHandle();
  M().fonts[h] = f;
  // Counted against the paint whose context is current, if any.
  for (auto &d : M().dcs)
    if (d.second.paint >= 0) ++M().paints[(size_t)d.second.paint].fontsCreated;
  return (HFONT)h;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
  if (Enter("SelectObject", true)) return nullptr;
  Dc *d = FindDc(dc);
  if (!d) return nullptr;
  if (object == kStockFont || M().fonts.count(object)) {
    HGDIOBJ previous = d->font;
    d->font = object;
    return previous;
  }
  return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  Enter("DeleteObject", false);
  for (auto &d : M().dcs)
    if (d.second.font == object)
      if (d.second.paint >= 0) M().paints[(size_t)d.second.paint].deletedSelected = true;
  if (M().fonts.erase(object)) {
    for (auto &d : M().dcs)
      if (d.second.paint >= 0) ++M().paints[(size_t)d.second.paint].fontsDeleted;
    return TRUE;
  }
  return M().brushes.erase(object) ? TRUE : FALSE;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
  if (Enter("SetTextColor", true, std::to_string(color))) return CLR_INVALID;
  Dc *d = FindDc(dc);
  if (!d) return CLR_INVALID;
  COLORREF previous = d->color;
  d->color = color;
  return previous;
}

int WINAPI SetBkMode(HDC dc, int mode) {
  if (Enter("SetBkMode", true, std::to_string(mode))) return 0;
  Dc *d = FindDc(dc);
  if (!d || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  int previous = d->bkMode;
  d->bkMode = mode;
  return previous;
}

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  if (Enter("TextOutA", true)) return FALSE;
  Dc *d = FindDc(dc);
  if (!d || !text || length < 0) return FALSE;
  TextDraw t;
  t.window = d->window;
  t.x = x;
  t.y = y;
  t.text.assign(text, (size_t)length);
  t.color = d->color;
  t.bkMode = d->bkMode;
  t.font = FontOf(d->font);
  if (Paint *p = PaintOf(dc)) p->texts.push_back(t);
  return TRUE;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  if (Enter("CreateSolidBrush", true, std::to_string(color))) return nullptr;
  HGDIOBJ h = NewHandle();
  M().brushes[h] = color;
  return (HBRUSH)h;
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
  if (Enter("GetDeviceCaps", true, std::to_string(index))) return 0;
  if (!FindDc(dc)) return 0;
  if (index == HORZRES) return M().screenWidth;
  if (index == VERTRES) return M().screenHeight;
  return 0;
}
