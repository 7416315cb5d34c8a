// Whole runs of qiv98.exe and unqiv.exe under Wine, one prefix per scenario:
// every box with its exact texts, the exit status, every file under drive_c
// and the registry afterwards. Where Wine is not Windows 98, the scenarios
// leave that part out (README.md says which, and which simulated test covers
// it).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "harness.h"
#include "setup_texts.h"

namespace e2e {
namespace {

// ---- The programs' boxes -----------------------------------------------------

const char kSetup[] = "C:\\t\\qiv98.exe";
const char kDeployedUninstaller[] = "C:\\windows\\unqiv.exe";
const char kTablePath[] = "C:\\windows\\qivbig5j.tab";
const char kModulePath[] = "C:\\windows\\system32\\qiv95.ime";

const char kUninstallTitle[] = "Tavrin輸入法移除程式 V1.1";

const std::vector<std::string> kMain = {"Qiv98"};
const std::vector<std::string> kMainAndProgress = {"Qiv98", "MsgWnd"};

Box Confirm(int answer) { return {"Tavrin", "按「確定」進行Tavrin安裝", "Qiv98", "1 2", false, answer, kMain}; }
// The completion message comes after the progress window has gone.
Box Done() { return {"恭喜您", kDoneText, "Qiv98", "1", true, 1, kMain}; }
// While a file is retried exactly one progress window stands.
Box Retry(const std::string &path, int answer) {
  return {"檔案建立失敗", path + kRetryText, "Qiv98", "2 4", false, answer, kMainAndProgress};
}
// On the failed path the progress window is left standing.
Box Failed() { return {"安裝失敗", "Tavrin輸入法安裝失敗", "Qiv98", "1", true, 1, kMainAndProgress}; }
Box CodePage() {
  return {"Installation Fail", "This is not Tranditional Chinese Environment.\n The installation will stop.", "Qiv98",
          "1", false, 1, kMain};
}
Box Version(const std::string &text, int answer) { return {"版本錯誤", text, "Qiv98", "1 2", false, answer, kMain}; }
// The uninstaller's boxes have no owner and no icon, and it has no window.
Box Removal(const std::string &text, const std::string &buttons, int answer) {
  return {kUninstallTitle, text, "-", buttons, false, answer, {}};
}
Box RemovalConfirm(int answer) { return Removal("確定移除「Tavrin輸入法」嗎？", "1 2", answer); }
Box Removed() { return Removal("「Tavrin輸入法」已從你的系統中移除", "1", 1); }
Box NotPresent() { return Removal("「Tavrin輸入法」不在你的系統中", "1", 1); }
Box RemovalFailed() {
  return Removal("檔案移除失敗，可能有其他應用程式正在使用Tavrin，\n請先結束使用Tavrin的程式，或重新開機，再執行移除程式。", "1", 1);
}

// ---- What a run leaves ---------------------------------------------------------

const std::string &Table() {
  static const std::string bytes = ReadFile(S().table);
  return bytes;
}
const std::string &Uninstaller() {
  static const std::string bytes = ReadFile(S().dist + "/unqiv.exe");
  return bytes;
}
const std::string &Module() {
  static const std::string bytes = ReadFile(S().module);
  return bytes;
}
// The template's source lines (Big5, one per line) joined with CR LF and no
// line end after the last, as the setup program carries them.
const std::string &Phrases() {
  static const std::string bytes = [] {
    std::string source = ReadFile(S().phrases), joined;
    if (!source.empty() && source.back() == '\n') source.pop_back();
    for (char c : source) joined += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return joined;
  }();
  return bytes;
}

const char kTableFile[] = "windows/qivbig5j.tab";
const char kUninstallerFile[] = "windows/unqiv.exe";
const char kModuleFile[] = "windows/system32/qiv95.ime";
const char kPhraseFile[] = "windows/qiv.box";

// Files that must have changed: path -> bytes, or nothing for a removed file.
// Every other file under drive_c must be as it was.
using Files = std::map<std::string, std::optional<std::string>>;
Files Installed() {
  return {{kTableFile, Table()}, {kUninstallerFile, Uninstaller()}, {kModuleFile, Module()}, {kPhraseFile, Phrases()}};
}

enum class Entry { kUnchanged, kWritten, kGone };
// kOneMore: one layout key more, for our module under the text "Tavrin".
// kNotExamined: a run whose effect on the layout keys Wine cannot show
// (README.md).
enum class Layouts { kUnchanged, kOneMore, kNotExamined };

const char kEntryName[] = "QIV98";
std::string EntryKey() { return std::string(kUninstallKey) + "\\" + kEntryName; }

std::string FirstDifference(const std::string &got, const std::string &want) {
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return std::to_string(got.size()) + " bytes, expected " + std::to_string(want.size()) + "; first difference at " +
         std::to_string(i);
}

RegTree Without(RegTree tree, const std::string &key) {
  for (auto it = tree.begin(); it != tree.end();) it = Under(it->first, key) ? tree.erase(it) : std::next(it);
  return tree;
}

void ExpectOutcome(const Machine &m, const Snapshot &before, const Snapshot &after, const Files &files, Entry entry,
                   Layouts layouts) {
  // Files.
  for (const std::string &path : ChangedFiles(before, after))
    if (!files.count(path)) ADD_FAILURE() << "changed although it should not: C:/" << path;
  for (const auto &[path, bytes] : files) {
    std::string full = m.DriveC(path);
    if (!bytes) {
      EXPECT_FALSE(Exists(full)) << "still there: C:/" << path;
      continue;
    }
    if (!Exists(full)) {
      ADD_FAILURE() << "missing: C:/" << path;
      continue;
    }
    std::string got = ReadFile(full);
    EXPECT_TRUE(got == *bytes) << "C:/" << path << ": " << FirstDifference(got, *bytes);
  }

  // The uninstall entry, and nothing else under the Uninstall key.
  EXPECT_EQ(TreeDiff(Without(before.uninstall, EntryKey()), Without(after.uninstall, EntryKey())),
            std::vector<std::string>{});
  auto entryAfter = after.uninstall.find(EntryKey());
  switch (entry) {
    case Entry::kUnchanged:
      EXPECT_EQ(TreeDiff(before.uninstall, after.uninstall), std::vector<std::string>{});
      break;
    case Entry::kGone:
      EXPECT_TRUE(entryAfter == after.uninstall.end()) << "the entry " << kEntryName << " is still there";
      break;
    case Entry::kWritten: {
      std::map<std::string, std::string> want = {{"DisplayName", "Tavrin輸入法 5.7版"},
                                                 {"UninstallString", "C:\\windows\\unqiv.exe "}};
      if (entryAfter == after.uninstall.end())
        ADD_FAILURE() << "no entry " << kEntryName;
      else
        EXPECT_EQ(entryAfter->second, want);
      for (const auto &[key, values] : after.uninstall)
        if (Under(key, EntryKey()) && Lower(key) != Lower(EntryKey())) ADD_FAILURE() << "a key below the entry: " << key;
      break;
    }
  }

  // The layout keys.
  if (layouts == Layouts::kUnchanged) {
    EXPECT_EQ(TreeDiff(before.layouts, after.layouts), std::vector<std::string>{});
  } else if (layouts == Layouts::kOneMore) {
    std::vector<std::string> added;
    // The layouts key itself may be new as well: a fresh prefix has none.
    for (const auto &[key, values] : after.layouts)
      if (!before.layouts.count(key) && Lower(key) != Lower(kLayoutsKey)) added.push_back(key);
    ASSERT_EQ(added.size(), 1u) << "one new layout key expected";
    const std::string &key = added[0];
    EXPECT_EQ(Lower(key.substr(0, key.rfind('\\') + 1)), Lower(std::string(kLayoutsKey) + "\\")) << key;
    const auto &values = after.layouts.at(key);
    auto text = values.find("Layout Text");
    EXPECT_TRUE(text != values.end() && text->second == "Tavrin") << key << ": no layout text \"Tavrin\"";
    // The module's file name; Wine keeps the whole path, Windows 98 the bare
    // name, and value names are compared without regard to letter case.
    std::string module;
    for (const auto &[name, value] : values)
      if (Lower(name) == "ime file") module = value.substr(value.rfind('\\') + 1);
    EXPECT_EQ(Lower(module), "qiv95.ime") << key;
    RegTree rest = after.layouts;
    rest.erase(key);
    if (!before.layouts.count(kLayoutsKey)) rest.erase(kLayoutsKey);
    EXPECT_EQ(TreeDiff(before.layouts, rest), std::vector<std::string>{});
  }

  // Nothing else anywhere in the registry.
  for (const auto &[key, lines] : ChangedSavedKeys(before, after)) {
    bool allowed = (entry != Entry::kUnchanged && Under(key, EntryKey())) ||
                   (layouts != Layouts::kUnchanged && Under(key, kLayoutsKey));
    if (!allowed) ADD_FAILURE() << "registry key changed although it should not: " << key << lines;
  }
}

void ExpectEnd(const Transcript &t, int codepage, long exit, const std::vector<Box> &boxes) {
  EXPECT_EQ(t.acp, (unsigned)codepage) << "the robot ran under another code page";
  EXPECT_FALSE(t.timedOut) << "timed out";
  EXPECT_EQ(t.result, "ok");
  EXPECT_EQ(t.robotStatus, 0);
  EXPECT_EQ(t.exit, exit) << "exit status";
  std::string differences = CompareBoxes(t, boxes);
  if (!differences.empty()) ADD_FAILURE() << "the boxes differ from the expected ones:\n" << differences;
}

// ---- Fixture -----------------------------------------------------------------

class E2E : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
      if (c == '/') c = '_';
    ASSERT_EQ(Table().size(), 72022u);
    ASSERT_EQ(Module().size(), 136704u);
    ASSERT_EQ(Phrases().size(), 1022u);
    ASSERT_GT(Uninstaller().size(), 0u);
    m = std::make_unique<Machine>(name);
    ASSERT_FALSE(HasFailure()) << "the scenario's prefix could not be made; see " << m->Log();
  }
  void TearDown() override {
    if (m && HasFailure()) {
      std::cout << "==== transcripts (UTF-8)\n" << m->Transcripts() << "==== log: " << m->Log() << "\n";
    }
    m.reset();
  }

