// A simulated machine on which the uninstaller runs: installations of both
// families set up by hand, the five messages, and the whole state of the
// machine (files, registry, loaded layouts) to compare before and after.
#ifndef QIV_TESTS_REMOVAL_FIXTURE_H
#define QIV_TESTS_REMOVAL_FIXTURE_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "machine_test.h"
#include "removal.h"

namespace removal_test {

// The messages of the uninstaller.
enum Msg { kConfirm, kInUse, kFailed, kRemoved, kNotPresent };

struct MessageSpec {
  const char *text, *caption;
  UINT type;
};

inline const MessageSpec &SpecOf(Msg m) {
  static const char kTitle[] = "Tavrin輸入法移除程式 V1.1";
  static const MessageSpec messages[] = {
      {"確定移除「Tavrin輸入法」嗎？", kTitle, MB_OKCANCEL},
      {"可能有其他應用程式正在使用Tavrin輸入法，\n請先退出使用狀態再進行移除", "Tavrin", MB_OK},
      {"檔案移除失敗，可能有其他應用程式正在使用Tavrin，\n請先結束使用Tavrin的程式，或重新開機，再執行移除程式。", kTitle,
       MB_OK},
      {"「Tavrin輸入法」已從你的系統中移除", kTitle, MB_OK},
      {"「Tavrin輸入法」不在你的系統中", kTitle, MB_OK},
  };
  return messages[m];
}

// The boxes shown since the machine was reset, from `first` on, are these
// messages, each with no owner and no icon.
inline void ExpectMessages(const std::vector<Msg> &expected, size_t first = 0) {
  const auto &boxes = sim::M().boxes;
  ASSERT_EQ(boxes.size() - first, expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const sim::Box &b = boxes[first + i];
    const MessageSpec &s = SpecOf(expected[i]);
    EXPECT_TEXT(b.text, s.text) << "box " << i;
    EXPECT_TEXT(b.caption, s.caption) << "box " << i;
    EXPECT_EQ(b.type, s.type) << "box " << i;
    EXPECT_EQ(b.owner, nullptr) << "box " << i;
    EXPECT_FALSE(b.unexpected) << "box " << i << " had no scripted answer";
  }
}

// ---- Places ---------------------------------------------------------------

inline std::string Sys(const char *name) { return sim::M().systemDir + name; }
inline std::string Win(const char *name) { return sim::M().windowsDir + name; }
inline std::string LayoutKey(const std::string &id) { return std::string(sim::kLayoutsKey) + "\\" + id; }
inline std::string EntryKey(const std::string &entry) { return std::string(sim::kUninstallKey) + "\\" + entry; }

inline const char *const kNtTables[] = {"\\QIV-UNI.TAB", "\\QIV-UNI2.TAB", "\\QIV-UNI3.TAB", "\\QIV-UNI4.TAB"};

// Takes a key and all below it off the machine, behind the programs' back.
inline void EraseKey(HKEY root, const std::string &path) {
  size_t slash = path.rfind('\\');
  sim::Key *parent = sim::FindKey(root, path.substr(0, slash));
  ASSERT_TRUE(parent) << path;
  std::string name = sim::Upper(path.substr(slash + 1));
  auto &keys = parent->subkeys;
  keys.erase(std::remove_if(keys.begin(), keys.end(), [&](const auto &k) { return sim::Upper(k->name) == name; }),
             keys.end());
}

inline std::string Id(DWORD handle) {
  char id[16];
  snprintf(id, sizeof id, "%08X", handle);
  return id;
}

// ---- Installations made by hand ---------------------------------------------

inline void AddEntry(const char *entry, const std::string &display) {
  sim::SetString(HKEY_LOCAL_MACHINE, EntryKey(entry), "DisplayName", display);
  sim::SetString(HKEY_LOCAL_MACHINE, EntryKey(entry), "UninstallString", Win("\\unqiv.exe "));
}

// What qiv98.exe leaves on disk: the table, the uninstaller and the user's
// phrase file in the Windows directory, the module in the system directory
// (names in the setup program's lower case), and the uninstall entry.
inline void Files95(DWORD moduleAttributes = FILE_ATTRIBUTE_ARCHIVE) {
  sim::AddFile(Win("\\qivbig5j.tab"), std::string(300, 't'));
  sim::AddFile(Win("\\unqiv.exe"), "MZ uninstaller");
  sim::AddFile(Win("\\qiv.box"), "KOK x\r\nMY phrase\r\n");
  sim::AddFile(Sys("\\qiv95.ime"), "MZ module", moduleAttributes);
  AddEntry("QIV98", "Tavrin輸入法 5.7版");
}

// The NT family: its module and those of its four tables that are present.
inline void FilesNT(std::initializer_list<int> tables = {0, 1, 2, 3}) {
  sim::AddFile(Sys("\\QIVNT.IME"), "MZ nt module");
  for (int t : tables) sim::AddFile(Sys(kNtTables[t]), std::string("table ") + kNtTables[t]);
  AddEntry("QIV2000", "Tavrin 2000");
}

// Another keyboard layout and another input method, loaded and registered,
// which the uninstaller must leave alone.
inline void Neighbours() {
  sim::AddFile(Sys("\\PHON.IME"), "another input method");
  sim::RegisterLayout("00000404", "", "Chinese (Traditional)");
  sim::AddLayout(0x04040404u, false, "");
  sim::RegisterLayout("E0030404", "PHON.IME", "Phonetic");
  sim::AddLayout(0xE0030404u, true, "PHON.IME");
  sim::SetString(HKEY_CURRENT_USER, "Software\\Tavrin", "Setting", "kept");
}

// The layout handles (and identifiers) the platform gives each family.
inline const DWORD k95 = 0xE0010404u;
inline const DWORD kNT = 0xE0020404u;

inline void Registered95() {
  Files95();
  sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
}
inline void Loaded95(bool inUse = false) {
  Registered95();
  sim::AddLayout(k95, true, "QIV95.IME", inUse);
}
inline void RegisteredNT(std::initializer_list<int> tables = {0, 1, 2, 3}) {
  FilesNT(tables);
  sim::RegisterLayout(Id(kNT), "QIVNT.IME", "Tavrin NT");
}

// ---- The whole state of the machine -------------------------------------------

struct State {
  std::map<std::string, sim::Bytes> files;       // upper-cased path -> bytes
  std::map<std::string, std::string> registry;   // "HKLM\KEY" or "HKLM\KEY|value" -> type and bytes
  std::vector<DWORD> layouts;

