// The two installation families the uninstaller knows, and the registry
// places it works in.
#include "removal.h"

namespace unqiv {

const char kLayoutsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

const FamilyRecord FamilyTable[kFamilyCount] = {
    {"\\QIVNT.IME", "QIVNT.IME", kSystemDirectory, 4,
     {"\\QIV-UNI.TAB", "\\QIV-UNI2.TAB", "\\QIV-UNI3.TAB", "\\QIV-UNI4.TAB"}, "QIV2000"},
    {"\\QIV95.IME", "QIV95.IME", kWindowsDirectory, 1, {"\\QIVBIG5J.TAB", 0, 0, 0}, "QIV98"},
};

const FamilyRecord *RecordOf(int family) {
  if (family == kFamilyNT) return &FamilyTable[0];
  if (family == kFamily95) return &FamilyTable[1];
  return 0;
}

int FamilyOfModuleName(const char *name) {
  if (lstrcmpA(name, FamilyTable[0].moduleName) == 0) return kFamilyNT;
  if (lstrcmpA(name, FamilyTable[1].moduleName) == 0) return kFamily95;
  return kFamilyNone;
}

}  // namespace unqiv
