// The setup program, qiv98.exe: one straight sequence from WinMain to exit,
// no message loop of its own. Its windows paint when shown and updated, and
// while a message box's modal loop runs.
#ifndef QIV_INSTALLER_SETUP_H
#define QIV_INSTALLER_SETUP_H

#include "win32.h"

namespace setup {

enum { kStop = 0, kContinue = 1 };
enum { kCancelled = 0, kWritten = 1 };
enum { kDirectorySize = 100 };

// What the sequence carries from step to step, for one run.
struct InstallContext {
  HINSTANCE instance;
  int show;
  HWND mainWindow;
  HWND progressWindow;          // null when its creation failed
  char windowsDir[kDirectorySize];
  char systemDir[kDirectorySize];
  int windowsDirUsable;         // 0: the platform gave no directory that fits the buffer
  int systemDirUsable;
  HKL installedLayout;          // the copy found loaded, then the layout registered
};

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show);
int RunInstallation(HINSTANCE instance, int show);

// Windows.
int RegisterWindowClasses(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);
HWND CreateProgressWindow(HWND owner, HINSTANCE instance, int show);
void CenterOverOwner(HWND window, HWND owner);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Environment checks.
int CheckCodePage(HWND mainWindow);
int CheckVersion(HWND mainWindow);

// Installed copy, files, registration.
int FindAndUnloadInstalledCopy(InstallContext *context);
int DeployFiles(InstallContext *context);
typedef int (*PayloadWriter)(HANDLE file);
int WritePayloadFile(InstallContext *context, const char *directory, int directoryUsable, const char *name,
                     int resetAttributes, PayloadWriter writer);
void WritePhraseFile(InstallContext *context);
void RegisterLayoutAndUninstallEntry(InstallContext *context);

// Bounded text: each returns 1 when the whole text fitted, else 0, and
// always leaves a terminated text of at most capacity - 1 bytes.
int CopyText(char *buffer, int capacity, const char *text);
int AppendText(char *buffer, int capacity, const char *text);
// Fetches a directory into a buffer of kDirectorySize; 0 when the platform
// gave none or one that does not fit.
int FetchDirectory(UINT(WINAPI *fetch)(LPSTR, UINT), char *buffer);

}  // namespace setup

#endif