  Transcript Install(const std::vector<int> &answers, int boxes, int codepage = 950) {
    RunSpec plan;
    plan.program = kSetup;
    plan.codepage = codepage;
    plan.answers = answers;
    plan.boxes = boxes;
    return m->Run(plan);
  }
  Transcript Uninstall(const std::string &program, const std::vector<int> &answers, int boxes) {
    RunSpec plan;
    plan.program = program;
    plan.answers = answers;
    plan.boxes = boxes;
    return m->Run(plan);
  }
  // An earlier, completed installation.
  void InstallEarlier() {
    Transcript t = Install({IDOK_, IDOK_}, 2);
    ExpectEnd(t, 950, 1, {Confirm(1), Done()});
  }

  static constexpr int IDOK_ = 1, IDCANCEL_ = 2, IDRETRY_ = 4;
  std::unique_ptr<Machine> m;
};

// ---- Installation ----------------------------------------------------------------

TEST_F(E2E, FirstInstallationOnWindows98) {
  Snapshot before = m->Snap();
  Transcript t = Install({IDOK_, IDOK_}, 2);
  ExpectEnd(t, 950, 1, {Confirm(IDOK_), Done()});
  ExpectOutcome(*m, before, m->Snap(), Installed(), Entry::kWritten, Layouts::kOneMore);
}

