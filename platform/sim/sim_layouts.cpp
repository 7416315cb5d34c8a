// Simulated keyboard layouts and input-method manager, as on Windows 98: the
// module's file name is registered bare and in capitals, a loaded
// input-method layout holds its module file, unloading fails while a program
// still uses the layout.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim.h"

namespace sim {

HKL MakeHkl(DWORD value) { return (HKL)(uintptr_t)value; }
DWORD HklValue(HKL layout) { return (DWORD)(uintptr_t)layout; }

Layout *FindLayout(HKL layout) {
  for (Layout &l : M().layouts)
    if (l.handle == layout) return &l;
  return nullptr;
}

std::vector<DWORD> LoadedLayouts() {
  std::vector<DWORD> out;
  for (const Layout &l : M().layouts) out.push_back(HklValue(l.handle));
  return out;
}

static void HoldModule(Layout &l) {
  if (!l.ime || l.imeFile.empty()) return;
  l.heldPath = M().systemDir + "\\" + l.imeFile;
  if (File *f = FindFile(l.heldPath)) ++f->layoutHolds;
}

static void ReleaseModule(Layout &l) {
  if (l.heldPath.empty()) return;
  if (File *f = FindFile(l.heldPath))
    if (f->layoutHolds > 0) --f->layoutHolds;
  l.heldPath.clear();
}

Layout &AddLayout(DWORD handle, bool ime, const std::string &imeFile, bool inUse) {
  Layout l;
  l.handle = MakeHkl(handle);
  l.ime = ime;
  l.imeFile = imeFile;
  l.inUse = inUse;
  M().layouts.push_back(l);
  HoldModule(M().layouts.back());
  return M().layouts.back();
}

void RegisterLayout(const std::string &id, const std::string &imeFile, const std::string &text) {
  std::string key = std::string(kLayoutsKey) + "\\" + id;
  MakeKey(HKEY_LOCAL_MACHINE, key);
  SetString(HKEY_LOCAL_MACHINE, key, "IME file", imeFile);
  SetString(HKEY_LOCAL_MACHINE, key, "Layout text", text);
}

static std::string Hex(HKL layout) {
  char text[16];
  snprintf(text, sizeof text, "%08X", HklValue(layout));
  return text;
}

// The file name registered for a layout id, or empty.
static std::string RegisteredFile(const std::string &id) {
  const Value *v = FindValue(HKEY_LOCAL_MACHINE, std::string(kLayoutsKey) + "\\" + id, "IME file");
  if (!v || v->data.empty()) return std::string();
  return std::string(v->data.begin(), std::find(v->data.begin(), v->data.end(), 0));
}

// Loads a registered input-method layout; null when it is not registered or
// its module file is missing.
static HKL Load(DWORD value) {
  HKL handle = MakeHkl(value);
  if (Layout *l = FindLayout(handle)) return l->handle;
  char id[16];
  snprintf(id, sizeof id, "%08X", value);
  std::string file = RegisteredFile(id);
  if (file.empty() || !FileExists(M().systemDir + "\\" + file)) return nullptr;
  return AddLayout(value, true, file).handle;
}

}  // namespace sim

using namespace sim;

int WINAPI GetKeyboardLayoutList(int capacity, HKL *list) {
  if (Enter("GetKeyboardLayoutList", true, std::to_string(capacity))) return 0;
  int count = (int)M().layouts.size();
  if (capacity <= 0) return count;
  if (!list) return 0;
  int n = count < capacity ? count : capacity;
  for (int i = 0; i < n; ++i) list[i] = M().layouts[i].handle;
  return n;
}

BOOL WINAPI ImmIsIME(HKL layout) {
  if (Enter("ImmIsIME", true, Hex(layout)) || !M().immPresent) return FALSE;
  Layout *l = FindLayout(layout);
  return l && l->ime;
}

UINT WINAPI ImmGetIMEFileNameA(HKL layout, LPSTR buffer, UINT size) {
  if (Enter("ImmGetIMEFileNameA", true, Hex(layout) + " size=" + std::to_string(size)) || !M().immPresent)
    return 0;
  Layout *l = FindLayout(layout);
  if (!l || !l->ime) return 0;
  UINT length = (UINT)l->imeFile.size();
  if (!buffer || size == 0) return length;
  // A name as long as the buffer fills it without a terminating zero.
  UINT copy = length < size ? length : size;
  memcpy(buffer, l->imeFile.data(), copy);
  if (copy < size) buffer[copy] = 0;
  return copy;
}

BOOL WINAPI UnloadKeyboardLayout(HKL layout) {
  if (Enter("UnloadKeyboardLayout", true, Hex(layout))) return FALSE;
  for (auto it = M().layouts.begin(); it != M().layouts.end(); ++it)
    if (it->handle == layout) {
      if (it->inUse) return FALSE;
      ReleaseModule(*it);
      M().layouts.erase(it);
      return TRUE;
    }
  return FALSE;
}

HKL WINAPI LoadKeyboardLayoutA(LPCSTR id, UINT flags) {
  std::string text = id ? id : "";
  if (Enter("LoadKeyboardLayoutA", true, "\"" + text + "\" flags=" + std::to_string(flags))) return nullptr;
  char *end = nullptr;
  unsigned long value = strtoul(text.c_str(), &end, 16);
  if (text.empty() || *end) return nullptr;
  return Load((DWORD)value);
}

HKL WINAPI ImmInstallIMEA(LPCSTR file, LPCSTR layoutText) {
  std::string path = file ? file : "";
  std::string text = layoutText ? layoutText : "";
  if (Enter("ImmInstallIMEA", true, "\"" + path + "\" \"" + text + "\"") || !M().immPresent) return nullptr;
  if (!FileExists(path)) return nullptr;
  size_t slash = path.rfind('\\');
  std::string name = Upper(slash == std::string::npos ? path : path.substr(slash + 1));
  // The first free identifier of the form E0nn0404.
  for (DWORD n = 1; n <= 0xFF; ++n) {
    DWORD value = 0xE0000404u | (n << 16);
    char id[16];
    snprintf(id, sizeof id, "%08X", value);
    if (KeyExists(HKEY_LOCAL_MACHINE, std::string(kLayoutsKey) + "\\" + id)) continue;
    RegisterLayout(id, name, text);
    return Load(value);
  }
  return nullptr;
}
