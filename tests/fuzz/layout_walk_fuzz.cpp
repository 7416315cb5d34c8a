// Fuzz target: the uninstaller's walk of the layouts key (FindLayoutKey) over
// arbitrary layout keys and "IME file" values on the simulated platform,
// against a model of the walk written here.
//
// Input layout (a missing byte reads as 0):
//   byte 0   the registry function made to fail, value mod 5: none,
//            RegCreateKeyA, RegEnumKeyExA, RegQueryValueExA, RegDeleteKeyA
//   byte 1   which call of it fails: value mod 16, plus 1
//   then up to 16 layout keys, in enumeration order, each:
//     2 bytes  name length, little-endian, mod 301; then the name's bytes
//              (a zero byte becomes '0' and a backslash '/', which no key
//              name can hold; a name equal to an earlier one, letter case
//              aside, is dropped: the registry holds no such pair)
//     1 byte   flags: bits 0-1 the values: none, "IME file", "IME file" and
//              "Layout Text", "Layout Text" only; bits 2-4 the type of
//              "IME file" (see kTypes); bit 5 its name spelled "ime FILE";
//              bit 6 a key below it whose "IME file" is "QIV95.IME"
//     2 bytes  value length, little-endian, mod 301; then the value's bytes
//
// Checked: no fault under the sanitizers; the family returned; at most one
// layout key deleted, namely the first in enumeration order whose value, as
// a text ended within the 100-byte buffer, is exactly "QIVNT.IME" or
// "QIV95.IME" (unless the deletion is the call made to fail); the walk ends
// at the first enumeration that does not succeed (a name of 100 characters
// or more, the end of the keys, a failed call); nothing else in the
// registry changes; every key opened is closed.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "removal.h"
#include "sim/sim.h"

