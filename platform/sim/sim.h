// The simulated machine behind win32_api.h: what tests set up, drive, fault
// and inspect. One machine holds the state of both programs (files, registry,
// keyboard layouts) across runs; windows, classes and open handles belong to
// the process that made them and go when RunProgram ends it.
//
// Paths are compared without regard to ASCII letter case, as the platform's
// file system does; registry key and value names likewise.
#ifndef QIV_SIM_SIM_H
#define QIV_SIM_SIM_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "win32_api.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

// ---- Faults -------------------------------------------------------------
// Every platform call that can fail counts as one fault point, numbered from
// 1 in the order the program makes them. A plan fails point k once, or every
// point from k on, or the n-th call of one named function (count times, or
// for ever with count < 0).
struct FaultPlan {
  long failAt = 0;          // 0: none
  bool onward = false;      // with failAt: every point from failAt on
  std::string function;     // with nth: only calls of this function
  int nth = 0;              // 1-based index among that function's calls
  int count = 1;            // how many calls from nth on; < 0: all
};

struct CallRecord {
  std::string name;
  std::string args;         // readable rendering of the arguments
  bool failable = false;
  bool failed = false;      // made to fail by the plan
};

// ---- Files ---------------------------------------------------------------
struct File {
  std::string path;         // as first created
  Bytes bytes;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  int writeOpens = 0;       // successful opens for writing
  std::vector<DWORD> writes;  // size of each WriteFile request that reached the file
  int externalHolds = 0;    // other programs holding it open without sharing
  int layoutHolds = 0;      // loaded keyboard layouts whose module it is
};

struct OpenFile {
  std::string key;          // upper-cased path
  DWORD access = 0;
};

// ---- Registry ------------------------------------------------------------
struct Value {
  std::string name;
  DWORD type = REG_NONE;
  Bytes data;
};

struct Key {
  std::string name;
  std::vector<std::unique_ptr<Key>> subkeys;  // in creation order, the enumeration order
  std::vector<Value> values;
};

// ---- Keyboard layouts ----------------------------------------------------
struct Layout {
  HKL handle = nullptr;
  bool ime = false;         // served by an input-method module
  std::string imeFile;      // what ImmGetIMEFileNameA reports, letter case kept
  bool inUse = false;       // a program still uses it: UnloadKeyboardLayout fails
  std::string heldPath;     // the module file it holds while loaded (may be empty)
};

// ---- Windows, painting, message boxes -----------------------------------
struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int classExtra = 0, windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  bool hasMenu = false;
};

struct Window {
  HWND handle = nullptr;
  std::string className, caption;
  DWORD style = 0, exStyle = 0;
  HWND owner = nullptr;
  RECT rect{};
  bool visible = false;
  bool destroyed = false;
  bool needsPaint = false;
  int paints = 0;           // WM_PAINT messages sent to it
  long createdAt = 0, destroyedAt = 0;  // event sequence numbers
};

struct Font {
  int height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
  DWORD italic = 0, underline = 0, strikeOut = 0, charSet = 0;
  DWORD outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
  std::string face;
  bool stock = false;       // the context's default font
};

struct TextDraw {
  HWND window = nullptr;
  int x = 0, y = 0;
  std::string text;         // exactly the bytes drawn
  COLORREF color = 0;
  int bkMode = 0;
  Font font;
};

struct Paint {
  HWND window = nullptr;
  std::vector<TextDraw> texts;
  int fontsCreated = 0, fontsDeleted = 0;
  bool ended = false;
  bool restored = false;    // at EndPaint the context held its first font, colour and mode again
  bool deletedSelected = false;  // an object was deleted while selected into the context
};

struct Dc {
  HWND window = nullptr;
  int paint = -1;           // index into Machine::paints for a BeginPaint context
  HGDIOBJ font = nullptr;
  COLORREF color = 0;
  int bkMode = OPAQUE;
};

struct Box {
  HWND owner = nullptr;
  std::string text, caption;
  UINT type = 0;
  std::vector<UINT> beeps;  // MessageBeep types since the previous box
  std::vector<HWND> visible;  // windows on screen while it was open
  int answer = 0;
  bool unexpected = false;  // the script had no answer for it
  long at = 0;              // event sequence number
};

struct Answer {
  int button = IDOK;
  std::function<void()> during;  // runs while the box is open
};

struct Machine {
  // Environment.
  UINT acp = 950;
  DWORD version = 0xC0000A04u;  // Windows 98
  std::string windowsDir = "C:\\WINDOWS";
  std::string systemDir = "C:\\WINDOWS\\SYSTEM";
  int screenWidth = 800, screenHeight = 600;
  RECT defaultRect{44, 44, 684, 524};  // where CW_USEDEFAULT puts a window
  bool immPresent = true;       // IMM32 available; without it its functions fail

  // Files.
  std::set<std::string> dirs;   // upper-cased
  std::map<std::string, File> files;  // upper-cased path -> file
  std::map<HANDLE, OpenFile> open;
  long long diskFree = -1;      // bytes the disk can still take; < 0: unlimited

