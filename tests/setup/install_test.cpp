// Whole installations on the simulated machine: a first installation, a
// reinstall over a loaded copy, detection, deployment with Retry/Cancel, the
// layout and the uninstall entry. Each scenario checks the whole outcome.
#include <gtest/gtest.h>

#include "install_fixture.h"

namespace {

using sim::Bytes;

TEST_F(Install, FirstInstallation) {
  Answer({IDOK, IDOK});
  EXPECT_EQ(Run(), 1);

  ExpectCaptions({"Tavrin", "恭喜您"});
  ASSERT_FALSE(HasFailure());
  const sim::Box &done = sim::M().boxes[1];
  EXPECT_TEXT(done.text, kDoneText);
  EXPECT_EQ(done.type, MB_OK | MB_ICONINFORMATION);
  EXPECT_EQ(done.owner, MainWindow());
  // The progress window had gone before the completion message came.
  auto progress = sim::WindowsOfClass("MsgWnd");
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_LT(progress[0]->destroyedAt, done.at);
  EXPECT_EQ(done.visible, std::vector<HWND>{MainWindow()});

  ExpectPayloadFiles();
  EXPECT_EQ(*sim::FileBytes(kPhrase), Template());

  // Opened in order, each exclusively and created afresh; the phrase file only if new.
  auto opens = sim::CallsOf("CreateFileA");
  ASSERT_EQ(opens.size(), 4u);
  const char *order[] = {kTable, kUnqiv, kModule, kPhrase};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(opens[i].args.find(std::string("\"") + order[i] + "\""), std::string::npos) << opens[i].args;
    EXPECT_NE(opens[i].args.find("access=1073741824 share=0"), std::string::npos) << opens[i].args;
    EXPECT_NE(opens[i].args.find(i < 3 ? "disposition=2" : "disposition=1"), std::string::npos) << opens[i].args;
  }

  auto installs = sim::CallsOf("ImmInstallIMEA");
  ASSERT_EQ(installs.size(), 1u);
  EXPECT_EQ(installs[0].args, std::string("\"") + kModule + "\" \"Tavrin\"");
  EXPECT_EQ(sim::CountOf("LoadKeyboardLayoutA"), 0);
  EXPECT_EQ(sim::CountOf("UnloadKeyboardLayout"), 0);
  const sim::Value *imeFile = sim::FindValue(HKEY_LOCAL_MACHINE, std::string(sim::kLayoutsKey) + "\\E0010404", "IME file");
  ASSERT_TRUE(imeFile);
  EXPECT_EQ(std::string(imeFile->data.begin(), imeFile->data.end()), std::string("QIV95.IME", 10));
  EXPECT_EQ(sim::LoadedLayouts(), std::vector<DWORD>{0xE0010404u});

  ExpectUninstallEntry();
  ExpectCleanEnd();
}

TEST_F(Install, ReinstallOverALoadedCopy) {
  OldInstallation(0x0E020404u, "0E020404");
  Answer({IDOK, IDOK, IDOK});
  EXPECT_EQ(Run(), 1);

  ExpectCaptions({"Tavrin", "Tavrin", "恭喜您"});
  ASSERT_FALSE(HasFailure());
  const sim::Box &question = sim::M().boxes[1];
  EXPECT_TEXT(question.text, "Tavrin輸入法先前已安裝過，\n是否重新安裝?");
  EXPECT_EQ(question.type, MB_OKCANCEL);
  EXPECT_EQ(question.owner, MainWindow());

  auto unloads = sim::CallsOf("UnloadKeyboardLayout");
  ASSERT_EQ(unloads.size(), 1u);
  EXPECT_EQ(unloads[0].args, "0E020404");
  // Read-only program files were replaced without a prompt.
  ExpectPayloadFiles();
  // The user's phrase file was never opened for writing.
  EXPECT_EQ(*sim::FileBytes(kPhrase), UserPhrases());
  EXPECT_EQ(sim::FindFile(kPhrase)->writeOpens, 0);

  auto loads = sim::CallsOf("LoadKeyboardLayoutA");
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].args, "\"0E020404\" flags=1");
  EXPECT_EQ(sim::CountOf("ImmInstallIMEA"), 0);
  // The same layout is loaded again, after the others, holding the new module.
  EXPECT_EQ(sim::LoadedLayouts(), (std::vector<DWORD>{0x04040404u, 0xE0030404u, 0x0E020404u}));
  EXPECT_EQ(sim::FindFile(kModule)->layoutHolds, 1);
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, sim::kLayoutsKey).size(), 2u);

  ExpectUninstallEntry();
  ExpectCleanEnd();
}