  bool operator==(const State &o) const {
    return files == o.files && registry == o.registry && layouts == o.layouts;
  }
};

inline void DumpKey(const sim::Key &key, const std::string &path, std::map<std::string, std::string> *out) {
  (*out)[sim::Upper(path)] = "";
  for (const sim::Value &v : key.values) {
    std::string text = std::to_string(v.type) + ":";
    char hex[4];
    for (uint8_t b : v.data) {
      snprintf(hex, sizeof hex, "%02X", b);
      text += hex;
    }
    (*out)[sim::Upper(path) + "|" + sim::Upper(v.name)] = text;
  }
  for (const auto &k : key.subkeys) DumpKey(*k, path + "\\" + k->name, out);
}

inline State Snapshot() {
  State s;
  for (const auto &f : sim::M().files) s.files[f.first] = f.second.bytes;
  DumpKey(sim::M().hklm, "HKLM", &s.registry);
  DumpKey(sim::M().hkcu, "HKCU", &s.registry);
  s.layouts = sim::LoadedLayouts();
  return s;
}

// What a run may have taken away: files, keys under HKEY_LOCAL_MACHINE (with
// all below them) and loaded layouts.
struct Removal {
  std::vector<std::string> files;
  std::vector<std::string> keys;
  std::vector<DWORD> layouts;
};

inline State Without(State s, const Removal &r);

// Everything of a complete 95-family installation, its layout key and, when
// it was loaded, its layout.
inline Removal All95(bool layout) {
  Removal r{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")}, {LayoutKey(Id(k95)), EntryKey("QIV98")}, {}};
  if (layout) r.layouts.push_back(k95);
  return r;
}

inline State Without(State s, const Removal &r) {
  for (const std::string &f : r.files) {
    EXPECT_EQ(s.files.erase(sim::Upper(f)), 1u) << "expected to be removed but never there: " << f;
  }
  for (const std::string &k : r.keys) {
    std::string prefix = "HKLM\\" + sim::Upper(k);
    EXPECT_TRUE(s.registry.count(prefix)) << "expected to be removed but never there: " << k;
    for (auto it = s.registry.begin(); it != s.registry.end();) {
      const std::string &name = it->first;
      bool below = name.compare(0, prefix.size(), prefix) == 0 &&
                   (name.size() == prefix.size() || name[prefix.size()] == '\\' || name[prefix.size()] == '|');
      it = below ? s.registry.erase(it) : std::next(it);
    }
  }
  for (DWORD l : r.layouts) {
    auto it = std::find(s.layouts.begin(), s.layouts.end(), l);
    EXPECT_NE(it, s.layouts.end()) << "expected to be unloaded but never loaded: " << std::hex << l;
    if (it != s.layouts.end()) s.layouts.erase(it);
  }
  return s;
}

// Readable differences between two states, for failure messages.
inline std::string Differences(const State &expected, const State &actual) {
  std::string out;
  for (const auto &f : expected.files)
    if (!actual.files.count(f.first)) out += "  file gone: " + f.first + "\n";
    else if (actual.files.at(f.first) != f.second) out += "  file changed: " + f.first + "\n";
  for (const auto &f : actual.files)
    if (!expected.files.count(f.first)) out += "  file still there: " + f.first + "\n";
  for (const auto &r : expected.registry)
    if (!actual.registry.count(r.first)) out += "  registry gone: " + r.first + "\n";
    else if (actual.registry.at(r.first) != r.second) out += "  registry changed: " + r.first + "\n";
  for (const auto &r : actual.registry)
    if (!expected.registry.count(r.first)) out += "  registry still there: " + r.first + "\n";
  if (expected.layouts != actual.layouts) {
    out += "  layouts:";
    for (DWORD l : actual.layouts) out += " " + Id(l);
    out += " instead of";
    for (DWORD l : expected.layouts) out += " " + Id(l);
    out += "\n";
  }
  return out;
}

#define EXPECT_STATE(expected, actual) \
  EXPECT_TRUE((expected) == (actual)) << Differences((expected), (actual))

inline int RunUninstaller(const char *tail = "") { return sim::RunProgram(unqiv::WinMain, tail); }

// Nothing left open by the process, no scripted answer left over.
inline void ExpectCleanEnd() {
  EXPECT_EQ(sim::M().leakedFiles, 0);
  EXPECT_EQ(sim::M().leakedKeys, 0);
  EXPECT_EQ(sim::M().leakedGdi, 0);
  EXPECT_TRUE(sim::M().answers.empty()) << "a scripted answer found no box";
}

// Every call the uninstaller made with a limit made it with the one it keeps.
inline void ExpectLimits() {
  for (const auto &c : sim::CallsOf("GetKeyboardLayoutList")) EXPECT_EQ(c.args, "30");
  for (const auto &c : sim::CallsOf("ImmGetIMEFileNameA")) EXPECT_NE(c.args.find(" size=32"), std::string::npos);
  for (const auto &c : sim::CallsOf("RegEnumKeyExA")) EXPECT_NE(c.args.find(" size=100"), std::string::npos) << c.args;
  for (const auto &c : sim::CallsOf("RegQueryValueExA")) EXPECT_EQ(c.args, "\"IME file\" size=100");
  for (const auto &c : sim::CallsOf("GetSystemDirectoryA")) EXPECT_EQ(c.args, "260");
  for (const auto &c : sim::CallsOf("GetWindowsDirectoryA")) EXPECT_EQ(c.args, "260");
  for (const auto &c : sim::CallsOf("SetFileAttributesA"))
    EXPECT_NE(c.args.find(" " + std::to_string(FILE_ATTRIBUTE_NORMAL)), std::string::npos) << c.args;
}

class RemovalTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
};

}  // namespace removal_test

#endif
