// The simulated machine's core: its state, the call record with its fault
// plan, processes, and the kernel's environment queries.
#include <iconv.h>

#include <cstring>

#include "sim.h"

namespace sim {

const char *const kLayoutsKey = "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";
const char *const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

static Machine *machine = new Machine;

Machine &M() { return *machine; }

void Reset() {
  delete machine;
  machine = new Machine;
  AddDir("C:");
  AddDir(M().windowsDir);
  AddDir(M().systemDir);
  MakeKey(HKEY_LOCAL_MACHINE, kLayoutsKey);
  MakeKey(HKEY_LOCAL_MACHINE, kUninstallKey);
}

HINSTANCE Instance() { return (HINSTANCE)(uintptr_t)0x00400000u; }

long Tick() { return ++M().seq; }

HANDLE NewHandle() {
  M().nextHandle += 4;
  return (HANDLE)M().nextHandle;
}

bool Enter(const char *name, bool failable, const std::string &args) {
  Machine &m = M();
  CallRecord call;
  call.name = name;
  call.args = args;
  call.failable = failable;
  int nthOfName = ++m.callsOf[name];
  if (failable) {
    long point = ++m.faultPoints;
    const FaultPlan &p = m.plan;
    if (p.failAt > 0 && (point == p.failAt || (p.onward && point > p.failAt))) call.failed = true;
    if (!p.function.empty() && p.function == name && p.nth > 0 && nthOfName >= p.nth &&
        (p.count < 0 || nthOfName < p.nth + p.count))
      call.failed = true;
  }
  m.calls.push_back(call);
  return call.failed;
}

std::vector<CallRecord> CallsOf(const std::string &name) {
  std::vector<CallRecord> out;
  for (const CallRecord &c : M().calls)
    if (c.name == name) out.push_back(c);
  return out;
}

int CountOf(const std::string &name) {
  auto it = M().callsOf.find(name);
  return it == M().callsOf.end() ? 0 : it->second;
}

std::string Upper(const std::string &s) {
  std::string out = s;
  for (char &c : out)
    if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
  return out;
}

static std::string Convert(const std::string &text, const char *to, const char *from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return text;
  std::string out;
  char buffer[256];
  char *in = const_cast<char *>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char *o = buffer;
    size_t oLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, (size_t)(o - buffer));
    if (r == (size_t)-1 && errno != E2BIG) {  // a byte that is not Big5: show it in hex
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", (unsigned char)*in);
      out += hex;
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

std::string Utf8(const std::string &big5) { return Convert(big5, "UTF-8", "CP950"); }
std::string Big5(const std::string &utf8) { return Convert(utf8, "CP950", "UTF-8"); }

int RunProgram(EntryPoint entry, const char *commandTail, int show) {
  Machine &m = M();
  m.leakedFiles = m.leakedKeys = m.leakedGdi = 0;
  m.exitCode = entry(Instance(), nullptr, const_cast<LPSTR>(commandTail), show);
  EndProcess();
  return m.exitCode;
}

void EndProcess() {
  Machine &m = M();
  for (Window &w : m.windows)
    if (!w.destroyed) {
      w.destroyed = true;
      w.visible = false;
      w.destroyedAt = Tick();
    }
  for (const WindowClass &c : m.classes) m.brushes.erase((HGDIOBJ)c.background);  // go with their class
  m.classes.clear();
  m.leakedFiles = (int)m.open.size();
  m.open.clear();
  m.leakedKeys = (int)m.keys.size();
  m.keys.clear();
  m.leakedGdi = (int)(m.fonts.size() + m.brushes.size()) + m.dcsOut;
  m.fonts.clear();
  m.brushes.clear();
  m.dcsOut = 0;
  m.pendingBeeps.clear();
}

}  // namespace sim

using namespace sim;

DWORD WINAPI GetLastError(void) { return M().lastError; }
void WINAPI SetLastError(DWORD error) { M().lastError = error; }

UINT WINAPI GetACP(void) {
  Enter("GetACP", false);
  return M().acp;
}

DWORD WINAPI GetVersion(void) {
  Enter("GetVersion", false);
  return M().version;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  Enter("GetModuleHandleA", false);
  return name ? nullptr : Instance();
}