TEST_F(E2E, CancelAtTheConfirmationWritesNothing) {
  Snapshot before = m->Snap();
  Transcript t = Install({IDCANCEL_}, 1);
  ExpectEnd(t, 950, 0, {Confirm(IDCANCEL_)});
  ExpectOutcome(*m, before, m->Snap(), {}, Entry::kUnchanged, Layouts::kUnchanged);
}

// The Windows version as Wine reports it (GetVersion): the 95 family passes
// silently; on the NT family OK ends the run and Cancel goes on.
struct VersionCase {
  const char *name;  // HKCU\Software\Wine "Version"
  const char *text;  // empty: no box
};
const VersionCase kVersions[] = {
    {"win95", ""},
    {"winme", ""},
    {"nt40",
     "你目前的系統是Microsoft Windows NT 4.0 (Build: 1381)\n建議你按「確定」結束安裝，\n並安裝TavrinQivNT4 for Windows NT4.0"},
    {"win2k",
     "你目前的系統是 Microsoft Windows 2000 (Build: 2195)\n建議你按「確定」結束安裝，\n並安裝TavrinQiv2000 for Windows 2000"},
    {"winxp",
     "你目前的系統是Microsoft Windows XP (Build: 2600)\n建議你按「確定」結束安裝，\n並安裝TavrinQiv2000 for Windows 2000"},
};