TEST_F(Install, CancelAtTheReinstallQuestionWritesNothing) {
  OldInstallation(0xE0010404u, "E0010404");
  auto before = sim::M().files;
  Answer({IDOK, IDCANCEL});
  EXPECT_EQ(Run(), 0);
  ExpectCaptions({"Tavrin", "Tavrin"});
  EXPECT_EQ(sim::CountOf("CreateFileA"), 0);
  EXPECT_EQ(sim::CountOf("UnloadKeyboardLayout"), 0);
  ExpectFilesUnchanged(before);
}

TEST_F(Install, LayoutInUseEndsWithTheInUseMessageAndTouchesNothing) {
  OldInstallation(0xE0010404u, "E0010404");
  sim::FindLayout(sim::MakeHkl(0xE0010404u))->inUse = true;
  auto before = sim::M().files;
  Answer({IDOK, IDOK, IDOK});
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(sim::M().boxes.size(), 3u);
  const sim::Box &inUse = sim::M().boxes[2];
  EXPECT_TEXT(inUse.text, "可能有其他應用程式正在使用Tavrin輸入法，\n請先退出使用狀態再進行安裝");
  EXPECT_TEXT(inUse.caption, "Tavrin");
  EXPECT_EQ(inUse.type, MB_OK);
  EXPECT_EQ(sim::CountOf("CreateFileA"), 0);
  EXPECT_EQ(sim::WindowsOfClass("MsgWnd").size(), 0u);
  ExpectFilesUnchanged(before);
  const sim::Value *name = sim::FindValue(HKEY_LOCAL_MACHINE, std::string(sim::kUninstallKey) + "\\QIV98", "DisplayName");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->data, Bytes({'o', 'l', 'd', 0}));
}

// ---- Detection --------------------------------------------------------------

struct DetectCase {
  const char *name;
  int before;             // non-input-method layouts loaded before the copies
  std::vector<std::string> modules;  // input-method layouts, in list order
  int askedAbout;         // index into modules of the copy asked about, or -1
};

const DetectCase kDetect[] = {
    {"NoInputMethod", 3, {}, -1},
    {"LowerCaseIsNotOurs", 0, {"qiv95.ime"}, -1},
    {"OtherModuleThenOurs", 1, {"PHON.IME", "QIV95.IME"}, 1},
    {"FirstOfTwoCopies", 0, {"QIV95.IME", "QIV95.IME"}, 0},
    {"Thirtieth", 29, {"QIV95.IME"}, 0},
    {"ThirtyFirstIsNotSeen", 30, {"QIV95.IME"}, -1},
    {"SixtiethIsNotSeen", 59, {"QIV95.IME"}, -1},
    {"FirstOfSixty", 0, std::vector<std::string>(60, "QIV95.IME"), 0},
    {"NameFillingTheBuffer", 0, {"QIV95.IME" + std::string(23, 'X')}, -1},
    {"NameOfThirtyOne", 0, {"QIV95.IME" + std::string(22, 'X')}, -1},
    {"LongerNameWithOurPrefix", 0, {"QIV95.IME" + std::string(40, 'X')}, -1},
};

class Detect : public Install, public ::testing::WithParamInterface<DetectCase> {};

