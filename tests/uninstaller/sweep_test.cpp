// Every platform call the uninstaller makes that can fail, failed once and
// failed from there on, over whole runs: whatever fails, the run ends at one
// of its ends with that end's message, takes nothing but what belongs to the
// family it found, never removes the uninstall entry while the module file
// stays, and leaves nothing open.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>

#include "removal_fixture.h"

namespace removal_test {
namespace {

struct SweepCase {
  const char *name;
  std::function<void()> machine;
  int exit;  // without any failure
};
void PrintTo(const SweepCase &c, std::ostream *out) { *out << c.name; }

std::vector<SweepCase> SweepCases() {
  return {
      {"Loaded95", [] { Neighbours(); Loaded95(); }, 4},
      {"Registered95", [] { Neighbours(); Registered95(); }, 4},
      {"LoadedNT",
       [] {
         Neighbours();
         RegisteredNT({0, 3});
         sim::AddLayout(kNT, true, "QIVNT.IME");
       },
       4},
      {"BothFamiliesByTheirFiles", [] { Files95(); FilesNT(); }, 4},
      {"GoneModule",
       [] {
         Registered95();
         sim::M().files.erase(sim::Upper(Sys("\\qiv95.ime")));
       },
       4},
      {"HeldModule",
       [] {
         Loaded95();
         sim::Hold(Sys("\\qiv95.ime"));
       },
       3},
  };
}

Msg ClosingMessage(int exit) {
  switch (exit) {
    case 0: return kInUse;
    case 2: return kNotPresent;
    case 3: return kFailed;
    default: return kRemoved;
  }
}

// What any run may take: the files, entries and layout keys of either
// family, and the loaded layouts of either module.
bool Removable(const std::string &what) {
  std::string w = sim::Upper(what);
  for (const char *f : {"\\QIV95.IME", "\\QIVBIG5J.TAB", "\\QIVNT.IME", "\\QIV-UNI.TAB", "\\QIV-UNI2.TAB",
                        "\\QIV-UNI3.TAB", "\\QIV-UNI4.TAB"})
    if (w.size() > strlen(f) && w.compare(w.size() - strlen(f), std::string::npos, f) == 0) return true;
  for (const std::string &k : {LayoutKey(Id(k95)), LayoutKey(Id(kNT)), EntryKey("QIV98"), EntryKey("QIV2000")}) {
    std::string prefix = "HKLM\\" + sim::Upper(k);
    if (w.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

void CheckRun(const State &before, int exit, const std::string &fault) {
  SCOPED_TRACE(fault);
  State after = Snapshot();
  ASSERT_GE(exit, 0);
  ASSERT_LE(exit, 4);
  const auto &boxes = sim::M().boxes;
  ASSERT_LE(boxes.size(), 2u);
  if (!boxes.empty()) {
    EXPECT_TEXT(boxes[0].text, SpecOf(kConfirm).text);
  }
  if (exit == 1) {
    EXPECT_LE(boxes.size(), 1u);
  }
  // The closing message, unless the platform could not show it.
  if (boxes.size() == 2) {
    EXPECT_TEXT(boxes[1].text, SpecOf(ClosingMessage(exit)).text);
  }
  if (exit != 1 && boxes.size() < 2) {
    EXPECT_TRUE(sim::CallsOf("MessageBoxA").back().failed);
  }
  for (const sim::Box &b : boxes) EXPECT_EQ(b.owner, nullptr);

  if (exit <= 2) {
    EXPECT_STATE(before, after);
  }
  // Only removals, and only of what belongs to the input method.
  for (const auto &f : before.files) {
    if (!after.files.count(f.first)) {
      EXPECT_TRUE(Removable(f.first)) << f.first;
    } else {
      EXPECT_EQ(after.files.at(f.first), f.second) << f.first;
    }
  }
  EXPECT_LE(after.files.size(), before.files.size());
  for (const auto &r : before.registry) {
    if (!after.registry.count(r.first)) {
      EXPECT_TRUE(Removable(r.first)) << r.first;
    } else {
      EXPECT_EQ(after.registry.at(r.first), r.second) << r.first;
    }
  }
  for (const auto &r : after.registry) EXPECT_TRUE(before.registry.count(r.first)) << "added: " << r.first;
  EXPECT_GE(after.layouts.size() + 1, before.layouts.size());

  int layoutKeysGone = 0;
  for (const std::string &id : {Id(k95), Id(kNT)})
    if (before.registry.count("HKLM\\" + sim::Upper(LayoutKey(id))) &&
        !after.registry.count("HKLM\\" + sim::Upper(LayoutKey(id))))
      ++layoutKeysGone;
  EXPECT_LE(layoutKeysGone, 1);

  // Per family present before: the entry goes only with its module file, so
  // that it can always start the removal again. A failed removal keeps every
  // module file and entry; a completed one took one family's module file.
  int modulesGone = 0, modulesBefore = 0;
  for (const auto &family : {std::make_pair("\\qiv95.ime", "QIV98"), std::make_pair("\\QIVNT.IME", "QIV2000")}) {
    if (!before.files.count(sim::Upper(Sys(family.first)))) continue;
    ++modulesBefore;
    bool moduleThere = sim::FileExists(Sys(family.first));
    bool entryThere = sim::KeyExists(HKEY_LOCAL_MACHINE, EntryKey(family.second));
    if (!moduleThere) ++modulesGone;
    if (moduleThere) {
      EXPECT_TRUE(entryThere) << family.second;
    }
    if (exit == 3) {
      EXPECT_TRUE(moduleThere && entryThere) << family.first;
    }
  }
  if (modulesBefore > 0) {
    EXPECT_EQ(modulesGone, exit == 4 ? 1 : 0);
  }
  // Never the uninstaller itself or the user's phrases.
  for (const char *kept : {"\\unqiv.exe", "\\qiv.box"}) {
    EXPECT_EQ(sim::FileExists(Win(kept)), before.files.count(sim::Upper(Win(kept))) == 1) << kept;
  }
  EXPECT_EQ(sim::M().leakedFiles, 0);
  EXPECT_EQ(sim::M().leakedKeys, 0);
}

class Sweep : public RemovalTest, public ::testing::WithParamInterface<SweepCase> {};

TEST_P(Sweep, EveryFailureEndsSoundly) {
  const SweepCase &c = GetParam();
  auto prepare = [&] {
    sim::Reset();
    c.machine();
    sim::M().answerer = [](const sim::Box &) { return IDOK; };
  };
  prepare();
  EXPECT_EQ(RunUninstaller(), c.exit);
  long points = sim::M().faultPoints;
  ASSERT_GT(points, 10);
  long runs = 0;
  for (long k = 1; k <= points; ++k)
    for (bool onward : {false, true}) {
      prepare();
      State before = Snapshot();
      sim::M().plan.failAt = k;
      sim::M().plan.onward = onward;
      int exit = RunUninstaller();
      ++runs;
      std::string failed = "(none)";
      for (const sim::CallRecord &call : sim::M().calls)
        if (call.failed) {
          failed = call.name + " " + call.args;
          break;
        }
      CheckRun(before, exit, "point " + std::to_string(k) + (onward ? " onward, " : " once, ") + failed);
      if (HasFatalFailure()) return;
    }
  std::cout << "removal, " << c.name << ": " << runs << " faulted runs\n";
  RecordProperty("runs", (int)runs);
}

INSTANTIATE_TEST_SUITE_P(Machines, Sweep, ::testing::ValuesIn(SweepCases()),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace removal_test
