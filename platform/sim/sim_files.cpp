// Simulated files: directories, attributes, exclusive opens, holders (other
// programs and loaded layouts), a disk that can fill, every write recorded.
#include <cstring>

#include "sim.h"

namespace sim {

static std::string Parent(const std::string &key) {
  size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

void AddDir(const std::string &path) {
  std::string key = Upper(path);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  while (!key.empty()) {
    M().dirs.insert(key);
    key = Parent(key);
  }
}

void AddFile(const std::string &path, const Bytes &bytes, DWORD attributes) {
  std::string key = Upper(path);
  AddDir(Parent(key));
  File &f = M().files[key];
  f.path = path;
  f.bytes = bytes;
  f.attributes = attributes;
}

void AddFile(const std::string &path, const std::string &bytes, DWORD attributes) {
  AddFile(path, Bytes(bytes.begin(), bytes.end()), attributes);
}

File *FindFile(const std::string &path) {
  auto it = M().files.find(Upper(path));
  return it == M().files.end() ? nullptr : &it->second;
}

bool FileExists(const std::string &path) { return FindFile(path) != nullptr; }

std::optional<Bytes> FileBytes(const std::string &path) {
  File *f = FindFile(path);
  if (!f) return std::nullopt;
  return f->bytes;
}

void Hold(const std::string &path) {
  if (File *f = FindFile(path)) ++f->externalHolds;
}

void Release(const std::string &path) {
  if (File *f = FindFile(path))
    if (f->externalHolds > 0) --f->externalHolds;
}

int OpenFileCount() { return (int)M().open.size(); }

static bool OpenHere(const std::string &key) {
  for (auto &h : M().open)
    if (h.second.key == key) return true;
  return false;
}

// In use by anyone: one of our handles, another program, a loaded layout.
static bool InUse(const std::string &key, const File &f) {
  return f.externalHolds > 0 || f.layoutHolds > 0 || OpenHere(key);
}

static std::string Quote(LPCSTR s) { return s ? std::string("\"") + s + "\"" : "null"; }

}  // namespace sim

using namespace sim;

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  if (Enter("GetWindowsDirectoryA", true, std::to_string(size))) return 0;
  const std::string &dir = M().windowsDir;
  if (dir.size() + 1 > size) return (UINT)dir.size() + 1;  // needed, buffer untouched
  memcpy(buffer, dir.c_str(), dir.size() + 1);
  return (UINT)dir.size();
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
  if (Enter("GetSystemDirectoryA", true, std::to_string(size))) return 0;
  const std::string &dir = M().systemDir;
  if (dir.size() + 1 > size) return (UINT)dir.size() + 1;
  memcpy(buffer, dir.c_str(), dir.size() + 1);
  return (UINT)dir.size();
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE) {
  std::string args = Quote(name) + " access=" + std::to_string(access) + " share=" + std::to_string(share) +
                     " disposition=" + std::to_string(disposition);
  if (Enter("CreateFileA", true, args)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  size_t length = name ? strnlen(name, MAX_PATH) : 0;
  if (!name || length == 0 || length >= MAX_PATH) {
    SetLastError(length >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string key = Upper(name);
  if (M().dirs.count(key)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (!M().dirs.count(Parent(key))) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto it = M().files.find(key);
  bool exists = it != M().files.end();
  bool writing = (access & GENERIC_WRITE) != 0;
  if (exists) {
    File &f = it->second;
    if (disposition == CREATE_NEW) {
      SetLastError(ERROR_FILE_EXISTS);
      return INVALID_HANDLE_VALUE;
    }
    // Another open, or a holder, conflicts with ours; and ours shares nothing
    // unless asked, which the programs never do.
    if (InUse(key, f)) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return INVALID_HANDLE_VALUE;
    }
    if ((writing || disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) &&
        (f.attributes & FILE_ATTRIBUTE_READONLY)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) {
      if (M().diskFree >= 0) M().diskFree += (long long)f.bytes.size();
      f.bytes.clear();
      f.writes.clear();
      if (disposition == CREATE_ALWAYS) f.attributes = FILE_ATTRIBUTE_ARCHIVE;
    }
  } else {
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    File &f = M().files[key];
    f.path = name;
    f.attributes = FILE_ATTRIBUTE_ARCHIVE;
  }
  File &f = M().files[key];
  if (writing) ++f.writeOpens;
  HANDLE h = NewHandle();
  M().open[h] = OpenFile{key, access};
  SetLastError(exists ? 183 /* ERROR_ALREADY_EXISTS */ : 0);
  return h;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (Enter("WriteFile", true, std::to_string(size))) {
    if (written) *written = 0;
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  auto it = M().open.find(file);
  // Windows 95 insists on a count to write into when there is no overlapped I/O.
  if (it == M().open.end() || !(it->second.access & GENERIC_WRITE) || (!written && !overlapped)) {
    if (written) *written = 0;
    SetLastError(it == M().open.end() ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  File &f = M().files[it->second.key];
  f.writes.push_back(size);
  DWORD take = size;
  if (M().diskFree >= 0 && (long long)size > M().diskFree) take = (DWORD)M().diskFree;
  const uint8_t *bytes = (const uint8_t *)data;
  f.bytes.insert(f.bytes.end(), bytes, bytes + take);
  if (M().diskFree >= 0) M().diskFree -= take;
  *written = take;
  if (take < size) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  Enter("CloseHandle", false);
  if (!M().open.erase(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes) {
  if (Enter("SetFileAttributesA", true, Quote(name) + " " + std::to_string(attributes))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  File *f = name ? FindFile(name) : nullptr;
  if (!f) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  f->attributes = attributes == FILE_ATTRIBUTE_NORMAL ? FILE_ATTRIBUTE_NORMAL
                                                      : (attributes & ~FILE_ATTRIBUTE_NORMAL);
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR name) {
  if (Enter("GetFileAttributesA", true, Quote(name))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (!name) return INVALID_FILE_ATTRIBUTES;
  std::string key = Upper(name);
  if (M().dirs.count(key)) return FILE_ATTRIBUTE_DIRECTORY;
  File *f = FindFile(name);
  if (!f) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return f->attributes ? f->attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL WINAPI DeleteFileA(LPCSTR name) {
  if (Enter("DeleteFileA", true, Quote(name))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!name) return FALSE;
  std::string key = Upper(name);
  auto it = M().files.find(key);
  if (it == M().files.end()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (InUse(key, it->second)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (it->second.attributes & FILE_ATTRIBUTE_READONLY) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (M().diskFree >= 0) M().diskFree += (long long)it->second.bytes.size();
  M().files.erase(it);
  return TRUE;
}
