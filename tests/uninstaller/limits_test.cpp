// The uninstaller's buffers at and around their limits: long directories,
// "IME file" values of every size and type, module names that fill their
// buffer, layout lists longer than the 30 handles asked for, subkey names of
// the walk. Each case checks the whole outcome and that no file function
// was handed a path longer than the platform takes.
#include <gtest/gtest.h>

#include "removal_fixture.h"

namespace removal_test {
namespace {

// No file function was given a path that does not fit MAX_PATH with its zero.
void ExpectPathsFit() {
  for (const char *f : {"GetFileAttributesA", "SetFileAttributesA", "DeleteFileA"})
    for (const auto &c : sim::CallsOf(f)) {
      size_t close = c.args.find('"', 1);
      ASSERT_NE(close, std::string::npos) << c.args;
      EXPECT_LT(close - 1, (size_t)MAX_PATH) << f << " " << c.args.size();
    }
}

// Runs with OK to the confirmation and to the closing message.
int RunConfirmed() {
  Answer({IDOK, IDOK});
  return RunUninstaller();
}

// ---- Directories --------------------------------------------------------------

enum Found { kByLayoutKey, kByModuleFile };

struct DirectoryCase {
  bool systemVaries;  // else the Windows directory
  size_t length;
  Found found;
};

std::string Name(const DirectoryCase &c) {
  return std::string(c.systemVaries ? "System" : "Windows") + std::to_string(c.length) +
         (c.found == kByLayoutKey ? "ByLayoutKey" : "ByModuleFile");
}
void PrintTo(const DirectoryCase &c, std::ostream *out) { *out << Name(c); }

std::vector<DirectoryCase> DirectoryCases() {
  std::vector<DirectoryCase> cases;
  for (bool system : {true, false})
    for (size_t n = 244; n <= 262; ++n)
      for (Found f : {kByLayoutKey, kByModuleFile}) cases.push_back({system, n, f});
  return cases;
}

class Directories : public RemovalTest, public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(Directories, PathsThatDoNotFitAreMissingFiles) {
  const DirectoryCase &c = GetParam();
  std::string longDir = LongDirectory(c.length);
  UseDirectories(c.systemVaries ? "C:\\WINDOWS" : longDir, c.systemVaries ? longDir : "C:\\WINDOWS\\SYSTEM");
  Files95();
  if (c.found == kByLayoutKey) sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
  State before = Snapshot();

  // A path fits when it and its zero fit in MAX_PATH bytes.
  bool moduleFits = sim::M().systemDir.size() + strlen("\\QIV95.IME") < MAX_PATH;
  bool tableFits = sim::M().windowsDir.size() + strlen("\\QIVBIG5J.TAB") < MAX_PATH;
  int exit = RunConfirmed();

