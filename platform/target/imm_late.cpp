// The input-method-manager functions, bound at run time. IMM32.DLL is not
// imported, so the programs start on a Windows that lacks it (a Western
// Windows 95 may); there each function behaves as a failed call.
#include "win32.h"

typedef BOOL(WINAPI *IsImeFunction)(HKL);
typedef UINT(WINAPI *GetFileNameFunction)(HKL, LPSTR, UINT);
typedef HKL(WINAPI *InstallFunction)(LPCSTR, LPCSTR);

static int bound;  // 0: not tried yet, 1: tried
static IsImeFunction isIme;
static GetFileNameFunction getFileName;
static InstallFunction install;

static void Bind(void) {
  if (bound) return;
  bound = 1;
  HMODULE imm = LoadLibraryA("IMM32.DLL");
  if (!imm) return;
  isIme = (IsImeFunction)(void *)GetProcAddress(imm, "ImmIsIME");
  getFileName = (GetFileNameFunction)(void *)GetProcAddress(imm, "ImmGetIMEFileNameA");
  install = (InstallFunction)(void *)GetProcAddress(imm, "ImmInstallIMEA");
}

extern "C" {

BOOL WINAPI ImmIsIME(HKL layout) {
  Bind();
  return isIme ? isIme(layout) : FALSE;
}

UINT WINAPI ImmGetIMEFileNameA(HKL layout, LPSTR buffer, UINT size) {
  Bind();
  return getFileName ? getFileName(layout, buffer, size) : 0;
}

HKL WINAPI ImmInstallIMEA(LPCSTR file, LPCSTR layoutText) {
  Bind();
  return install ? install(file, layoutText) : 0;
}
}
