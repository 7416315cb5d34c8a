// The layout and the uninstall entry. Nothing here stops the run and no
// result is reported; a call is skipped only where it would be made on a
// key or a path that was never obtained.
#include "setup.h"

namespace setup {

static const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
static const char kEntryKey[] = "QIV98";
static const char kDisplayName[] = "Tavrin輸入法 5.7版";
static const char kLayoutText[] = "Tavrin";

static void RegisterLayout(InstallContext *context) {
  if (context->installedLayout) {
    // A reinstall: the old registration stands; loading its identifier
    // loads the module just written.
    char id[16];
    wsprintfA(id, "%08X", (DWORD)(ULONG_PTR)context->installedLayout);
    LoadKeyboardLayoutA(id, KLF_ACTIVATE);
    return;
  }
  char directory[kDirectorySize];
  char path[MAX_PATH];
  if (FetchDirectory(GetSystemDirectoryA, directory) && CopyText(path, MAX_PATH, directory) &&
      AppendText(path, MAX_PATH, "\\qiv95.ime"))
    context->installedLayout = ImmInstallIMEA(path, kLayoutText);
}

static void WriteUninstallEntry(void) {
  HKEY parent = 0, entry = 0;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kUninstallKey, &parent) != ERROR_SUCCESS) return;
  if (RegCreateKeyA(parent, kEntryKey, &entry) != ERROR_SUCCESS) entry = 0;
  RegCloseKey(parent);
  if (!entry) return;
  RegSetValueExA(entry, "DisplayName", 0, REG_SZ, (const BYTE *)kDisplayName, (DWORD)lstrlenA(kDisplayName) + 1);
  char command[MAX_PATH + 16];
  UINT length = GetWindowsDirectoryA(command, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    command[length] = 0;
    AppendText(command, sizeof command, "\\unqiv.exe ");
    RegSetValueExA(entry, "UninstallString", 0, REG_SZ, (const BYTE *)command, (DWORD)lstrlenA(command) + 1);
  }
  RegCloseKey(entry);
}

void RegisterLayoutAndUninstallEntry(InstallContext *context) {
  RegisterLayout(context);
  WriteUninstallEntry();
}

}  // namespace setup