  // Registry.
  Key hklm, hkcu;
  std::map<HKEY, std::pair<HKEY, std::string>> keys;  // open handle -> root, path

  // Keyboard layouts: the loaded list, in list order.
  std::vector<Layout> layouts;

  // Windows and painting.
  std::vector<WindowClass> classes;
  std::vector<Window> windows;
  std::vector<Paint> paints;
  std::map<HGDIOBJ, Font> fonts;       // live fonts
  std::map<HGDIOBJ, COLORREF> brushes; // live brushes
  std::map<HDC, Dc> dcs;        // contexts handed out and not yet given back
  int dcsOut = 0;               // GetDC without ReleaseDC
  std::map<void *, int> resources;  // icon and cursor handles -> resource identifier

  // Message boxes.
  std::vector<Box> boxes;
  std::deque<Answer> answers;
  std::function<int(const Box &)> answerer;  // used instead of answers when set
  std::vector<UINT> pendingBeeps;

  // Calls and faults.
  std::vector<CallRecord> calls;
  long faultPoints = 0;
  FaultPlan plan;
  std::map<std::string, int> callsOf;  // per function, every call

  // Process.
  int exitCode = 0;
  int leakedFiles = 0, leakedKeys = 0, leakedGdi = 0;  // found open when the last process ended
  DWORD lastError = 0;
  long seq = 0;
  uintptr_t nextHandle = 0x1000;
};

Machine &M();
// A fresh machine: Windows 98, code page 950, "C:\WINDOWS" and its "SYSTEM"
// directory present, empty registry except the parent keys the platform has.
void Reset();

// ---- Programs ------------------------------------------------------------
using EntryPoint = int (*)(HINSTANCE, HINSTANCE, LPSTR, int);
HINSTANCE Instance();
// Runs a program's WinMain as a process of its own and ends the process.
int RunProgram(EntryPoint entry, const char *commandTail = "", int show = SW_SHOWNORMAL);
// What the platform does when a process ends: its windows go, its classes are
// unregistered, handles it left open are counted as leaked and closed.
void EndProcess();

// ---- Set-up and inspection helpers --------------------------------------
std::string Upper(const std::string &s);
void AddDir(const std::string &path);
void AddFile(const std::string &path, const Bytes &bytes, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void AddFile(const std::string &path, const std::string &bytes, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
File *FindFile(const std::string &path);
bool FileExists(const std::string &path);
std::optional<Bytes> FileBytes(const std::string &path);
void Hold(const std::string &path);     // another program opens it without sharing
void Release(const std::string &path);  // and lets go
int OpenFileCount();

Key &Root(HKEY root);
Key *FindKey(HKEY root, const std::string &path);
Key &MakeKey(HKEY root, const std::string &path);
bool KeyExists(HKEY root, const std::string &path);
const Value *FindValue(HKEY root, const std::string &path, const std::string &name);
void SetValue(HKEY root, const std::string &path, const std::string &name, DWORD type, const Bytes &data);
void SetString(HKEY root, const std::string &path, const std::string &name, const std::string &text);  // with its zero
std::vector<std::string> Subkeys(HKEY root, const std::string &path);

extern const char *const kLayoutsKey;    // "SYSTEM\CurrentControlSet\Control\Keyboard Layouts"
extern const char *const kUninstallKey;  // "Software\Microsoft\Windows\CurrentVersion\Uninstall"
HKL MakeHkl(DWORD value);
DWORD HklValue(HKL layout);
// Loads a layout into the list. An input-method layout with a module name
// holds the file system directory + "\" + name while loaded.
Layout &AddLayout(DWORD handle, bool ime, const std::string &imeFile, bool inUse = false);
// Registers a layout as the platform does: a subkey named by id under the
// layouts key with "IME file" and "Layout text".
void RegisterLayout(const std::string &id, const std::string &imeFile, const std::string &text);
Layout *FindLayout(HKL layout);
std::vector<DWORD> LoadedLayouts();

Window *FindWindow(HWND window);
std::vector<const Window *> WindowsOfClass(const std::string &className);
int VisibleCount(const std::string &className);
const WindowClass *FindClass(const std::string &name);
// Identifiers behind handles the sim gave out.
int ResourceId(HICON icon);       // icon or cursor resource identifier, 0 if unknown
bool IsSolidBrush(HBRUSH brush, COLORREF *color);
int SystemColorIndex(HBRUSH brush);  // for (HBRUSH)(index + 1) brushes, else -1
// Sends a paint to every visible window that needs one, as a modal loop does.
void DispatchPaints();
void Invalidate(HWND window);

// Calls of one function, in order.
std::vector<CallRecord> CallsOf(const std::string &name);
int CountOf(const std::string &name);

// Big5 text from the programs, shown readably in test output.
std::string Utf8(const std::string &big5);
std::string Big5(const std::string &utf8);

// ---- Used by the simulated functions -------------------------------------
// Records a call; true when the fault plan makes this call fail.
bool Enter(const char *name, bool failable, const std::string &args = "");
HANDLE NewHandle();
long Tick();

}  // namespace sim

#endif