TEST_P(Detect, AsksAboutTheFirstCopyOnly) {
  const DetectCase &c = GetParam();
  for (int i = 0; i < c.before; ++i) sim::AddLayout(0x04040000u + (DWORD)i, false, "");
  std::vector<DWORD> handles;
  for (size_t i = 0; i < c.modules.size(); ++i) {
    handles.push_back(0xE0100404u + ((DWORD)i << 16));
    sim::AddLayout(handles.back(), true, c.modules[i]);
  }
  if (c.askedAbout >= 0) {
    char id[16];
    snprintf(id, sizeof id, "%08X", handles[(size_t)c.askedAbout]);
    sim::RegisterLayout(id, "QIV95.IME", "Tavrin");
    Answer({IDOK, IDOK, IDOK});
  } else {
    Answer({IDOK, IDOK});
  }
  EXPECT_EQ(Run(), 1);
  bool asked = sim::M().boxes.size() == 3;
  EXPECT_EQ(asked, c.askedAbout >= 0);
  auto unloads = sim::CallsOf("UnloadKeyboardLayout");
  if (c.askedAbout >= 0) {
    ASSERT_EQ(unloads.size(), 1u);
    char id[16];
    snprintf(id, sizeof id, "%08X", handles[(size_t)c.askedAbout]);
    EXPECT_EQ(unloads[0].args, id);
    EXPECT_EQ(sim::CountOf("ImmInstallIMEA"), 0);
    EXPECT_EQ(sim::CountOf("LoadKeyboardLayoutA"), 1);
    // Only the first copy was taken out; a second stays loaded.
    for (size_t i = 0; i < handles.size(); ++i)
      if ((int)i != c.askedAbout && c.modules[i] == "QIV95.IME")
        EXPECT_TRUE(sim::FindLayout(sim::MakeHkl(handles[i])));
  } else {
    EXPECT_TRUE(unloads.empty());
    EXPECT_EQ(sim::CountOf("ImmInstallIMEA"), 1);
    EXPECT_EQ(sim::CountOf("LoadKeyboardLayoutA"), 0);
  }
  auto lists = sim::CallsOf("GetKeyboardLayoutList");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].args, "30");
  for (const auto &c2 : sim::CallsOf("ImmGetIMEFileNameA")) EXPECT_NE(c2.args.find("size=32"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, Detect, ::testing::ValuesIn(kDetect),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Install, WithoutTheInputMethodManagerItIsAFirstInstallation) {
  sim::M().immPresent = false;
  sim::AddLayout(0xE0010404u, true, "QIV95.IME");
  Answer({IDOK, IDOK});
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(sim::M().boxes.size(), 2u);
  ExpectPayloadFiles();
}

// ---- Deployment and the Retry/Cancel protocol -------------------------------

TEST_F(Install, ReadOnlyTablePromptsWithItsFullPathAndCancelFails) {
  sim::AddFile(kTable, "old table", FILE_ATTRIBUTE_READONLY);
  Answer({IDOK});
  AnswerThen(IDCANCEL, [] { EXPECT_EQ(sim::OpenFileCount(), 0); });
  Answer({IDOK});
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(sim::M().boxes.size(), 3u);
  ExpectRetryPrompt(sim::M().boxes[1], kTable);
  const sim::Box &failed = sim::M().boxes[2];
  EXPECT_TEXT(failed.text, "Tavrin輸入法安裝失敗");
  EXPECT_TEXT(failed.caption, "安裝失敗");
  EXPECT_EQ(failed.type, MB_OK | MB_ICONERROR);
  EXPECT_EQ(failed.owner, MainWindow());
  EXPECT_EQ(*sim::FileBytes(kTable), Bytes({'o', 'l', 'd', ' ', 't', 'a', 'b', 'l', 'e'}));
  EXPECT_FALSE(sim::FileExists(kUnqiv));
  EXPECT_FALSE(sim::FileExists(kModule));
  EXPECT_FALSE(sim::FileExists(kPhrase));
  // The progress window stood until the process ended.
  auto progress = sim::WindowsOfClass("MsgWnd");
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_GT(progress[0]->destroyedAt, failed.at);
  EXPECT_EQ(sim::CountOf("ImmInstallIMEA"), 0);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, std::string(sim::kUninstallKey) + "\\QIV98"));
  ExpectCleanEnd();
}

TEST_F(Install, HeldModulePromptsUntilReleasedThenWritesItWhole) {
  sim::AddFile(kModule, std::string(5000, 'o'));
  sim::Hold(kModule);
  Answer({IDOK});
  auto closedAndOneProgress = [] {
    EXPECT_EQ(sim::OpenFileCount(), 0);
    EXPECT_EQ(sim::VisibleCount("MsgWnd"), 1);
  };
  AnswerThen(IDRETRY, closedAndOneProgress);  // still held
  AnswerThen(IDRETRY, [&] {
    closedAndOneProgress();
    sim::Release(kModule);
  });
  Answer({IDOK});
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(sim::M().boxes.size(), 4u);
  ExpectRetryPrompt(sim::M().boxes[1], kModule);
  ExpectRetryPrompt(sim::M().boxes[2], kModule);
  ExpectPayloadFiles();
  // Written from its first byte, in the decoder's two writes.
  const sim::File *module = sim::FindFile(kModule);
  ASSERT_EQ(module->writes.size(), 2u);
  EXPECT_GT(module->writes[0], 71922u);
  // A new progress window for every Retry, the old one gone first.
  auto progress = sim::WindowsOfClass("MsgWnd");
  ASSERT_EQ(progress.size(), 3u);
  for (size_t i = 0; i + 1 < progress.size(); ++i) EXPECT_LT(progress[i]->destroyedAt, progress[i + 1]->createdAt);
  ExpectCleanEnd();
}

