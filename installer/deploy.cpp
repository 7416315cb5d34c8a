// The payload files, in a fixed order: the table (whose storage the module
// decoder then takes over), the uninstaller, the module, and the user's
// phrase file when there is none yet. The first three are mandatory: a
// failure asks Retry or Cancel.
#include "payload.h"
#include "setup.h"

namespace setup {

static const char kRetryCaption[] = "檔案建立失敗";
static const char kRetryText[] =
    "檔案建立失敗，\n請關闢其他正在執行的應用程式，再按「重試」；\n或按「取消」後，重新開機再執行 qiv98重新安裝。";

static int WriteTable(HANDLE file) {
  DWORD written = 0;
  return WriteFile(file, TableImage, TableImageSize, &written, 0) ? 1 : 0;
}

static int WriteUninstaller(HANDLE file) {
  DWORD written = 0;
  return WriteFile(file, UninstallerImage, UninstallerImageSize, &written, 0) ? 1 : 0;
}

static int WriteModule(HANDLE file) { return DecodeModule(file); }

// The directory and the name, or 0 when the directory is unusable or the
// whole path does not fit; then the buffer holds the name alone.
static int BuildPath(char *path, const char *directory, int directoryUsable, const char *name) {
  if (directoryUsable && CopyText(path, MAX_PATH, directory) && AppendText(path, MAX_PATH, name)) return 1;
  CopyText(path, MAX_PATH, name);
  return 0;
}

int WritePayloadFile(InstallContext *context, const char *directory, int directoryUsable, const char *name,
                     int resetAttributes, PayloadWriter writer) {
  for (;;) {
    char path[MAX_PATH];
    int written = 0;
    if (BuildPath(path, directory, directoryUsable, name)) {
      if (resetAttributes) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
      HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
      if (file != INVALID_HANDLE_VALUE) {
        written = writer(file);
        CloseHandle(file);
      }
    }
    if (written) return kWritten;

    // The file is closed again before the question, so a retry can open it.
    char prompt[MAX_PATH + sizeof kRetryText];
    CopyText(prompt, sizeof prompt, path);
    AppendText(prompt, sizeof prompt, kRetryText);
    if (MessageBoxA(context->mainWindow, prompt, kRetryCaption, MB_RETRYCANCEL) != IDRETRY) return kCancelled;
    if (context->progressWindow) DestroyWindow(context->progressWindow);
    context->progressWindow = CreateProgressWindow(context->mainWindow, context->instance, context->show);
  }
}

void WritePhraseFile(InstallContext *context) {
  char path[MAX_PATH];
  if (!BuildPath(path, context->windowsDir, context->windowsDirUsable, "\\qiv.box")) return;
  // Only a new file: one that exists holds the user's own entries.
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, PhraseTemplate, PhraseTemplateSize, &written, 0);
  CloseHandle(file);
}

int DeployFiles(InstallContext *context) {
  if (!WritePayloadFile(context, context->windowsDir, context->windowsDirUsable, "\\qivbig5j.tab", 0, WriteTable))
    return kCancelled;
  if (!WritePayloadFile(context, context->windowsDir, context->windowsDirUsable, "\\unqiv.exe", 1,
                        WriteUninstaller))
    return kCancelled;
  if (!WritePayloadFile(context, context->systemDir, context->systemDirUsable, "\\qiv95.ime", 1, WriteModule))
    return kCancelled;
  WritePhraseFile(context);
  return kWritten;
}

}  // namespace setup
