// The three ways a run finds the installation it removes: a loaded layout
// of either module, a layout key naming either module, a module file.
#include "removal.h"

namespace unqiv {

int FindAndUnloadLayout(void) {
  HKL layouts[kLayoutCapacity];
  int count = GetKeyboardLayoutList(kLayoutCapacity, layouts);
  if (count < 0) count = 0;
  if (count > kLayoutCapacity) count = kLayoutCapacity;

  for (int i = 0; i < count; ++i) {
    if (!ImmIsIME(layouts[i])) continue;
    char name[kModuleNameSize];
    name[0] = 0;
    ImmGetIMEFileNameA(layouts[i], name, kModuleNameSize);
    // A name that fills the buffer has no room for its zero; ending it in
    // the last byte keeps the comparison inside the buffer, and such a name
    // is far longer than either module name.
    name[kModuleNameSize - 1] = 0;
    int family = FamilyOfModuleName(name);
    if (family == kFamilyNone) continue;

    if (!UnloadKeyboardLayout(layouts[i])) return kLayoutInUse;
    HKEY key = 0;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kLayoutsKey, &key) == ERROR_SUCCESS) {
      char id[kLayoutIdSize];
      wsprintfA(id, "%X", (DWORD)(ULONG_PTR)layouts[i]);
      RegDeleteKeyA(key, id);
      RegCloseKey(key);
    }
    return family;  // one layout per run
  }
  return kFamilyNone;
}

// The module family named by one layout key's "IME file" value.
static int FamilyOfLayoutKey(HKEY layouts, const char *keyName) {
  HKEY key = 0;
  if (RegCreateKeyA(layouts, keyName, &key) != ERROR_SUCCESS) return kFamilyNone;
  char value[kImeFileSize];
  DWORD size = kImeFileSize;
  LONG result = RegQueryValueExA(key, "IME file", 0, 0, (LPBYTE)value, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return kFamilyNone;
  // The value's bytes as a text: ended after the data when the data has no
  // zero of its own, and in the last byte when it fills the buffer.
  if (size > kImeFileSize - 1) size = kImeFileSize - 1;
  value[size] = 0;
  return FamilyOfModuleName(value);
}

int FindLayoutKey(void) {
  HKEY layouts = 0;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kLayoutsKey, &layouts) != ERROR_SUCCESS) return kFamilyNone;
  int family = kFamilyNone;
  for (DWORD index = 0;; ++index) {
    char name[kKeyNameSize];
    DWORD nameSize = kKeyNameSize;
    if (RegEnumKeyExA(layouts, index, name, &nameSize, 0, 0, 0, 0) != ERROR_SUCCESS) break;
    name[kKeyNameSize - 1] = 0;
    family = FamilyOfLayoutKey(layouts, name);
    if (family != kFamilyNone) {
      // The walk never goes on after a deletion, so the indexes it shifts
      // are never used: one layout key per run.
      RegDeleteKeyA(layouts, name);
      break;
    }
  }
  RegCloseKey(layouts);
  return family;
}

int FindModuleFile(void) {
  static const int order[kFamilyCount] = {kFamilyNT, kFamily95};
  for (int i = 0; i < kFamilyCount; ++i) {
    char path[kPathSize];
    if (BuildPath(path, kSystemDirectory, RecordOf(order[i])->moduleFile) == kPathBuilt && FileExists(path))
      return order[i];
  }
  return kFamilyNone;
}

}  // namespace unqiv
