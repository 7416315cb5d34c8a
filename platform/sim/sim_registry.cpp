// Simulated registry: keys in creation order (the order enumeration returns),
// names compared without regard to ASCII case, values kept with their type
// and exact bytes. Deleting a key deletes what lies below it, as Windows 95
// does. Handles name a path, so a handle to a deleted key finds nothing.
#include <cstring>

#include "sim.h"

namespace sim {

Key &Root(HKEY root) { return root == HKEY_CURRENT_USER ? M().hkcu : M().hklm; }

static bool IsRoot(HKEY key) { return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER; }

static std::vector<std::string> Split(const std::string &path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

static Key *Child(Key &key, const std::string &name) {
  for (auto &k : key.subkeys)
    if (Upper(k->name) == Upper(name)) return k.get();
  return nullptr;
}

Key *FindKey(HKEY root, const std::string &path) {
  Key *k = &Root(root);
  for (const std::string &part : Split(path)) {
    k = Child(*k, part);
    if (!k) return nullptr;
  }
  return k;
}

Key &MakeKey(HKEY root, const std::string &path) {
  Key *k = &Root(root);
  for (const std::string &part : Split(path)) {
    Key *c = Child(*k, part);
    if (!c) {
      k->subkeys.push_back(std::make_unique<Key>());
      c = k->subkeys.back().get();
      c->name = part;
    }
    k = c;
  }
  return *k;
}

bool KeyExists(HKEY root, const std::string &path) { return FindKey(root, path) != nullptr; }

static Value *FindValueIn(Key &k, const std::string &name) {
  for (Value &v : k.values)
    if (Upper(v.name) == Upper(name)) return &v;
  return nullptr;
}

const Value *FindValue(HKEY root, const std::string &path, const std::string &name) {
  Key *k = FindKey(root, path);
  return k ? FindValueIn(*k, name) : nullptr;
}

void SetValue(HKEY root, const std::string &path, const std::string &name, DWORD type, const Bytes &data) {
  Key &k = MakeKey(root, path);
  Value *v = FindValueIn(k, name);
  if (!v) {
    k.values.push_back(Value{name, type, {}});
    v = &k.values.back();
  }
  v->type = type;
  v->data = data;
}

void SetString(HKEY root, const std::string &path, const std::string &name, const std::string &text) {
  Bytes data(text.begin(), text.end());
  data.push_back(0);
  SetValue(root, path, name, REG_SZ, data);
}

std::vector<std::string> Subkeys(HKEY root, const std::string &path) {
  std::vector<std::string> names;
  if (Key *k = FindKey(root, path))
    for (auto &c : k->subkeys) names.push_back(c->name);
  return names;
}

// The root and path an open handle (or a predefined root) stands for.
static bool Resolve(HKEY key, HKEY *root, std::string *path) {
  if (IsRoot(key)) {
    *root = key;
    path->clear();
    return true;
  }
  auto it = M().keys.find(key);
  if (it == M().keys.end()) return false;
  *root = it->second.first;
  *path = it->second.second;
  return true;
}

static std::string Join(const std::string &a, const std::string &b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + "\\" + b;
}

static std::string Quote(LPCSTR s) { return s ? std::string("\"") + s + "\"" : "null"; }

}  // namespace sim

using namespace sim;

LONG WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
  if (Enter("RegCreateKeyA", true, Quote(subKey))) return ERROR_REGISTRY_IO_FAILED;
  HKEY root;
  std::string path;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  if (!FindKey(root, path)) return ERROR_KEY_DELETED;
  std::string full = Join(path, subKey ? subKey : "");
  MakeKey(root, full);
  HKEY h = (HKEY)NewHandle();
  M().keys[h] = {root, full};
  *result = h;
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
  Enter("RegCloseKey", false);
  if (IsRoot(key)) return ERROR_SUCCESS;
  return M().keys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE *data, DWORD size) {
  if (Enter("RegSetValueExA", true, Quote(name) + " type=" + std::to_string(type) + " size=" + std::to_string(size)))
    return ERROR_REGISTRY_IO_FAILED;
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  if (!FindKey(root, path)) return ERROR_KEY_DELETED;
  Bytes bytes;
  if (size && data) bytes.assign(data, data + size);
  SetValue(root, path, name ? name : "", type, bytes);
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (Enter("RegQueryValueExA", true, Quote(name) + (size ? " size=" + std::to_string(*size) : "")))
    return ERROR_REGISTRY_IO_FAILED;
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  Key *k = FindKey(root, path);
  if (!k) return ERROR_KEY_DELETED;
  Value *v = FindValueIn(*k, name ? name : "");
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  DWORD needed = (DWORD)v->data.size();
  if (data) {
    if (!size) return ERROR_INVALID_PARAMETER;
    if (needed > *size) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    // The bytes exactly as stored: a string stored without its zero comes
    // back without one.
    if (needed) memcpy(data, v->data.data(), needed);
  }
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR, LPDWORD,
                          PFILETIME) {
  if (Enter("RegEnumKeyExA", true, std::to_string(index) + (nameSize ? " size=" + std::to_string(*nameSize) : "")))
    return ERROR_REGISTRY_IO_FAILED;
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  Key *k = FindKey(root, path);
  if (!k) return ERROR_KEY_DELETED;
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const std::string &n = k->subkeys[index]->name;
  if (n.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  memcpy(name, n.c_str(), n.size() + 1);
  *nameSize = (DWORD)n.size();
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  if (Enter("RegDeleteKeyA", true, Quote(subKey))) return ERROR_REGISTRY_IO_FAILED;
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;
  std::string full = Join(path, subKey);
  std::vector<std::string> parts = Split(full);
  Key *parent = &Root(root);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = Child(*parent, parts[i]);
    if (!parent) return ERROR_FILE_NOT_FOUND;
  }
  for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it)
    if (Upper((*it)->name) == Upper(parts.back())) {
      parent->subkeys.erase(it);
      return ERROR_SUCCESS;
    }
  return ERROR_FILE_NOT_FOUND;
}