namespace {

constexpr size_t kMaxKeys = 16;
constexpr size_t kMaxLength = 300;
constexpr size_t kNameLimit = 100;   // characters RegEnumKeyExA is given, the zero included
constexpr size_t kValueLimit = 100;  // bytes RegQueryValueExA is given

const DWORD kTypes[8] = {REG_SZ, REG_DWORD, REG_BINARY, REG_NONE, REG_EXPAND_SZ, REG_MULTI_SZ, 0x1234, REG_SZ};
const char *const kFaultFunctions[5] = {"", "RegCreateKeyA", "RegEnumKeyExA", "RegQueryValueExA",
                                        "RegDeleteKeyA"};
enum Fault { kNoFault, kFailCreate, kFailEnum, kFailQuery, kFailDelete };

struct Input {
  const uint8_t *data;
  size_t size, at = 0;
  bool AtEnd() const { return at >= size; }
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  unsigned Length() {
    unsigned low = Byte();
    return (low | (unsigned)Byte() << 8) % (kMaxLength + 1);
  }
  std::string Bytes(size_t n) {
    std::string s;
    while (n-- > 0) s += (char)Byte();
    return s;
  }
};

struct LayoutKey {
  std::string name;
  bool hasImeFile = false;
  std::string imeFile;  // the value's bytes
};

// The registry as data, for comparing before and after.
struct Snapshot {
  std::string name;
  std::vector<sim::Value> values;
  std::vector<Snapshot> subkeys;
};

bool operator==(const Snapshot &a, const Snapshot &b) {
  if (a.name != b.name || a.values.size() != b.values.size() || a.subkeys != b.subkeys) return false;
  for (size_t i = 0; i < a.values.size(); ++i)
    if (a.values[i].name != b.values[i].name || a.values[i].type != b.values[i].type ||
        a.values[i].data != b.values[i].data)
      return false;
  return true;
}

Snapshot Take(const sim::Key &key) {
  Snapshot s{key.name, key.values, {}};
  for (const auto &k : key.subkeys) s.subkeys.push_back(Take(*k));
  return s;
}

struct Registry {
  Snapshot hklm, hkcu;
};

Registry TakeRegistry() { return {Take(sim::M().hklm), Take(sim::M().hkcu)}; }

Snapshot *Find(Snapshot &root, const std::vector<std::string> &path) {
  Snapshot *s = &root;
  for (const std::string &part : path) {
    Snapshot *next = nullptr;
    for (Snapshot &k : s->subkeys)
      if (sim::Upper(k.name) == sim::Upper(part)) next = &k;
    if (!next) return nullptr;
    s = next;
  }
  return s;
}

// What the walk is to do: the family it returns and the layout key, by
// index, that it deletes (-1: none). `deleteTried` when it asks to delete.
struct Expected {
  int family = unqiv::kFamilyNone;
  int deleted = -1;
  bool deleteTried = false;
  std::string deleteName;
};

int FamilyOfText(const std::string &text) {
  if (text == "QIVNT.IME") return unqiv::kFamilyNT;
  if (text == "QIV95.IME") return unqiv::kFamily95;
  return unqiv::kFamilyNone;
}

Expected Model(const std::vector<LayoutKey> &keys, int fault, int nth) {
  int calls[5] = {0, 0, 0, 0, 0};
  auto fails = [&](int function) { return ++calls[function] == nth && fault == function; };
  Expected e;
  if (fails(kFailCreate)) return e;  // the layouts key cannot be opened: nothing found
  for (size_t index = 0;; ++index) {
    if (fails(kFailEnum)) break;
    if (index >= keys.size()) break;                      // no more subkeys
    const LayoutKey &key = keys[index];
    if (key.name.size() + 1 > kNameLimit) break;          // name longer than the buffer
    if (fails(kFailCreate)) continue;                     // subkey not opened: no match
    if (fails(kFailQuery)) continue;                      // value not read: no match
    // A subkey named by the empty text opens the layouts key itself, which
    // holds no "IME file".
    if (key.name.empty() || !key.hasImeFile) continue;
    if (key.imeFile.size() > kValueLimit) continue;       // does not fit: not read
    std::string text = key.imeFile.substr(0, std::min(key.imeFile.size(), kValueLimit - 1));
    text = text.substr(0, text.find('\0'));
    const int family = FamilyOfText(text);
    if (family == unqiv::kFamilyNone) continue;
    e.family = family;
    e.deleteTried = true;
    e.deleteName = key.name;
    if (!fails(kFailDelete)) e.deleted = (int)index;
    break;
  }
  return e;
}

void AddLayoutKey(const LayoutKey &key, uint8_t flags) {
  sim::Key &layouts = sim::MakeKey(HKEY_LOCAL_MACHINE, sim::kLayoutsKey);
  // Made by hand: a path helper cannot name a key with the empty name.
  layouts.subkeys.push_back(std::make_unique<sim::Key>());
  sim::Key &k = *layouts.subkeys.back();
  k.name = key.name;
  const int values = flags & 3;
  const std::string imeFileName = flags & 0x20 ? "ime FILE" : "IME file";
  if (values == 1 || values == 2)
    k.values.push_back(sim::Value{imeFileName, kTypes[(flags >> 2) & 7], sim::Bytes(key.imeFile.begin(),
                                                                                    key.imeFile.end())});
  if (values == 2 || values == 3) k.values.push_back(sim::Value{"Layout Text", REG_SZ, {'Q', 'i', 'v', 0}});
  if (flags & 0x40) {
    k.subkeys.push_back(std::make_unique<sim::Key>());
    k.subkeys.back()->name = "Below";
    k.subkeys.back()->values.push_back(sim::Value{"IME file", REG_SZ, {'Q', 'I', 'V', '9', '5', '.', 'I', 'M', 'E', 0}});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in{data, size};
  const int fault = in.Byte() % 5;
  const int nth = in.Byte() % 16 + 1;

  sim::Reset();
  // Registry data around the layouts key that the walk must leave alone.
  sim::SetString(HKEY_LOCAL_MACHINE, std::string(sim::kUninstallKey) + "\\QIV98", "DisplayName", "Qiv");
  sim::SetString(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout", "IME file",
                 "QIV95.IME");
  sim::SetString(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", "1", "E0080404");

  std::vector<LayoutKey> keys;
  while (!in.AtEnd() && keys.size() < kMaxKeys) {
    LayoutKey key;
    key.name = in.Bytes(in.Length());
    for (char &c : key.name)
      if (c == 0) c = '0';
      else if (c == '\\') c = '/';
    const uint8_t flags = in.Byte();
    key.imeFile = in.Bytes(in.Length());
    key.hasImeFile = (flags & 3) == 1 || (flags & 3) == 2;
    bool duplicate = false;
    for (const LayoutKey &k : keys) duplicate |= sim::Upper(k.name) == sim::Upper(key.name);
    if (duplicate) continue;
    AddLayoutKey(key, flags);
    keys.push_back(key);
  }
  if (fault != kNoFault) {
    sim::M().plan.function = kFaultFunctions[fault];
    sim::M().plan.nth = nth;
    sim::M().plan.count = 1;
  }

  const Registry before = TakeRegistry();
  const Expected expected = Model(keys, fault, nth);
  const int family = unqiv::FindLayoutKey();

  FUZZ_CHECK(family == expected.family, "family %d, the model says %d", family, expected.family);
  const std::vector<sim::CallRecord> deletes = sim::CallsOf("RegDeleteKeyA");
  FUZZ_CHECK(deletes.size() == (expected.deleteTried ? 1u : 0u), "%zu deletions asked, the model says %d",
             deletes.size(), expected.deleteTried ? 1 : 0);
  if (expected.deleteTried)
    FUZZ_CHECK(deletes[0].args == "\"" + expected.deleteName + "\"", "deleted %s, the model says key %s",
               deletes[0].args.c_str(), expected.deleteName.c_str());
  FUZZ_CHECK(sim::M().keys.empty(), "%zu registry keys left open", sim::M().keys.size());

  Registry want = before;
  if (expected.deleted >= 0) {
    Snapshot *layouts = Find(want.hklm, {"SYSTEM", "CurrentControlSet", "Control", "Keyboard Layouts"});
    FUZZ_CHECK(layouts != nullptr, "the layouts key is missing");
    layouts->subkeys.erase(layouts->subkeys.begin() + expected.deleted);
  }
  const Registry after = TakeRegistry();
  FUZZ_CHECK(after.hklm == want.hklm && after.hkcu == want.hkcu,
             "the registry differs from the model's (deleted index %d of %zu keys)", expected.deleted,
             keys.size());
  return 0;
}
