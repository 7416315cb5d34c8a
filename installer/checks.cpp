// The environment checks: the Traditional-Chinese code page, then a Windows
// of the 95 family.
#include "setup.h"

namespace setup {

static const char kVersionCaption[] = "版本錯誤";

int CheckCodePage(HWND mainWindow) {
  if (GetACP() == 950) return kContinue;
  MessageBeep(0xFFFFFFFF);
  MessageBoxA(mainWindow, "This is not Tranditional Chinese Environment.\n The installation will stop.",
              "Installation Fail", MB_OK);
  return kStop;
}

int CheckVersion(HWND mainWindow) {
  DWORD version = GetVersion();
  UINT major = LOBYTE(LOWORD(version));
  UINT minor = HIBYTE(LOWORD(version));
  UINT build = HIWORD(version);

  if (version < 0x80000000u) {
    // The NT family: advise the edition for it, but let the user go on.
    char text[256];
    if (major == 5 && minor == 0)
      wsprintfA(text,
                "你目前的系統是 Microsoft Windows 2000 (Build: %u)\n建議你按「確定」結束安裝，\n"
                "並安裝TavrinQiv2000 for Windows 2000",
                build);
    else if (major == 5 && minor == 1)
      wsprintfA(text,
                "你目前的系統是Microsoft Windows XP (Build: %u)\n建議你按「確定」結束安裝，\n"
                "並安裝TavrinQiv2000 for Windows 2000",
                build);
    else
      wsprintfA(text,
                "你目前的系統是Microsoft Windows NT %u.%u (Build: %u)\n建議你按「確定」結束安裝，\n"
                "並安裝TavrinQivNT4 for Windows NT4.0",
                major, minor, build);
    MessageBeep(0xFFFFFFFF);
    if (MessageBoxA(mainWindow, text, kVersionCaption, MB_OKCANCEL) == IDOK) return kStop;
    return kContinue;
  }

  if (major < 4) {
    // Windows 3.1 with the 32-bit extension.
    MessageBeep(0xFFFFFFFF);
    MessageBoxA(mainWindow,
                "你目前的系統是 Microsoft Windows 3.1，\n無法安裝這個版本的Tavrin，請按「確定」結束安裝，\n"
                "並安裝Tavrin輸入法 for Windows 3.1 的版本 。",
                kVersionCaption, MB_OK);
    return kStop;
  }
  return kContinue;
}

}  // namespace setup