void PrintTo(const VersionCase &c, std::ostream *out) { *out << c.name; }

class Versions : public E2E, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(Versions, Outcome) {
  const VersionCase &c = GetParam();
  m->SetVersion(c.name);
  Snapshot before = m->Snap();
  if (*c.text) {
    Transcript ok = Install({IDOK_}, 1);
    ExpectEnd(ok, 950, 0, {Version(c.text, IDOK_)});
    Snapshot afterOk = m->Snap();
    ExpectOutcome(*m, before, afterOk, {}, Entry::kUnchanged, Layouts::kUnchanged);
    Transcript cancel = Install({IDCANCEL_, IDOK_, IDOK_}, 3);
    ExpectEnd(cancel, 950, 1, {Version(c.text, IDCANCEL_), Confirm(IDOK_), Done()});
    ExpectOutcome(*m, afterOk, m->Snap(), Installed(), Entry::kWritten, Layouts::kOneMore);
  } else {
    Transcript t = Install({IDOK_, IDOK_}, 2);
    ExpectEnd(t, 950, 1, {Confirm(IDOK_), Done()});
    ExpectOutcome(*m, before, m->Snap(), Installed(), Entry::kWritten, Layouts::kOneMore);
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, Versions, ::testing::ValuesIn(kVersions),
                         [](const auto &info) { return std::string(info.param.name); });

class CodePages : public E2E, public ::testing::WithParamInterface<int> {};

TEST_P(CodePages, EndWithTheEnglishMessageAndWriteNothing) {
  Snapshot before = m->Snap(GetParam());
  Transcript t = Install({IDOK_}, 1, GetParam());
  ExpectEnd(t, GetParam(), 0, {CodePage()});
  ExpectOutcome(*m, before, m->Snap(GetParam()), {}, Entry::kUnchanged, Layouts::kUnchanged);
}

INSTANTIATE_TEST_SUITE_P(Ansi, CodePages, ::testing::Values(1252, 936),
                         [](const auto &info) { return "cp" + std::to_string(info.param); });

// Over an earlier installation whose files differ from ours and whose phrase
// file the user has edited: the three program files are replaced, the
// phrase file is left byte for byte.
TEST_F(E2E, ReinstallKeepsTheEditedPhraseFile) {
  InstallEarlier();
  std::string edited = Phrases() + FromUtf8("\r\nTEST 自己的詞組\r\nA; 我的公司", 950);
  m->Put(kPhraseFile, edited);
  m->Put(kTableFile, "an earlier table");
  m->Put(kUninstallerFile, "an earlier uninstaller");
  m->Put(kModuleFile, "an earlier module");
  Snapshot before = m->Snap();
  Transcript t = Install({IDOK_, IDOK_}, 2);
  ExpectEnd(t, 950, 1, {Confirm(IDOK_), Done()});
  Files files = Installed();
  files.erase(kPhraseFile);
  ExpectOutcome(*m, before, m->Snap(), files, Entry::kWritten, Layouts::kNotExamined);
  EXPECT_TRUE(ReadFile(m->DriveC(kPhraseFile)) == edited) << "the edited phrase file was changed";
}

// ---- The Retry/Cancel protocol --------------------------------------------------

// Another program keeps the module open: the prompt names it, Retry while it
// is still held prompts again, and once it lets go Retry writes the module
// whole.
TEST_F(E2E, HeldModuleIsRetriedUntilReleased) {
  InstallEarlier();
  Snapshot before = m->Snap();
  m->Hold(kModulePath);
  RunSpec plan;
  plan.program = kSetup;
  plan.answers = {IDOK_, IDRETRY_, IDRETRY_, IDOK_};
  plan.boxes = 4;
  plan.holds = {3};
  plan.onHold = [this](int) { m->Release(); };
  Transcript t = m->Run(plan);
  ExpectEnd(t, 950, 1, {Confirm(IDOK_), Retry(kModulePath, IDRETRY_), Retry(kModulePath, IDRETRY_), Done()});
  Files files = Installed();
  files.erase(kPhraseFile);
  ExpectOutcome(*m, before, m->Snap(), files, Entry::kWritten, Layouts::kNotExamined);
}

TEST_F(E2E, HeldModuleCancelledShowsTheFailure) {
  InstallEarlier();
  m->Put(kTableFile, "an earlier table");
  m->Put(kUninstallerFile, "an earlier uninstaller");
  Snapshot before = m->Snap();
  m->Hold(kModulePath);
  Transcript t = Install({IDOK_, IDCANCEL_, IDOK_}, 3);
  m->Release();
  ExpectEnd(t, 950, 0, {Confirm(IDOK_), Retry(kModulePath, IDCANCEL_), Failed()});
  // The files before the module are written and stay; nothing is registered.
  ExpectOutcome(*m, before, m->Snap(), {{kTableFile, Table()}, {kUninstallerFile, Uninstaller()}}, Entry::kUnchanged,
                Layouts::kUnchanged);
}

// A read-only table from an earlier installation is not made writable: the
// prompt names it, and Cancel fails before anything is written.
TEST_F(E2E, ReadOnlyTablePromptsAndCancelFails) {
  ASSERT_NE(WineUser(), "root") << "as root Wine writes over read-only files";
  InstallEarlier();
  m->SetReadOnly(kTablePath);
  Snapshot before = m->Snap();
  Transcript t = Install({IDOK_, IDCANCEL_, IDOK_}, 3);
  ExpectEnd(t, 950, 0, {Confirm(IDOK_), Retry(kTablePath, IDCANCEL_), Failed()});
  ExpectOutcome(*m, before, m->Snap(), {}, Entry::kUnchanged, Layouts::kUnchanged);
}

// Read-only copies of the uninstaller and the module are made writable and
// replaced without a prompt.
TEST_F(E2E, ReadOnlyProgramFilesAreReplacedSilently) {
  ASSERT_NE(WineUser(), "root") << "as root Wine writes over read-only files";
  InstallEarlier();
  m->Put(kUninstallerFile, "an earlier uninstaller");
  m->Put(kModuleFile, "an earlier module");
  m->SetReadOnly(kDeployedUninstaller);
  m->SetReadOnly(kModulePath);
  Snapshot before = m->Snap();
  Transcript t = Install({IDOK_, IDOK_}, 2);
  ExpectEnd(t, 950, 1, {Confirm(IDOK_), Done()});
  Files files = Installed();
  files.erase(kPhraseFile);
  ExpectOutcome(*m, before, m->Snap(), files, Entry::kWritten, Layouts::kNotExamined);
  for (const char *file : {kUninstallerFile, kModuleFile}) {
    struct stat st;
    ASSERT_EQ(stat(m->DriveC(file).c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR) << "C:/" << file << " is still read-only";
  }
}

// ---- The uninstaller -------------------------------------------------------------

// Removes the module, the table and the entry; leaves itself and the phrase
// file. The layout key stays under Wine (README.md).
TEST_F(E2E, UninstallAfterInstallation) {
  InstallEarlier();
  Snapshot before = m->Snap();
  Transcript t = Uninstall(kDeployedUninstaller, {IDOK_, IDOK_}, 2);
  ExpectEnd(t, 950, 4, {RemovalConfirm(IDOK_), Removed()});
  ExpectOutcome(*m, before, m->Snap(), {{kModuleFile, std::nullopt}, {kTableFile, std::nullopt}}, Entry::kGone,
                Layouts::kNotExamined);
  EXPECT_TRUE(ReadFile(m->DriveC(kUninstallerFile)) == Uninstaller());
  EXPECT_TRUE(ReadFile(m->DriveC(kPhraseFile)) == Phrases());
}

// Attributes are reset before each deletion.
TEST_F(E2E, UninstallDeletesReadOnlyFiles) {
  ASSERT_NE(WineUser(), "root") << "as root Wine deletes read-only files";
  InstallEarlier();
  m->SetReadOnly(kModulePath);
  m->SetReadOnly(kTablePath);
  Snapshot before = m->Snap();
  Transcript t = Uninstall(kDeployedUninstaller, {IDOK_, IDOK_}, 2);
  ExpectEnd(t, 950, 4, {RemovalConfirm(IDOK_), Removed()});
  ExpectOutcome(*m, before, m->Snap(), {{kModuleFile, std::nullopt}, {kTableFile, std::nullopt}}, Entry::kGone,
                Layouts::kNotExamined);
}

// A program holds the module: the removal fails and leaves the files and the
// entry; once it has let go, a second run removes them.
TEST_F(E2E, UninstallWithTheModuleHeldFailsThenASecondRunCompletes) {
  InstallEarlier();
  Snapshot before = m->Snap();
  m->Hold(kModulePath);
  Transcript held = Uninstall(kDeployedUninstaller, {IDOK_, IDOK_}, 2);
  m->Release();
  ExpectEnd(held, 950, 3, {RemovalConfirm(IDOK_), RemovalFailed()});
  Snapshot afterHeld = m->Snap();
  ExpectOutcome(*m, before, afterHeld, {}, Entry::kUnchanged, Layouts::kNotExamined);
  Transcript again = Uninstall(kDeployedUninstaller, {IDOK_, IDOK_}, 2);
  ExpectEnd(again, 950, 4, {RemovalConfirm(IDOK_), Removed()});
  ExpectOutcome(*m, afterHeld, m->Snap(), {{kModuleFile, std::nullopt}, {kTableFile, std::nullopt}}, Entry::kGone,
                Layouts::kNotExamined);
}

TEST_F(E2E, UninstallOnACleanPrefixAsksThenSaysNotPresent) {
  Snapshot before = m->Snap();
  Transcript t = Uninstall("C:\\t\\unqiv.exe", {IDOK_, IDOK_}, 2);
  ExpectEnd(t, 950, 2, {RemovalConfirm(IDOK_), NotPresent()});
  ExpectOutcome(*m, before, m->Snap(), {}, Entry::kUnchanged, Layouts::kUnchanged);
}

TEST_F(E2E, UninstallCancelledChangesNothing) {
  InstallEarlier();
  Snapshot before = m->Snap();
  Transcript t = Uninstall(kDeployedUninstaller, {IDCANCEL_}, 1);
  ExpectEnd(t, 950, 1, {RemovalConfirm(IDCANCEL_)});
  ExpectOutcome(*m, before, m->Snap(), {}, Entry::kUnchanged, Layouts::kUnchanged);
}

// ---- What the user sees ------------------------------------------------------

struct Image {
  long width = 0, height = 0;
  std::string rgb;  // 3 bytes a pixel, rows from the top
  struct Pixel {
    int r, g, b;
  };
  Pixel At(long x, long y) const {
    const unsigned char *p = (const unsigned char *)rgb.data() + 3 * (y * width + x);
    return {p[0], p[1], p[2]};
  }
};

bool Inside(const Rect &r, long x, long y) {
  return x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
}

const WindowRecord *Find(const BoxRecord &box, const std::string &windowClass) {
  for (const WindowRecord &w : box.windows)
    if (w.windowClass == windowClass) return &w;
  return nullptr;
}

class Screens : public E2E {
 protected:
  static constexpr long kScreenWidth = 1024, kScreenHeight = 768;

  // The whole screen into DIR/NAME.png, read back as pixels.
  Image Shoot(const std::string &display, const std::string &name) {
    std::string png = m->OutDir() + "/" + name + ".png", raw = m->OutDir() + "/" + name + ".rgb";
    // The box has been open for a moment; let every window finish painting.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Spawn({"import", "-display", display, "-window", "root", png}, m->Log()), 0) << "screenshot " << name;
    EXPECT_EQ(Spawn({"convert", png, "-depth", "8", "rgb:" + raw}, m->Log()), 0) << "pixels of " << name;
    Image image;
    image.rgb = ReadFile(raw);
    std::remove(raw.c_str());
    if (image.rgb.size() == (size_t)(3 * kScreenWidth * kScreenHeight)) {
      image.width = kScreenWidth;
      image.height = kScreenHeight;
    } else {
      ADD_FAILURE() << name << ": " << image.rgb.size() << " bytes of pixels, not a " << kScreenWidth << "x"
                    << kScreenHeight << " screen";
    }
    return image;
  }

  // One window cut out of a screenshot, for people to look at.
  void Crop(const std::string &name, const std::string &from, const Rect &r) {
    Spawn({"convert", m->OutDir() + "/" + from + ".png", "-crop",
           std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.left) + "+" +
               std::to_string(r.top),
           "+repage", m->OutDir() + "/" + name + ".png"},
          m->Log());
  }

  // The main window's client area, where no other window covers it: pure
  // blue, but for the white banner "Qiv98 V5.7 Setup" drawn at (10, 10) in
  // a 60-pixel font, whose letters' edges may blend white into the blue.
  void ExpectBlueWithBanner(const Image &image, const Rect &client, const std::vector<Rect> &covered) {
    const long bannerBottom = client.top + 10 + 60 + 8;  // the text's cell, and room for italic overhang
    long wrong = 0, white = 0, firstWhiteX = 1 << 30, firstWhiteY = 1 << 30;
    std::string examples;
    for (long y = std::max(client.top, 0L); y < std::min(client.top + client.height, image.height); ++y)
      for (long x = std::max(client.left, 0L); x < std::min(client.left + client.width, image.width); ++x) {
        bool hidden = false;
        for (const Rect &r : covered) hidden = hidden || Inside(r, x, y);
        if (hidden) continue;
        Image::Pixel p = image.At(x, y);
        bool blue = p.r == 0 && p.g == 0 && p.b == 255;
        bool ok = blue || (y < bannerBottom && p.b == 255 && p.r == p.g);
        if (p.r == 255 && p.g == 255 && p.b == 255) {
          ++white;
          firstWhiteX = std::min(firstWhiteX, x - client.left);
          firstWhiteY = std::min(firstWhiteY, y - client.top);
        }
        if (!ok && ++wrong <= 5)
          examples += " (" + std::to_string(x - client.left) + "," + std::to_string(y - client.top) + ")=" +
                      std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b);
      }
    EXPECT_EQ(wrong, 0) << "pixels of the client area that are neither blue nor banner, e.g." << examples;
    EXPECT_GT(white, 2000) << "white banner pixels";
    // The banner starts at (10, 10): its first letters' left edge and the
    // tops of its capitals lie just right of and below that point.
    EXPECT_GE(firstWhiteX, 5);
    EXPECT_LE(firstWhiteX, 30);
    EXPECT_GE(firstWhiteY, 10);
    EXPECT_LE(firstWhiteY, 35);
  }
};

