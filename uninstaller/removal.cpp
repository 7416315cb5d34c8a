// The uninstaller's sequence: the confirmation, the finding steps in order,
// the removal, and the one message that closes the run. Every box has no
// owner and no icon.
#include "removal.h"

namespace unqiv {

static const char kTitle[] = "Tavrin輸入法移除程式 V1.1";
static const char kInUseCaption[] = "Tavrin";
static const char kConfirmText[] = "確定移除「Tavrin輸入法」嗎？";
static const char kInUseText[] = "可能有其他應用程式正在使用Tavrin輸入法，\n請先退出使用狀態再進行移除";
static const char kFailedText[] =
    "檔案移除失敗，可能有其他應用程式正在使用Tavrin，\n請先結束使用Tavrin的程式，或重新開機，再執行移除程式。";
static const char kRemovedText[] = "「Tavrin輸入法」已從你的系統中移除";
static const char kNotPresentText[] = "「Tavrin輸入法」不在你的系統中";

int RunRemoval(void) {
  // Any answer but OK, closing the box included, ends the run untouched.
  if (MessageBoxA(0, kConfirmText, kTitle, MB_OKCANCEL) != IDOK) return kExitCancelled;

  int family = FindAndUnloadLayout();
  if (family == kLayoutInUse) {
    MessageBoxA(0, kInUseText, kInUseCaption, MB_OK);
    return kExitLayoutInUse;
  }
  if (family == kFamilyNone) family = FindLayoutKey();
  if (family == kFamilyNone) family = FindModuleFile();
  if (family == kFamilyNone) {
    MessageBoxA(0, kNotPresentText, kTitle, MB_OK);
    return kExitNotPresent;
  }

  if (RemoveFamily(family) != kRemoved) {
    MessageBoxA(0, kFailedText, kTitle, MB_OK);
    return kExitRemovalFailed;
  }
  MessageBoxA(0, kRemovedText, kTitle, MB_OK);
  return kExitRemoved;
}

// The command tail is ignored: the uninstall entry's command ends with a
// space, and nothing after the program name means anything here.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunRemoval(); }

}  // namespace unqiv
