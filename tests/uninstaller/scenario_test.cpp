// Whole runs of the uninstaller on machines set up by hand: each scenario
// names the machine, the answers, and the whole outcome (exit status,
// messages, and exactly what was taken from the files, the registry and the
// loaded layouts; everything else must be as it was).
#include <gtest/gtest.h>

#include <functional>

#include "removal_fixture.h"

namespace removal_test {
namespace {

struct Scenario {
  const char *name;
  std::function<void()> machine;
  std::vector<int> answers;
  int exit;
  std::vector<Msg> messages;
  std::function<Removal()> removed;  // evaluated after the machine is set up
  const char *tail = "";
};

void PrintTo(const Scenario &s, std::ostream *out) { *out << s.name; }

Removal Nothing() { return {}; }
std::vector<Scenario> Scenarios() {
  return {
      // The confirmation.
      {"CancelChangesNothing", [] { Neighbours(); Loaded95(); }, {IDCANCEL}, 1, {kConfirm}, Nothing},
      {"CancelOnAnEmptyMachine", [] {}, {IDCANCEL}, 1, {kConfirm}, Nothing},
      {"NotPresentComesAfterTheConfirmation", [] { Neighbours(); }, {IDOK}, 2, {kConfirm, kNotPresent}, Nothing},
      {"NotPresentOnAnEmptyMachine", [] {}, {IDOK}, 2, {kConfirm, kNotPresent}, Nothing},
      {"UnqivAndPhrasesAloneAreNotAnInstallation",
       [] {
         Files95();
         sim::M().files.erase(sim::Upper(Sys("\\qiv95.ime")));
       },
       {IDOK}, 2, {kConfirm, kNotPresent}, Nothing},

      // A complete installation of the 95 family.
      {"LoadedLayoutIsUnloadedAndEverythingRemoved", [] { Neighbours(); Loaded95(); }, {IDOK}, 4,
       {kConfirm, kRemoved}, [] { return All95(true); }},
      {"RegisteredLayoutIsFoundByTheWalk", [] { Neighbours(); Registered95(); }, {IDOK}, 4, {kConfirm, kRemoved},
       [] { return All95(false); }},
      {"ModuleFileAloneIsFoundByItsPresence", [] { Neighbours(); Files95(); }, {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")}, {EntryKey("QIV98")}, {}}; }},
      {"CommandTailIsIgnored", [] { Loaded95(); }, {IDOK}, 4, {kConfirm, kRemoved}, [] { return All95(true); },
       "/NT QIVNT.IME /keep"},
      {"ReadOnlyHiddenSystemFilesAreDeleted",
       [] {
         Files95(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
         sim::FindFile(Win("\\qivbig5j.tab"))->attributes = FILE_ATTRIBUTE_READONLY;
         sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
         sim::AddLayout(k95, true, "QIV95.IME");
       },
       {IDOK}, 4, {kConfirm, kRemoved}, [] { return All95(true); }},
      {"MissingTableIsPassedOver",
       [] {
         Registered95();
         sim::M().files.erase(sim::Upper(Win("\\qivbig5j.tab")));
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\qiv95.ime")}, {LayoutKey(Id(k95)), EntryKey("QIV98")}, {}}; }},
      {"HeldTableIsPassedOver",
       [] {
         Registered95();
         sim::Hold(Win("\\qivbig5j.tab"));
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\qiv95.ime")}, {LayoutKey(Id(k95)), EntryKey("QIV98")}, {}}; }},
      {"MissingEntryDoesNotMatter",
       [] {
         Registered95();
         EraseKey(HKEY_LOCAL_MACHINE, EntryKey("QIV98"));
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")}, {LayoutKey(Id(k95))}, {}}; }},
      {"OtherFamilysEntryStays",
       [] {
         Loaded95();
         AddEntry("QIV2000", "Tavrin 2000");
       },
       {IDOK}, 4, {kConfirm, kRemoved}, [] { return All95(true); }},

      // Layout in use.
      {"LayoutInUseChangesNothing", [] { Neighbours(); Loaded95(true); }, {IDOK}, 0, {kConfirm, kInUse}, Nothing},

      // A module file that stays, and one that is already gone.
      {"HeldModuleAfterUnloadFails",
       [] {
         Loaded95();
         sim::Hold(Sys("\\qiv95.ime"));
       },
       {IDOK}, 3, {kConfirm, kFailed}, [] { return Removal{{}, {LayoutKey(Id(k95))}, {k95}}; }},
      {"HeldModuleFoundByTheWalkFails",
       [] {
         Registered95();
         sim::Hold(Sys("\\qiv95.ime"));
       },
       {IDOK}, 3, {kConfirm, kFailed}, [] { return Removal{{}, {LayoutKey(Id(k95))}, {}}; }},
      {"HeldModuleFoundByPresenceFailsAndChangesNothing",
       [] {
         Files95();
         sim::Hold(Sys("\\qiv95.ime"));
       },
       {IDOK}, 3, {kConfirm, kFailed}, Nothing},
      {"GoneModuleOfALayoutKeyCountsAsRemoved",
       [] {
         Registered95();
         sim::M().files.erase(sim::Upper(Sys("\\qiv95.ime")));
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Win("\\qivbig5j.tab")}, {LayoutKey(Id(k95)), EntryKey("QIV98")}, {}}; }},
      {"GoneModuleOfALoadedLayoutCountsAsRemoved",
       [] {
         Files95();
         sim::M().files.erase(sim::Upper(Sys("\\qiv95.ime")));
         sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
         sim::AddLayout(k95, true, "QIV95.IME");
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Win("\\qivbig5j.tab")}, {LayoutKey(Id(k95)), EntryKey("QIV98")}, {k95}}; }},

      // The NT family.
      {"NtLoadedWithTwoTablesMissing",
       [] {
         Neighbours();
         RegisteredNT({0, 2});
         sim::AddLayout(kNT, true, "QIVNT.IME");
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] {
         return Removal{{Sys("\\QIVNT.IME"), Sys(kNtTables[0]), Sys(kNtTables[2])},
                        {LayoutKey(Id(kNT)), EntryKey("QIV2000")},
                        {kNT}};
       }},
      {"NtRegisteredWithAllTables", [] { RegisteredNT(); }, {IDOK}, 4, {kConfirm, kRemoved},
       [] {
         Removal r{{Sys("\\QIVNT.IME")}, {LayoutKey(Id(kNT)), EntryKey("QIV2000")}, {}};
         for (const char *t : kNtTables) r.files.push_back(Sys(t));
         return r;
       }},
      {"NtModuleAloneWithoutTables", [] { FilesNT({}); }, {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\QIVNT.IME")}, {EntryKey("QIV2000")}, {}}; }},
      {"NtTablesInTheWindowsDirectoryAreNotTheirs",
       [] {
         FilesNT({1});
         sim::AddFile(Win("\\QIV-UNI.TAB"), "a table in the wrong place");
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\QIVNT.IME"), Sys(kNtTables[1])}, {EntryKey("QIV2000")}, {}}; }},
      {"BothModuleFilesOnlyTheNtFamilyGoes",
       [] {
         Files95();
         FilesNT();
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] {
         Removal r{{Sys("\\QIVNT.IME")}, {EntryKey("QIV2000")}, {}};
         for (const char *t : kNtTables) r.files.push_back(Sys(t));
         return r;
       }},
      {"BothLoadedTheFirstInTheListGoes",
       [] {
         Loaded95();
         RegisteredNT();
         sim::AddLayout(kNT, true, "QIVNT.IME");
       },
       {IDOK}, 4, {kConfirm, kRemoved}, [] { return All95(true); }},
      {"BothRegisteredTheFirstKeyGoes",
       [] {
         RegisteredNT({});
         Registered95();
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\QIVNT.IME")}, {LayoutKey(Id(kNT)), EntryKey("QIV2000")}, {}}; }},

      // Names compared exactly; one layout key per run.
      {"LowerCaseLoadedLayoutIsNotOurs",
       [] {
         Files95();
         sim::RegisterLayout(Id(k95), "qiv95.ime", "Tavrin");
         sim::AddLayout(k95, true, "qiv95.ime");  // it holds the module file
       },
       {IDOK}, 3, {kConfirm, kFailed}, Nothing},
      {"LowerCaseLayoutKeyIsNotOurs",
       [] {
         Files95();
         sim::RegisterLayout(Id(k95), "qiv95.ime", "Tavrin");
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")}, {EntryKey("QIV98")}, {}}; }},
      {"LowerCaseKeyWithoutModuleIsNotPresent",
       [] {
         sim::RegisterLayout(Id(k95), "qiv95.ime", "Tavrin");
         sim::RegisterLayout(Id(kNT), "QivNT.ime", "Tavrin NT");
         AddEntry("QIV98", "Tavrin");
       },
       {IDOK}, 2, {kConfirm, kNotPresent}, Nothing},
      {"OfTwoLayoutKeysOnlyTheFirstInEnumerationOrder",
       [] {
         Neighbours();
         Files95();
         sim::RegisterLayout("E0050404", "QIV95.IME", "Tavrin");  // created first, enumerated first
         sim::RegisterLayout("E0060404", "PHON.IME", "Phonetic");
         sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] { return Removal{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")}, {LayoutKey("E0050404"), EntryKey("QIV98")}, {}}; }},
      {"UnloadedLayoutTakesOnlyItsOwnKey",
       [] {
         Files95();
         sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
         sim::RegisterLayout("E0050404", "QIV95.IME", "Tavrin");
         sim::AddLayout(0xE0050404u, true, "QIV95.IME");
       },
       {IDOK}, 4, {kConfirm, kRemoved},
       [] {
         return Removal{{Sys("\\qiv95.ime"), Win("\\qivbig5j.tab")}, {LayoutKey("E0050404"), EntryKey("QIV98")},
                        {0xE0050404u}};
       }},
      {"OfTwoLoadedCopiesOnlyTheFirstIsUnloaded",
       [] {
         Files95();
         sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
         sim::RegisterLayout("E0050404", "QIV95.IME", "Tavrin");
         sim::AddLayout(0xE0050404u, true, "QIV95.IME");
         sim::AddLayout(k95, true, "QIV95.IME");  // still holds the module: the deletion fails
       },
       {IDOK}, 3, {kConfirm, kFailed}, [] { return Removal{{}, {LayoutKey("E0050404")}, {0xE0050404u}}; }},
  };
}

class Runs : public RemovalTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(Runs, WholeOutcome) {
  const Scenario &s = GetParam();
  s.machine();
  Removal removed = s.removed();
  State before = Snapshot();
  for (int a : s.answers) Answer({a});
  for (size_t i = s.answers.size(); i < s.messages.size(); ++i) Answer({IDOK});  // the closing message

  EXPECT_EQ(RunUninstaller(s.tail), s.exit);

  ExpectMessages(s.messages);
  EXPECT_STATE(Without(before, removed), Snapshot());
  ExpectCleanEnd();
  ExpectLimits();
  if (s.exit == 1) {
    // Nothing at all after the confirmation.
    ASSERT_FALSE(sim::M().calls.empty());
    EXPECT_EQ(sim::M().calls.back().name, "MessageBoxA");
    EXPECT_EQ(sim::CountOf("MessageBoxA"), 1);
  }
  // At most one layout unloaded and one layout key deleted in a run.
  EXPECT_LE(sim::CountOf("UnloadKeyboardLayout"), 1);
  int layoutKeysDeleted = 0;
  for (const auto &c : sim::CallsOf("RegDeleteKeyA"))
    if (c.args != "\"QIV98\"" && c.args != "\"QIV2000\"") ++layoutKeysDeleted;
  EXPECT_LE(layoutKeysDeleted, 1);
}

INSTANTIATE_TEST_SUITE_P(Machines, Runs, ::testing::ValuesIn(Scenarios()),
                         [](const auto &info) { return std::string(info.param.name); });

// A box that cannot be shown answers nothing: the run ends as cancelled.
TEST_F(RemovalTest, ConfirmationThatCannotBeShownChangesNothing) {
  Loaded95();
  State before = Snapshot();
  sim::M().plan.function = "MessageBoxA";
  sim::M().plan.nth = 1;
  EXPECT_EQ(RunUninstaller(), 1);
  EXPECT_TRUE(sim::M().boxes.empty());
  EXPECT_STATE(before, Snapshot());
  EXPECT_EQ(sim::CountOf("GetKeyboardLayoutList"), 0);
}

// ---- Runs one after another on the same machine ---------------------------------

TEST_F(RemovalTest, HeldModuleThenReleasedSecondRunCompletes) {
  Neighbours();
  Loaded95();
  sim::Hold(Sys("\\qiv95.ime"));
  State before = Snapshot();

  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 3);
  ExpectMessages({kConfirm, kFailed});
  EXPECT_STATE(Without(before, Removal{{}, {LayoutKey(Id(k95))}, {k95}}), Snapshot());

  sim::Release(Sys("\\qiv95.ime"));
  size_t first = sim::M().boxes.size();
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 4);
  ExpectMessages({kConfirm, kRemoved}, first);
  EXPECT_STATE(Without(before, All95(true)), Snapshot());
  EXPECT_TRUE(sim::FileExists(Win("\\unqiv.exe")));
  EXPECT_TRUE(sim::FileExists(Win("\\qiv.box")));
  ExpectCleanEnd();
}

TEST_F(RemovalTest, LayoutInUseThenLeftSecondRunCompletes) {
  Loaded95(true);
  State before = Snapshot();
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 0);
  EXPECT_STATE(before, Snapshot());

  sim::FindLayout(sim::MakeHkl(k95))->inUse = false;
  size_t first = sim::M().boxes.size();
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 4);
  ExpectMessages({kConfirm, kRemoved}, first);
  EXPECT_STATE(Without(before, All95(true)), Snapshot());
}

TEST_F(RemovalTest, GoneModuleLeavesNothingForALaterRun) {
  Registered95();
  sim::M().files.erase(sim::Upper(Sys("\\qiv95.ime")));
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 4);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, EntryKey("QIV98")));

  State after = Snapshot();
  size_t first = sim::M().boxes.size();
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 2);
  ExpectMessages({kConfirm, kNotPresent}, first);
  EXPECT_STATE(after, Snapshot());
}

TEST_F(RemovalTest, SecondLayoutKeyGoesInASecondRun) {
  Files95();
  sim::RegisterLayout("E0050404", "QIV95.IME", "Tavrin");
  sim::RegisterLayout(Id(k95), "QIV95.IME", "Tavrin");
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 4);
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, sim::kLayoutsKey), std::vector<std::string>{Id(k95)});

  State after = Snapshot();
  size_t first = sim::M().boxes.size();
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 4);
  ExpectMessages({kConfirm, kRemoved}, first);
  EXPECT_STATE(Without(after, Removal{{}, {LayoutKey(Id(k95))}, {}}), Snapshot());

  first = sim::M().boxes.size();
  Answer({IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 2);
  ExpectMessages({kConfirm, kNotPresent}, first);
}

TEST_F(RemovalTest, BothFamiliesGoInTwoRunsNtFirst) {
  Files95();
  FilesNT();
  Answer({IDOK, IDOK, IDOK, IDOK, IDOK, IDOK});
  EXPECT_EQ(RunUninstaller(), 4);
  EXPECT_FALSE(sim::FileExists(Sys("\\QIVNT.IME")));
  EXPECT_TRUE(sim::FileExists(Sys("\\qiv95.ime")));
  EXPECT_EQ(RunUninstaller(), 4);
  EXPECT_FALSE(sim::FileExists(Sys("\\qiv95.ime")));
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, sim::kUninstallKey), std::vector<std::string>{});
  EXPECT_EQ(RunUninstaller(), 2);
  ExpectMessages({kConfirm, kRemoved, kConfirm, kRemoved, kConfirm, kNotPresent});
  std::set<std::string> left;
  for (const auto &f : sim::M().files) left.insert(f.first);
  EXPECT_EQ(left, (std::set<std::string>{sim::Upper(Win("\\unqiv.exe")), sim::Upper(Win("\\qiv.box"))}));
}

// The layout key is named by the handle written in "%X".
TEST_F(RemovalTest, UnloadedLayoutsKeyIsNamedByItsHandle) {
  Loaded95();
  Answer({IDOK, IDOK});
  RunUninstaller();
  auto formats = sim::CallsOf("wsprintfA");
  ASSERT_EQ(formats.size(), 1u);
  EXPECT_EQ(formats[0].args, "\"%X\"");
  auto deletes = sim::CallsOf("RegDeleteKeyA");
  ASSERT_EQ(deletes.size(), 2u);
  EXPECT_EQ(deletes[0].args, "\"E0010404\"");
  EXPECT_EQ(deletes[1].args, "\"QIV98\"");
  auto unloads = sim::CallsOf("UnloadKeyboardLayout");
  ASSERT_EQ(unloads.size(), 1u);
  EXPECT_EQ(unloads[0].args, "E0010404");
  // The walk of the layouts key does not run once the layout was found.
  EXPECT_EQ(sim::CountOf("RegEnumKeyExA"), 0);
}

}  // namespace
}  // namespace removal_test
