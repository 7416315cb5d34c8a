// An installed copy: a loaded layout whose input-method module is ours. It
// is asked about, then unloaded before any file is replaced, and remembered
// so that its layout is loaded again afterwards.
#include "setup.h"

namespace setup {

enum { kLayoutCapacity = 30, kModuleNameSize = 32 };

static const char kModuleName[] = "QIV95.IME";
static const char kTitle[] = "Tavrin";
static const char kReinstallText[] = "Tavrin輸入法先前已安裝過，\n是否重新安裝?";
static const char kInUseText[] = "可能有其他應用程式正在使用Tavrin輸入法，\n請先退出使用狀態再進行安裝";

int FindAndUnloadInstalledCopy(InstallContext *context) {
  context->installedLayout = 0;
  HKL layouts[kLayoutCapacity];
  int count = GetKeyboardLayoutList(kLayoutCapacity, layouts);
  if (count < 0) count = 0;
  if (count > kLayoutCapacity) count = kLayoutCapacity;

  for (int i = 0; i < count; ++i) {
    if (!ImmIsIME(layouts[i])) continue;
    char name[kModuleNameSize];
    name[0] = 0;
    UINT length = ImmGetIMEFileNameA(layouts[i], name, kModuleNameSize);
    if (length == 0) continue;
    // A name that fills the buffer has no room for its zero: end it there.
    name[length < kModuleNameSize ? length : kModuleNameSize - 1] = 0;
    if (lstrcmpA(name, kModuleName) != 0) continue;
    if (MessageBoxA(context->mainWindow, kReinstallText, kTitle, MB_OKCANCEL) != IDOK) return kStop;
    context->installedLayout = layouts[i];
    break;
  }

  if (context->installedLayout && !UnloadKeyboardLayout(context->installedLayout)) {
    MessageBoxA(context->mainWindow, kInUseText, kTitle, MB_OK);
    return kStop;
  }
  return kContinue;
}

}  // namespace setup
