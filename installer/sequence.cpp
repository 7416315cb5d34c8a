// The installation sequence. Every stop returns at once; nothing written is
// undone.
#include "setup.h"

namespace setup {

static const char kConfirmText[] = "按「確定」進行Tavrin安裝";
static const char kTitle[] = "Tavrin";
static const char kFailedText[] = "Tavrin輸入法安裝失敗";
static const char kFailedCaption[] = "安裝失敗";
static const char kDoneCaption[] = "恭喜您";
static const char kDoneText[] =
    "Tavrin Qiv98 已成功安裝於你的 Windows 95/98/Me 中，\n"
    "當您要使用Tavrin輸入法時，請以滑鼠按工作列\n"
    "右方之「輸入法圖示」[En]，並選擇Tavrin[塔]，\n"
    "中英文切換請使用Ctrl+Space，若要自設常用字詞\n"
    "請以滑鼠指到Tavrin狀態列上的[塔]字後按右鍵，\n"
    "選擇「加字加詞」即可。Tavrin的最新資訊都在\n"
    "http://www.tavrin.example/\n"
    "E-mail: service@tavrin.example";

int RunInstallation(HINSTANCE instance, int show) {
  InstallContext context;
  context.instance = instance;
  context.show = show;
  context.progressWindow = 0;
  context.installedLayout = 0;
  context.windowsDir[0] = context.systemDir[0] = 0;
  context.windowsDirUsable = context.systemDirUsable = 0;

  // 1. The main window, painted at once.
  context.mainWindow = CreateMainWindow(instance);
  if (!context.mainWindow) return 0;
  ShowWindow(context.mainWindow, show);
  UpdateWindow(context.mainWindow);

  // 2. The environment.
  if (CheckCodePage(context.mainWindow) == kStop) return 0;
  if (CheckVersion(context.mainWindow) == kStop) return 0;

  // 3. The directories.
  context.windowsDirUsable = FetchDirectory(GetWindowsDirectoryA, context.windowsDir);
  context.systemDirUsable = FetchDirectory(GetSystemDirectoryA, context.systemDir);

  // 4. Confirmation.
  if (MessageBoxA(context.mainWindow, kConfirmText, kTitle, MB_OKCANCEL) != IDOK) return 0;

  // 5. An installed copy is taken out of use.
  if (FindAndUnloadInstalledCopy(&context) == kStop) return 0;

  // 6. The progress window; the installation goes on without it.
  context.progressWindow = CreateProgressWindow(context.mainWindow, instance, show);

  // 7. The files.
  if (DeployFiles(&context) == kCancelled) {
    MessageBoxA(context.mainWindow, kFailedText, kFailedCaption, MB_OK | MB_ICONERROR);
    return 0;
  }

  // 8. The layout and the uninstall entry.
  RegisterLayoutAndUninstallEntry(&context);

  // 9. Done.
  if (context.progressWindow) DestroyWindow(context.progressWindow);
  context.progressWindow = 0;
  MessageBoxA(context.mainWindow, kDoneText, kDoneCaption, MB_OK | MB_ICONINFORMATION);
  return 1;
}

}  // namespace setup