// Under a private X server: the main window with its banner while the
// confirmation is open; the progress window centred on it while the module
// is retried.
TEST_F(Screens, MainWindowAndProgressWindow) {
  Xvfb x;
  ASSERT_TRUE(x.Running()) << "no X server";
  InstallEarlier();
  m->SetGraphics("x11");
  Snapshot before = m->Snap();
  m->Hold(kModulePath);
  Image confirmation, retry;
  RunSpec plan;
  plan.program = kSetup;
  plan.display = x.Display();
  plan.answers = {IDOK_, IDRETRY_, IDOK_};
  plan.boxes = 3;
  plan.holds = {1, 2};
  plan.onHold = [&](int box) {
    if (box == 1) confirmation = Shoot(x.Display(), "confirmation");
    if (box == 2) {
      retry = Shoot(x.Display(), "retry");
      m->Release();
    }
  };
  Transcript t = m->Run(plan);
  ExpectEnd(t, 950, 1, {Confirm(IDOK_), Retry(kModulePath, IDRETRY_), Done()});
  Files files = Installed();
  files.erase(kPhraseFile);
  ExpectOutcome(*m, before, m->Snap(), files, Entry::kWritten, Layouts::kNotExamined);
  ASSERT_EQ(t.boxes.size(), 3u);
  ASSERT_EQ(confirmation.width, kScreenWidth);
  ASSERT_EQ(retry.width, kScreenWidth);

  const WindowRecord *main = Find(t.boxes[0], "Qiv98");
  ASSERT_TRUE(main);
  Crop("main-window", "confirmation", main->outer);
  ExpectBlueWithBanner(confirmation, main->client, {t.boxes[0].rect});

  const WindowRecord *mainThen = Find(t.boxes[1], "Qiv98"), *progress = Find(t.boxes[1], "MsgWnd");
  ASSERT_TRUE(mainThen && progress);
  EXPECT_TRUE(mainThen->outer == main->outer) << "the main window moved";
  Crop("progress-window", "retry", progress->outer);
  // 250 x 250, centred on the main window (kept on the screen).
  EXPECT_EQ(progress->outer.width, 250);
  EXPECT_EQ(progress->outer.height, 250);
  long left = main->outer.left + (main->outer.width - progress->outer.width) / 2;
  long top = main->outer.top + (main->outer.height - progress->outer.height) / 2;
  left = left < 0 ? 0 : std::min(left, kScreenWidth - progress->outer.width);
  top = top < 0 ? 0 : std::min(top, kScreenHeight - progress->outer.height);
  EXPECT_EQ(progress->outer.left, left);
  EXPECT_EQ(progress->outer.top, top);
  // It stands over the main window: the blue goes on around it, and its
  // own client area shows no blue but the dark text at (10, 10).
  ExpectBlueWithBanner(retry, main->client, {t.boxes[1].rect, progress->outer});
  long blue = 0, dark = 0, seen = 0;
  const Rect &c = progress->client;
  for (long y = c.top; y < c.top + c.height; ++y)
    for (long x = c.left; x < c.left + c.width; ++x) {
      if (Inside(t.boxes[1].rect, x, y) || x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) continue;
      ++seen;
      Image::Pixel p = retry.At(x, y);
      if (p.r == 0 && p.g == 0 && p.b == 255) ++blue;
      if (y < c.top + 40 && p.r < 100 && p.g < 100 && p.b < 100) ++dark;
    }
  EXPECT_GT(seen, 1000) << "the progress window is hidden behind the prompt";
  EXPECT_EQ(blue, 0) << "blue pixels inside the progress window";
  EXPECT_GT(dark, 50) << "the progress text";
}

}  // namespace
}  // namespace e2e
