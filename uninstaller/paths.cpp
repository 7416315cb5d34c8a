// File paths: a directory as the platform gives it, with a file name
// appended, in a buffer of MAX_PATH bytes.
#include "removal.h"

namespace unqiv {

int BuildPath(char *path, int directory, const char *name) {
  path[0] = 0;
  UINT length = directory == kWindowsDirectory ? GetWindowsDirectoryA(path, kPathSize)
                                               : GetSystemDirectoryA(path, kPathSize);
  // 0 is a failure; kPathSize or more is the size the directory would need,
  // and the buffer holds nothing of it.
  if (length == 0) {
    path[0] = 0;
    return kPathUnknown;
  }
  if (length >= (UINT)kPathSize) {
    path[0] = 0;
    return kPathTooLong;
  }
  int n = (int)length;
  for (; *name; ++name) {
    if (n == kPathSize - 1) {  // no room for this byte and the zero
      path[0] = 0;
      return kPathTooLong;
    }
    path[n++] = *name;
  }
  path[n] = 0;
  return kPathBuilt;
}

int FileExists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int FileIsMissing(const char *path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 0;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace unqiv
