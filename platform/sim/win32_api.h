// The simulated platform: our own declarations of exactly the part of Win32
// that the two programs call, with the values the platform documents.
// Behind each function stands the simulated machine (sim.h), which tests set
// up, drive, fault and inspect.
#ifndef QIV_SIM_WIN32_API_H
#define QIV_SIM_WIN32_API_H

#include <stdint.h>
#include <stddef.h>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int INT;
typedef char CHAR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef DWORD COLORREF;
typedef LONG LSTATUS;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef DWORD *LPDWORD;
typedef BYTE *LPBYTE;
typedef const BYTE *LPCBYTE;

#define DECLARE_SIM_HANDLE(name) \
  struct name##__ { int unused; }; \
  typedef struct name##__ *name
DECLARE_SIM_HANDLE(HWND);
DECLARE_SIM_HANDLE(HINSTANCE);
DECLARE_SIM_HANDLE(HKL);
DECLARE_SIM_HANDLE(HKEY);
DECLARE_SIM_HANDLE(HDC);
DECLARE_SIM_HANDLE(HICON);
DECLARE_SIM_HANDLE(HBRUSH);
DECLARE_SIM_HANDLE(HFONT);
DECLARE_SIM_HANDLE(HMENU);
#undef DECLARE_SIM_HANDLE
typedef void *HANDLE;
typedef void *HGDIOBJ;
typedef HICON HCURSOR;
typedef HINSTANCE HMODULE;
typedef HKEY *PHKEY;
typedef int (*FARPROC)(void);

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

typedef struct tagRECT {
  LONG left, top, right, bottom;
} RECT, *LPRECT;

typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

typedef struct tagWNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
} WNDCLASSA;

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;
typedef struct _SECURITY_ATTRIBUTES SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
typedef struct _FILETIME FILETIME, *PFILETIME;

#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)(WORD)(i))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD)(w)) >> 8) & 0xff))

// Errors.
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_FAULT 29L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_KEY_DELETED 1018L

// Files.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

// Message boxes and beeps.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONMASK 0x000000F0u
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Windows.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define CW_USEDEFAULT ((int)0x80000000)
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOW 5
#define SW_SHOWDEFAULT 10
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOACTIVATE 0x0010u
#define COLOR_WINDOW 5
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

// Graphics.
#define HORZRES 8
#define VERTRES 10
#define TRANSPARENT 1
#define OPAQUE 2
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define CHINESEBIG5_CHARSET 136
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define CLR_INVALID 0xFFFFFFFFu
#define HGDI_ERROR ((HGDIOBJ)(LONG_PTR)-1)

// Registry.
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003u)
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

// Keyboard layouts.
#define KLF_ACTIVATE 0x00000001u

// Kernel.
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);
UINT WINAPI GetACP(void);
DWORD WINAPI GetVersion(void);
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templ);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
BOOL WINAPI CloseHandle(HANDLE handle);
BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes);
DWORD WINAPI GetFileAttributesA(LPCSTR name);
BOOL WINAPI DeleteFileA(LPCSTR name);
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b);
int WINAPI lstrlenA(LPCSTR s);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);

// User interface.
unsigned short WINAPI RegisterClassA(const WNDCLASSA *wc);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style, int x, int y,
                            int width, int height, HWND owner, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL WINAPI ShowWindow(HWND window, int show);
BOOL WINAPI UpdateWindow(HWND window);
BOOL WINAPI DestroyWindow(HWND window);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT ps);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT *ps);
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);
BOOL WINAPI SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL WINAPI MessageBeep(UINT type);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
int wsprintfA(LPSTR out, LPCSTR format, ...);
int WINAPI GetKeyboardLayoutList(int capacity, HKL *list);
BOOL WINAPI UnloadKeyboardLayout(HKL layout);
HKL WINAPI LoadKeyboardLayoutA(LPCSTR id, UINT flags);

// Graphics.
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                         DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR face);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
BOOL WINAPI DeleteObject(HGDIOBJ object);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF color);
int WINAPI SetBkMode(HDC dc, int mode);
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
int WINAPI GetDeviceCaps(HDC dc, int index);

// Registry.
LONG WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result);
LONG WINAPI RegCloseKey(HKEY key);
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size);
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPSTR className, LPDWORD classSize, PFILETIME lastWrite);
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey);

// Input-method manager (IMM32, bound at run time on the target).
BOOL WINAPI ImmIsIME(HKL layout);
UINT WINAPI ImmGetIMEFileNameA(HKL layout, LPSTR buffer, UINT size);
HKL WINAPI ImmInstallIMEA(LPCSTR file, LPCSTR layoutText);

#endif
