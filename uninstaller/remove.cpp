// Removal of one family: its module file, its further files, its uninstall
// entry. Attributes are reset before every deletion, so read-only, hidden
// and system files go as well.
#include "removal.h"

namespace unqiv {

int RemoveFamily(int family) {
  const FamilyRecord *record = RecordOf(family);
  if (!record) return kRemovalFailed;

  // The module file. One that is not there, or that no path the platform
  // takes can name, is as good as deleted: failing on it would keep an entry
  // that no later run could ever remove. One that stays, or of which nothing
  // is known because the system directory could not be fetched, is a failed
  // removal, and the entry is kept so that it can start the removal again.
  char path[kPathSize];
  int status = BuildPath(path, kSystemDirectory, record->moduleFile);
  if (status == kPathUnknown) return kRemovalFailed;
  if (status == kPathBuilt) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path) && !FileIsMissing(path)) return kRemovalFailed;
  }

  // Further files: missing or undeletable ones are passed over.
  for (int i = 0; i < record->furtherCount; ++i) {
    if (BuildPath(path, record->furtherDirectory, record->furtherFiles[i]) != kPathBuilt) continue;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
  }

  HKEY uninstall = 0;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kUninstallKey, &uninstall) == ERROR_SUCCESS) {
    RegDeleteKeyA(uninstall, record->entryKey);
    RegCloseKey(uninstall);
  }
  return kRemoved;
}

}  // namespace unqiv
