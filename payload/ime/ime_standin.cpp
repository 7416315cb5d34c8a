// Stand-in for the input-method module. The real module is a product of its
// own; this library has its file form (an i686 DLL exporting the entry points
// the input-method manager calls) and refuses every request, so that a
// system selecting the layout turns it down cleanly: ImeInquire fails.
#include "win32.h"

extern "C" {

BOOL WINAPI ImeStandInEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }

BOOL WINAPI ImeInquire(void *imeInfo, char *uiClass, DWORD systemInfo) {
  (void)imeInfo, (void)uiClass, (void)systemInfo;
  return FALSE;
}

DWORD WINAPI ImeConversionList(void *context, const char *source, void *destination, DWORD size,
                               UINT flag) {
  (void)context, (void)source, (void)destination, (void)size, (void)flag;
  return 0;
}

BOOL WINAPI ImeConfigure(HKL layout, HWND window, DWORD mode, LPVOID data) {
  (void)layout, (void)window, (void)mode, (void)data;
  return FALSE;
}

BOOL WINAPI ImeDestroy(UINT reserved) {
  (void)reserved;
  return FALSE;
}

LRESULT WINAPI ImeEscape(void *context, UINT escape, LPVOID data) {
  (void)context, (void)escape, (void)data;
  return 0;
}

BOOL WINAPI ImeProcessKey(void *context, UINT virtualKey, LPARAM keyData, const BYTE *keyState) {
  (void)context, (void)virtualKey, (void)keyData, (void)keyState;
  return FALSE;
}

BOOL WINAPI ImeSelect(void *context, BOOL select) {
  (void)context, (void)select;
  return FALSE;
}

BOOL WINAPI ImeSetActiveContext(void *context, BOOL active) {
  (void)context, (void)active;
  return FALSE;
}

UINT WINAPI ImeToAsciiEx(UINT virtualKey, UINT scanCode, const BYTE *keyState, DWORD *translated,
                         UINT state, void *context) {
  (void)virtualKey, (void)scanCode, (void)keyState, (void)translated, (void)state, (void)context;
  return 0;
}

BOOL WINAPI NotifyIME(void *context, DWORD action, DWORD index, DWORD value) {
  (void)context, (void)action, (void)index, (void)value;
  return FALSE;
}

BOOL WINAPI ImeRegisterWord(const char *reading, DWORD style, const char *text) {
  (void)reading, (void)style, (void)text;
  return FALSE;
}

BOOL WINAPI ImeUnregisterWord(const char *reading, DWORD style, const char *text) {
  (void)reading, (void)style, (void)text;
  return FALSE;
}

UINT WINAPI ImeGetRegisterWordStyle(UINT items, void *styles) {
  (void)items, (void)styles;
  return 0;
}

UINT WINAPI ImeEnumRegisterWord(void *callback, const char *reading, DWORD style, const char *text,
                                LPVOID data) {
  (void)callback, (void)reading, (void)style, (void)text, (void)data;
  return 0;
}

BOOL WINAPI ImeSetCompositionString(void *context, DWORD index, const void *composition,
                                    DWORD compositionSize, const void *reading, DWORD readingSize) {
  (void)context, (void)index, (void)composition, (void)compositionSize, (void)reading,
      (void)readingSize;
  return FALSE;
}

LRESULT CALLBACK UIWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)window, (void)message, (void)wParam, (void)lParam;
  return 0;
}

}  // extern "C"