TEST_F(Install, FullDiskPromptsForTheFileThatDidNotFit) {
  sim::M().diskFree = TableImageSize + 100;
  Answer({IDOK});
  AnswerThen(IDRETRY, [] { sim::M().diskFree += 1 << 20; });  // the user made room
  Answer({IDOK});
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(sim::M().boxes.size(), 3u);
  ExpectRetryPrompt(sim::M().boxes[1], kUnqiv);
  ExpectPayloadFiles();
}

TEST_F(Install, CancelAfterAFullDiskLeavesWhatWasWritten) {
  sim::M().diskFree = TableImageSize + 100;
  Answer({IDOK, IDCANCEL, IDOK});
  EXPECT_EQ(Run(), 0);
  ExpectCaptions({"Tavrin", "檔案建立失敗", "安裝失敗"});
  EXPECT_EQ(sim::FileBytes(kTable)->size(), (size_t)TableImageSize);
  EXPECT_EQ(sim::FileBytes(kUnqiv)->size(), 100u);  // as far as it went
  EXPECT_FALSE(sim::FileExists(kModule));
  ExpectCleanEnd();
}

TEST_F(Install, ASecondInstallationReplacesTheEntry) {
  std::string entry = std::string(sim::kUninstallKey) + "\\QIV98";
  sim::SetString(HKEY_LOCAL_MACHINE, entry, "DisplayName", "old name");
  sim::SetString(HKEY_LOCAL_MACHINE, entry, "UninstallString", "D:\\OLD\\unqiv.exe");
  Answer({IDOK, IDOK});
  EXPECT_EQ(Run(), 1);
  ExpectUninstallEntry();
  RestorePayloadImages();
  Answer({IDOK, IDOK});
  EXPECT_EQ(Run(), 1);
  ExpectUninstallEntry();
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, sim::kUninstallKey), std::vector<std::string>{"QIV98"});
}

// ---- Directories that do not fit the program's buffers ---------------------

struct DirectoryCase {
  size_t windowsLength, systemLength;
  const char *failsFor;  // the file named by the prompt, or null when all is written
};

const DirectoryCase kDirectories[] = {
    {98, 20, nullptr}, {99, 20, nullptr}, {100, 20, "\\qivbig5j.tab"}, {101, 20, "\\qivbig5j.tab"},
    {300, 20, "\\qivbig5j.tab"}, {10, 99, nullptr}, {10, 100, "\\qiv95.ime"}, {10, 300, "\\qiv95.ime"},
};

class Directories : public Install, public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(Directories, FitOrFailAsMissing) {
  const DirectoryCase &c = GetParam();
  UseDirectories(LongDirectory(c.windowsLength), LongDirectory(c.systemLength));
  if (c.failsFor) {
    Answer({IDOK, IDCANCEL, IDOK});
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(sim::M().boxes.size(), 3u);
    ExpectRetryPrompt(sim::M().boxes[1], c.failsFor);
    // Nothing was opened in a directory the program could not hold.
    for (const auto &open : sim::CallsOf("CreateFileA"))
      EXPECT_EQ(open.args.find(c.failsFor), std::string::npos) << open.args;
  } else {
    Answer({IDOK, IDOK});
    EXPECT_EQ(Run(), 1);
    ExpectPayloadFiles();
    ExpectUninstallEntry();
  }
  ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Lengths, Directories, ::testing::ValuesIn(kDirectories),
                         [](const auto &info) {
                           return "Windows" + std::to_string(info.param.windowsLength) + "System" +
                                  std::to_string(info.param.systemLength);
                         });

}  // namespace