  Removal r;
  if (c.found == kByModuleFile && !moduleFits) {
    EXPECT_EQ(exit, 2);
    ExpectMessages({kConfirm, kNotPresent});
  } else {
    // Found; a module file no path can name counts as gone, as a missing one does.
    EXPECT_EQ(exit, 4);
    ExpectMessages({kConfirm, kRemoved});
    if (moduleFits) r.files.push_back(Sys("\\qiv95.ime"));
    if (tableFits) r.files.push_back(Win("\\qivbig5j.tab"));
    if (c.found == kByLayoutKey) r.keys.push_back(LayoutKey(Id(k95)));
    r.keys.push_back(EntryKey("QIV98"));
  }
  EXPECT_STATE(Without(before, r), Snapshot());
  ExpectPathsFit();
  ExpectLimits();
  ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Lengths, Directories, ::testing::ValuesIn(DirectoryCases()),
                         [](const auto &info) { return Name(info.param); });

// A system directory the platform does not give says nothing of the module
// file: the removal fails and keeps the entry for a later run.
TEST_F(RemovalTest, SystemDirectoryThatCannotBeFetchedFailsTheRemoval) {
  Registered95();
  State before = Snapshot();
  sim::M().plan.function = "GetSystemDirectoryA";
  sim::M().plan.nth = 1;
  sim::M().plan.count = -1;
  EXPECT_EQ(RunConfirmed(), 3);
  ExpectMessages({kConfirm, kFailed});
  EXPECT_STATE(Without(before, Removal{{}, {LayoutKey(Id(k95))}, {}}), Snapshot());
  EXPECT_EQ(sim::CountOf("DeleteFileA"), 0);

  // The next run finds the module file by its presence and completes.
  sim::M().plan = sim::FaultPlan{};
  size_t first = sim::M().boxes.size();
  EXPECT_EQ(RunConfirmed(), 4);
  ExpectMessages({kConfirm, kRemoved}, first);
  EXPECT_STATE(Without(before, All95(false)), Snapshot());
}

// A Windows directory the platform does not give holds no file to delete.
TEST_F(RemovalTest, WindowsDirectoryThatCannotBeFetchedKeepsTheTable) {
  Registered95();
  State before = Snapshot();
  sim::M().plan.function = "GetWindowsDirectoryA";
  sim::M().plan.nth = 1;
  sim::M().plan.count = -1;
  EXPECT_EQ(RunConfirmed(), 4);
  ExpectMessages({kConfirm, kRemoved});
  EXPECT_STATE(Without(before, Removal{{Sys("\\qiv95.ime")}, {LayoutKey(Id(k95)), EntryKey("QIV98")}, {}}),
               Snapshot());
  EXPECT_EQ(sim::CountOf("DeleteFileA"), 1);
}

// ---- "IME file" values -----------------------------------------------------------

struct ValueCase {
  const char *name;
  DWORD type;
  sim::Bytes data;
  int family;  // what the value names: kFamilyNone, kFamilyNT, kFamily95
};
void PrintTo(const ValueCase &c, std::ostream *out) { *out << c.name; }

sim::Bytes Text(const std::string &text, size_t size, char fill) {
  sim::Bytes b(text.begin(), text.end());
  b.resize(size, (uint8_t)fill);
  return b;
}

std::vector<ValueCase> ValueCases() {
  using unqiv::kFamily95;
  using unqiv::kFamilyNone;
  using unqiv::kFamilyNT;
  std::string z("QIV95.IME\0", 10);
  return {
      {"Terminated", REG_SZ, Text(z, 10, 0), kFamily95},
      {"NtTerminated", REG_SZ, Text(std::string("QIVNT.IME\0", 10), 10, 0), kFamilyNT},
      {"Unterminated", REG_SZ, Text("QIV95.IME", 9, 0), kFamily95},
      {"ZeroPaddedTo99", REG_SZ, Text(z, 99, 0), kFamily95},
      {"ZeroPaddedTo100", REG_SZ, Text(z, 100, 0), kFamily95},
      {"ZeroPaddedTo101", REG_SZ, Text(z, 101, 0), kFamilyNone},  // does not fit: cannot be read
      {"UnterminatedFilling99", REG_SZ, Text("QIV95.IME", 99, 'X'), kFamilyNone},
      {"UnterminatedFilling100", REG_SZ, Text("QIV95.IME", 100, 'X'), kFamilyNone},
      {"UnterminatedFilling101", REG_SZ, Text("QIV95.IME", 101, 'X'), kFamilyNone},
      {"SpacesAfterTheName100", REG_SZ, Text("QIV95.IME", 100, ' '), kFamilyNone},
      {"Dword", REG_DWORD, {'Q', 'I', 'V', '9'}, kFamilyNone},
      {"DwordZero", REG_DWORD, {0, 0, 0, 0}, kFamilyNone},
      // The type is never asked for: the bytes are read as a text.
      {"BinaryHoldingTheName", REG_BINARY, Text(z, 10, 0), kFamily95},
      {"BinaryFilling100", REG_BINARY, Text("", 100, '\xFF'), kFamilyNone},
      {"ExpandString", REG_EXPAND_SZ, Text(z, 10, 0), kFamily95},
      {"Empty", REG_SZ, {}, kFamilyNone},
      {"OnlyAZero", REG_SZ, {0}, kFamilyNone},
      {"LowerCase", REG_SZ, Text(std::string("qiv95.ime\0", 10), 10, 0), kFamilyNone},
      {"MixedCase", REG_SZ, Text(std::string("Qiv95.IME\0", 10), 10, 0), kFamilyNone},
      {"WithDirectory", REG_SZ, Text(std::string("C:\\WINDOWS\\SYSTEM\\QIV95.IME\0", 28), 28, 0), kFamilyNone},
      {"TrailingSpace", REG_SZ, Text(std::string("QIV95.IME \0", 11), 11, 0), kFamilyNone},
      {"Prefix", REG_SZ, Text(std::string("QIV95.IM\0", 9), 9, 0), kFamilyNone},
  };
}

class ImeFileValues : public RemovalTest, public ::testing::WithParamInterface<ValueCase> {};

// No module file and no loaded layout: only the walk can find the input
// method, so the outcome tells whether the value matched.
TEST_P(ImeFileValues, ComparedAsATerminatedText) {
  const ValueCase &c = GetParam();
  sim::AddFile(Win("\\qivbig5j.tab"), "table");
  AddEntry("QIV98", "Tavrin");
  AddEntry("QIV2000", "Tavrin 2000");
  sim::RegisterLayout("E0030404", "PHON.IME", "Phonetic");
  std::string key = LayoutKey(Id(k95));
  sim::SetString(HKEY_LOCAL_MACHINE, key, "Layout text", "Tavrin");
  sim::SetValue(HKEY_LOCAL_MACHINE, key, "IME file", c.type, c.data);
  sim::RegisterLayout("E0050404", "QIV95.IME", "Tavrin");  // after it in the walk
  State before = Snapshot();

  int exit = RunConfirmed();

  Removal r;
  if (c.family == unqiv::kFamilyNone) {
    // The walk went on past it to the next key that names the module.
    EXPECT_EQ(exit, 4);
    r = Removal{{Win("\\qivbig5j.tab")}, {LayoutKey("E0050404"), EntryKey("QIV98")}, {}};
  } else if (c.family == unqiv::kFamily95) {
    EXPECT_EQ(exit, 4);
    r = Removal{{Win("\\qivbig5j.tab")}, {key, EntryKey("QIV98")}, {}};
  } else {
    EXPECT_EQ(exit, 4);
    r = Removal{{}, {key, EntryKey("QIV2000")}, {}};
  }
  ExpectMessages({kConfirm, kRemoved});
  EXPECT_STATE(Without(before, r), Snapshot());
  ExpectLimits();
  ExpectCleanEnd();
}

// The same value as the only candidate: unmatched, the run finds nothing.
TEST_P(ImeFileValues, AloneMatchesOrIsNotPresent) {
  const ValueCase &c = GetParam();
  std::string key = LayoutKey(Id(k95));
  sim::SetValue(HKEY_LOCAL_MACHINE, key, "IME file", c.type, c.data);
  State before = Snapshot();
  int exit = RunConfirmed();
  if (c.family == unqiv::kFamilyNone) {
    EXPECT_EQ(exit, 2);
    ExpectMessages({kConfirm, kNotPresent});
    EXPECT_STATE(before, Snapshot());
  } else {
    EXPECT_EQ(exit, 4);
    ExpectMessages({kConfirm, kRemoved});
    EXPECT_STATE(Without(before, Removal{{}, {key}, {}}), Snapshot());
  }
}

INSTANTIATE_TEST_SUITE_P(Values, ImeFileValues, ::testing::ValuesIn(ValueCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- Module names of loaded layouts ------------------------------------------------

struct NameCase {
  const char *name;
  std::string module;  // what the input-method manager reports (may exceed 32 bytes)
  bool ours;
};
void PrintTo(const NameCase &c, std::ostream *out) { *out << c.name; }

std::vector<NameCase> NameCases() {
  return {
      {"Exact", "QIV95.IME", true},
      {"ZeroInsideTheBuffer", std::string("QIV95.IME\0", 10) + std::string(22, 'J'), true},
      {"ThirtyOne", "QIV95.IME" + std::string(22, 'X'), false},
      {"FillsAll32", "QIV95.IME" + std::string(23, 'X'), false},
      {"FillsAll32WithSpaces", "QIV95.IME" + std::string(23, ' '), false},
      {"LongerThanTheBuffer", "QIV95.IME" + std::string(40, 'X'), false},
      {"NtFillsAll32", "QIVNT.IME" + std::string(23, 'X'), false},
      {"ThirtyTwoOther", std::string(32, 'Q'), false},
      {"LowerCase", "qiv95.ime", false},
      {"MixedCase", "QIV95.Ime", false},
      {"TrailingSpace", "QIV95.IME ", false},
      {"Prefix", "QIV95.IM", false},
      {"Empty", "", false},
  };
}

class ModuleNames : public RemovalTest, public ::testing::WithParamInterface<NameCase> {};

// The module file is present and nothing is registered: an unrecognised
// layout stays loaded and the file is found by its presence. A name in other
// letter case names the same file, which that layout then holds.
TEST_P(ModuleNames, RecognisedOnlyWhenExact) {
  const NameCase &c = GetParam();
  Files95();
  sim::AddLayout(0x04040404u, false, "");
  sim::AddLayout(k95, true, c.module);
  bool holdsModule = sim::FindFile(Sys("\\qiv95.ime"))->layoutHolds > 0;
  ASSERT_EQ(holdsModule, sim::Upper(c.module) == "QIV95.IME");
  State before = Snapshot();

  int exit = RunConfirmed();

  if (holdsModule && !c.ours) {
    EXPECT_EQ(exit, 3);
    ExpectMessages({kConfirm, kFailed});
    EXPECT_STATE(before, Snapshot());
  } else {
    EXPECT_EQ(exit, 4);
    ExpectMessages({kConfirm, kRemoved});
    Removal r{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")}, {EntryKey("QIV98")}, {}};
    if (c.ours) r.layouts.push_back(k95);
    EXPECT_STATE(Without(before, r), Snapshot());
  }
  EXPECT_EQ(sim::CountOf("UnloadKeyboardLayout"), c.ours ? 1 : 0);
  ExpectLimits();
  ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Names, ModuleNames, ::testing::ValuesIn(NameCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- Layouts beyond the 30 in the list -----------------------------------------------

class LayoutCount : public RemovalTest, public ::testing::WithParamInterface<int> {};

// The input method's layout is the n-th loaded, after other keyboard layouts
// and input methods.
TEST_P(LayoutCount, OnlyTheFirst30AreSeen) {
  int n = GetParam();
  Neighbours();  // two loaded
  for (int i = 2; i < n - 1; ++i)
    sim::AddLayout(0xE0100404u + ((DWORD)i << 16), i % 2 == 0, i % 2 == 0 ? "PHON.IME" : "");
  Registered95();
  sim::AddLayout(k95, true, "QIV95.IME");
  ASSERT_EQ(sim::LoadedLayouts().size(), (size_t)n);
  ASSERT_EQ(sim::LoadedLayouts().back(), k95);
  State before = Snapshot();

  int exit = RunConfirmed();

  if (n <= 30) {
    EXPECT_EQ(exit, 4);
    ExpectMessages({kConfirm, kRemoved});
    EXPECT_STATE(Without(before, Removal{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")},
                                         {LayoutKey(Id(k95)), EntryKey("QIV98")},
                                         {k95}}),
                 Snapshot());
  } else {
    // Not in the list: its key is found by the walk and deleted, but the
    // layout stays loaded and holds its module, so the removal fails.
    EXPECT_EQ(exit, 3);
    ExpectMessages({kConfirm, kFailed});
    EXPECT_STATE(Without(before, Removal{{}, {LayoutKey(Id(k95))}, {}}), Snapshot());
    EXPECT_EQ(sim::CountOf("UnloadKeyboardLayout"), 0);
  }
  ExpectLimits();
  ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Loaded, LayoutCount, ::testing::Values(3, 29, 30, 31, 40));

// ---- Subkey names in the walk ------------------------------------------------------

class KeyNames : public RemovalTest, public ::testing::WithParamInterface<size_t> {};

// A subkey whose name does not fit the 100-character limit ends the walk.
TEST_P(KeyNames, LongNameEndsTheWalk) {
  size_t length = GetParam();
  AddEntry("QIV98", "Tavrin");
  sim::RegisterLayout(std::string(length, 'K'), "PHON.IME", "long");
  sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
  State before = Snapshot();
  int exit = RunConfirmed();
  if (length < 100) {
    EXPECT_EQ(exit, 4);
    ExpectMessages({kConfirm, kRemoved});
    EXPECT_STATE(Without(before, Removal{{}, {LayoutKey(Id(k95)), EntryKey("QIV98")}, {}}), Snapshot());
  } else {
    EXPECT_EQ(exit, 2);
    ExpectMessages({kConfirm, kNotPresent});
    EXPECT_STATE(before, Snapshot());
    EXPECT_EQ(sim::CountOf("RegEnumKeyExA"), 1);
  }
  ExpectLimits();
}

INSTANTIATE_TEST_SUITE_P(Lengths, KeyNames, ::testing::Values(98, 99, 100, 101, 255));

}  // namespace
}  // namespace removal_test
