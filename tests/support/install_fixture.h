// A simulated Windows 98 machine on which the setup program runs, with the
// expectations every installation scenario shares.
#ifndef QIV_TESTS_INSTALL_FIXTURE_H
#define QIV_TESTS_INSTALL_FIXTURE_H

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "machine_test.h"
#include "payload.h"
#include "setup.h"
#include "setup_texts.h"

inline const char kTable[] = "C:\\WINDOWS\\qivbig5j.tab";
inline const char kUnqiv[] = "C:\\WINDOWS\\unqiv.exe";
inline const char kModule[] = "C:\\WINDOWS\\SYSTEM\\qiv95.ime";
inline const char kPhrase[] = "C:\\WINDOWS\\qiv.box";
// The table image as the program was loaded, taken before any test runs the
// decoder over its storage.
inline const sim::Bytes kPristineTable(TableImage, TableImage + TableImageSize);

// Each run of the setup program starts from the images as loaded, as a
// fresh process would.
inline void RestorePayloadImages() { memcpy(TableImage, kPristineTable.data(), kPristineTable.size()); }

inline sim::Bytes Template() { return sim::Bytes(PhraseTemplate, PhraseTemplate + PhraseTemplateSize); }
inline sim::Bytes UserPhrases() {
  std::string text = sim::Big5("KOK 珵\r\nMY 我的詞\r\n");
  return sim::Bytes(text.begin(), text.end());
}
inline sim::Bytes UninstallerBytes() { return sim::Bytes(UninstallerImage, UninstallerImage + UninstallerImageSize); }

// The module as built, before it was compressed.
sim::Bytes BuiltModule();

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    RestorePayloadImages();
  }

  int Run(const char *tail = "") {
    RestorePayloadImages();
    return sim::RunProgram(setup::WinMain, tail);
  }

  static HWND MainWindow() {
    auto w = sim::WindowsOfClass("Qiv98");
    return w.empty() ? nullptr : w[0]->handle;
  }

  static std::string WindowsPath(const char *name) { return sim::M().windowsDir + name; }
  static std::string SystemPath(const char *name) { return sim::M().systemDir + name; }

  // An earlier installation with its layout loaded as `handle`, registered
  // under `id`; program files read-only, the user's own phrase file; another
  // keyboard layout and another input method loaded before it.
  static void OldInstallation(DWORD handle, const char *id) {
    sim::AddFile(WindowsPath("\\qivbig5j.tab"), "old table");
    sim::AddFile(WindowsPath("\\unqiv.exe"), "old uninstaller", FILE_ATTRIBUTE_READONLY);
    sim::AddFile(SystemPath("\\qiv95.ime"), "old module", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    sim::AddFile(WindowsPath("\\qiv.box"), UserPhrases());
    sim::AddFile(SystemPath("\\PHON.IME"), "another input method");
    sim::AddLayout(0x04040404u, false, "");
    sim::RegisterLayout("E0030404", "PHON.IME", "Phonetic");
    sim::AddLayout(0xE0030404u, true, "PHON.IME");
    sim::RegisterLayout(id, "QIV95.IME", "Tavrin");
    sim::AddLayout(handle, true, "QIV95.IME");
    std::string entry = std::string(sim::kUninstallKey) + "\\QIV98";
    sim::SetString(HKEY_LOCAL_MACHINE, entry, "DisplayName", "old");
    sim::SetString(HKEY_LOCAL_MACHINE, entry, "UninstallString", "old");
  }

  static void ExpectPayloadFiles() {
    auto table = sim::FileBytes(WindowsPath("\\qivbig5j.tab"));
    auto unqiv = sim::FileBytes(WindowsPath("\\unqiv.exe"));
    auto module = sim::FileBytes(SystemPath("\\qiv95.ime"));
    ASSERT_TRUE(table && unqiv && module);
    EXPECT_EQ(table->size(), 72022u);
    EXPECT_TRUE(*table == kPristineTable);
    EXPECT_TRUE(*unqiv == UninstallerBytes());
    EXPECT_EQ(module->size(), 136704u);
    EXPECT_TRUE(*module == BuiltModule());
    EXPECT_EQ((*module)[0], 'M');
    EXPECT_EQ((*module)[1], 'Z');
  }

  // The three mandatory files as the payload set holds them.
  static bool PayloadFilesWhole() {
    auto table = sim::FileBytes(WindowsPath("\\qivbig5j.tab"));
    auto unqiv = sim::FileBytes(WindowsPath("\\unqiv.exe"));
    auto module = sim::FileBytes(SystemPath("\\qiv95.ime"));
    return table && unqiv && module && *table == kPristineTable && *unqiv == UninstallerBytes() &&
           *module == BuiltModule();
  }

  static void ExpectUninstallEntry() {
    std::string entry = std::string(sim::kUninstallKey) + "\\QIV98";
    const sim::Value *name = sim::FindValue(HKEY_LOCAL_MACHINE, entry, "DisplayName");
    const sim::Value *command = sim::FindValue(HKEY_LOCAL_MACHINE, entry, "UninstallString");
    ASSERT_TRUE(name && command);
    EXPECT_EQ(name->type, (DWORD)REG_SZ);
    EXPECT_EQ(command->type, (DWORD)REG_SZ);
    std::string display = "Tavrin輸入法 5.7版";
    EXPECT_EQ(std::string(name->data.begin(), name->data.end()), std::string(display.c_str(), display.size() + 1));
    std::string expected = sim::M().windowsDir + "\\unqiv.exe ";
    EXPECT_EQ(std::string(command->data.begin(), command->data.end()),
              std::string(expected.c_str(), expected.size() + 1));
  }

  static void ExpectRetryPrompt(const sim::Box &box, const std::string &path) {
    EXPECT_TEXT(box.text, path + kRetryText);
    EXPECT_TEXT(box.caption, "檔案建立失敗");
    EXPECT_EQ(box.type, MB_RETRYCANCEL);
    EXPECT_EQ(box.owner, MainWindow());
    EXPECT_TRUE(box.beeps.empty());
  }

  static void ExpectFilesUnchanged(const std::map<std::string, sim::File> &before) {
    ASSERT_EQ(sim::M().files.size(), before.size());
    for (const auto &f : before) {
      const sim::File *now = sim::FindFile(f.first);
      ASSERT_TRUE(now) << f.first;
      EXPECT_TRUE(now->bytes == f.second.bytes) << f.first;
      EXPECT_EQ(now->attributes, f.second.attributes) << f.first;
      EXPECT_EQ(now->writeOpens, f.second.writeOpens) << f.first;
    }
  }

  static void ExpectCleanEnd() {
    EXPECT_EQ(sim::M().leakedFiles, 0);
    EXPECT_EQ(sim::M().leakedKeys, 0);
    EXPECT_EQ(sim::M().leakedGdi, 0);
    EXPECT_TRUE(sim::M().answers.empty()) << "a scripted answer found no box";
    for (const sim::Box &b : sim::M().boxes) EXPECT_FALSE(b.unexpected) << sim::Utf8(b.text);
  }
};

#endif
