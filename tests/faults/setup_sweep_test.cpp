// Every platform call of a whole installation made to fail, once and for
// good: each run must end in one of the setup program's defined ends with
// that end's messages, leave nothing open, write nothing after a stop, and
// report completion only when every mandatory file was written whole.
#include <gtest/gtest.h>

#include <iostream>
#include <regex>

#include "install_fixture.h"
#include "sweep_support.h"

namespace {

const char kConfirm[] = "按「確定」進行Tavrin安裝";
const char kQuestion[] = "Tavrin輸入法先前已安裝過，\n是否重新安裝?";
const char kInUse[] = "可能有其他應用程式正在使用Tavrin輸入法，\n請先退出使用狀態再進行安裝";

// One letter a message: Confirmation, Question, in Use, Retry prompt,
// Failure, Done; '?' for anything else.
char Kind(const sim::Box &b) {
  if (b.caption == "Tavrin" && b.text == kConfirm && b.type == MB_OKCANCEL) return 'C';
  if (b.caption == "Tavrin" && b.text == kQuestion && b.type == MB_OKCANCEL) return 'Q';
  if (b.caption == "Tavrin" && b.text == kInUse && b.type == MB_OK) return 'U';
  std::string retry = kRetryText;
  if (b.caption == "檔案建立失敗" && b.type == MB_RETRYCANCEL && b.text.size() > retry.size() &&
      b.text.compare(b.text.size() - retry.size(), retry.size(), retry) == 0)
    return 'R';
  if (b.caption == "安裝失敗" && b.text == "Tavrin輸入法安裝失敗" && b.type == (MB_OK | MB_ICONERROR)) return 'F';
  if (b.caption == "恭喜您" && b.text == kDoneText && b.type == (MB_OK | MB_ICONINFORMATION)) return 'D';
  return '?';
}

std::string Sequence() {
  std::string s;
  for (const sim::Box &b : sim::M().boxes) s += Kind(b);
  return s;
}

// Index in the call log of the n-th MessageBoxA call that showed a box.
long CallIndexOfBox(size_t n) {
  size_t shown = 0;
  for (size_t i = 0; i < sim::M().calls.size(); ++i) {
    const sim::CallRecord &c = sim::M().calls[i];
    if (c.name == "MessageBoxA" && !c.failed && shown++ == n) return (long)i;
  }
  return -1;
}

bool IsIgnoredCall(const std::string &name) {
  for (const char *ignored : {"RegCreateKeyA", "RegSetValueExA", "RegCloseKey", "ImmInstallIMEA", "LoadKeyboardLayoutA"})
    if (name == ignored) return true;
  return false;
}

class SetupSweep : public Install {
 protected:
  void Check(const SweepRun &r, bool reinstall) {
    std::string where = "point " + std::to_string(r.point) + (r.onward ? " onward" : " once") + ", first failed " +
                        FailedCall() + ", messages " + Sequence();
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << where;
    std::string seq = Sequence();
    static const std::regex ends("^(C(QU|Q?R*[FD]?)?)?$");
    EXPECT_TRUE(std::regex_match(seq, ends)) << where;
    if (!reinstall) EXPECT_EQ(seq.find('Q'), std::string::npos) << where;

    bool done = seq.find('D') != std::string::npos;
    const auto &calls = sim::M().calls;
    bool lastBoxFailed = false;
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
      if (it->name == "MessageBoxA") {
        lastBoxFailed = it->failed;
        break;
      }
    if (done) EXPECT_EQ(r.exitCode, 1) << where;
    if (r.exitCode == 1) {
      EXPECT_TRUE(done || lastBoxFailed) << where;
      EXPECT_TRUE(PayloadFilesWhole()) << "completion reported without every file whole: " << where;
    }
    // Nothing is written after a stop.
    size_t f = seq.find('F');
    if (f != std::string::npos) {
      long at = CallIndexOfBox(f);
      for (size_t i = (size_t)at; i < calls.size(); ++i)
        EXPECT_NE(calls[i].name, "CreateFileA") << where;
    }
    if (seq.find('U') != std::string::npos) EXPECT_EQ(sim::CountOf("CreateFileA"), 0) << where;
    // Nothing is left open.
    EXPECT_EQ(sim::M().leakedFiles, 0) << where;
    EXPECT_EQ(sim::M().leakedKeys, 0) << where;
    EXPECT_EQ(sim::M().leakedGdi, 0) << where;
    // The user's phrase file is never touched.
    if (reinstall) {
      EXPECT_TRUE(*sim::FileBytes(kPhrase) == UserPhrases()) << where;
      EXPECT_EQ(sim::FindFile(kPhrase)->writeOpens, 0) << where;
    }
    // A failing registry or layout-registration call does not stop the run.
    if (!r.onward) {
      for (const sim::CallRecord &c : calls)
        if (c.failed && IsIgnoredCall(c.name)) EXPECT_EQ(r.exitCode, 1) << where;
    }
  }
};

TEST_F(SetupSweep, FirstInstallation) {
  Sweep sweep;
  sweep.setUp = [] { sim::Reset(); };
  sweep.run = [this] { return Run(); };
  sweep.check = [this](const SweepRun &r) { Check(r, false); };
  long runs = RunSweep(sweep);
  std::cout << "first installation: " << runs << " faulted runs\n";
  RecordProperty("runs", (int)runs);
  EXPECT_GT(runs, 100);
}

TEST_F(SetupSweep, ReinstallOverALoadedCopy) {
  Sweep sweep;
  sweep.setUp = [] {
    sim::Reset();
    OldInstallation(0xE0010404u, "E0010404");
  };
  sweep.run = [this] { return Run(); };
  sweep.check = [this](const SweepRun &r) { Check(r, true); };
  long runs = RunSweep(sweep);
  std::cout << "reinstall: " << runs << " faulted runs\n";
  RecordProperty("runs", (int)runs);
  EXPECT_GT(runs, 100);
}

}  // namespace
