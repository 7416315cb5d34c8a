// The two programs on one machine, meeting only through disk and registry:
// the setup program installs, the uninstaller removes, the setup program
// installs again.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "install_fixture.h"
#include "removal_fixture.h"

namespace {

using removal_test::EntryKey;
using removal_test::ExpectMessages;
using removal_test::LayoutKey;
using removal_test::Removal;
using removal_test::Snapshot;
using removal_test::State;
using removal_test::Without;

// The handle the platform gives the first input method it registers.
const DWORD kInstalled = 0xE0010404u;

class RoundTrip : public Install {
 protected:
  // Installs with OK to the confirmation and to the completion message.
  void InstallConfirmed() {
    Answer({IDOK, IDOK});
    ASSERT_EQ(Run(), 1);
    ASSERT_TRUE(PayloadFilesWhole());
  }
  // Removes with OK to the confirmation and to the closing message; returns the exit status.
  int Uninstall() {
    first_ = sim::M().boxes.size();
    Answer({IDOK, IDOK});
    return removal_test::RunUninstaller();
  }
  size_t first_ = 0;  // the first box of the latest uninstaller run

  static Removal Installation(bool loaded) {
    Removal r{{kTable, kModule}, {LayoutKey("E0010404"), EntryKey("QIV98")}, {}};
    if (loaded) r.layouts.push_back(kInstalled);
    return r;
  }
  static void UserEditsPhrases() {
    sim::File *phrases = sim::FindFile(kPhrase);
    ASSERT_TRUE(phrases);
    phrases->bytes = UserPhrases();
  }
};

TEST_F(RoundTrip, InstallRemoveInstallAgain) {
  InstallConfirmed();
  ASSERT_EQ(sim::LoadedLayouts(), std::vector<DWORD>{kInstalled});
  UserEditsPhrases();
  State installed = Snapshot();

  EXPECT_EQ(Uninstall(), 4);
  ExpectMessages({removal_test::kConfirm, removal_test::kRemoved}, first_);
  EXPECT_STATE(Without(installed, Installation(true)), Snapshot());
  EXPECT_TRUE(sim::Subkeys(HKEY_LOCAL_MACHINE, sim::kLayoutsKey).empty());
  EXPECT_TRUE(sim::Subkeys(HKEY_LOCAL_MACHINE, sim::kUninstallKey).empty());
  EXPECT_TRUE(*sim::FileBytes(kUnqiv) == UninstallerBytes());
  EXPECT_TRUE(*sim::FileBytes(kPhrase) == UserPhrases());

  // A first installation again: no question about an installed copy, the
  // module registered anew, the user's phrases kept.
  size_t before = sim::M().boxes.size();
  int registrations = sim::CountOf("ImmInstallIMEA");
  Answer({IDOK, IDOK});
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(sim::M().boxes.size(), before + 2);
  EXPECT_TEXT(sim::M().boxes[before].caption, "Tavrin");
  EXPECT_TEXT(sim::M().boxes[before + 1].caption, "恭喜您");
  EXPECT_EQ(sim::CountOf("ImmInstallIMEA"), registrations + 1);
  EXPECT_EQ(sim::CountOf("LoadKeyboardLayoutA"), 0);
  ExpectPayloadFiles();
  EXPECT_TRUE(*sim::FileBytes(kPhrase) == UserPhrases());
  EXPECT_EQ(sim::LoadedLayouts(), std::vector<DWORD>{kInstalled});
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, sim::kLayoutsKey), std::vector<std::string>{"E0010404"});
  ExpectUninstallEntry();
  ExpectCleanEnd();

  // And it can be removed again.
  State reinstalled = Snapshot();
  EXPECT_EQ(Uninstall(), 4);
  EXPECT_STATE(Without(reinstalled, Installation(true)), Snapshot());
}

// The setup program writes the uninstaller the Win32 build made, byte for byte.
TEST_F(RoundTrip, DeployedUninstallerIsTheBuiltOne) {
  InstallConfirmed();
  std::ifstream in(QIV_UNQIV_EXE, std::ios::binary);
  ASSERT_TRUE(in) << QIV_UNQIV_EXE;
  sim::Bytes built((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(built.size(), 2u);
  EXPECT_TRUE(*sim::FileBytes(kUnqiv) == built);
}

TEST_F(RoundTrip, InUseThenLeftThenRemoved) {
  InstallConfirmed();
  sim::FindLayout(sim::MakeHkl(kInstalled))->inUse = true;
  State installed = Snapshot();

  EXPECT_EQ(Uninstall(), 0);
  ExpectMessages({removal_test::kConfirm, removal_test::kInUse}, first_);
  EXPECT_STATE(installed, Snapshot());

  sim::FindLayout(sim::MakeHkl(kInstalled))->inUse = false;
  EXPECT_EQ(Uninstall(), 4);
  ExpectMessages({removal_test::kConfirm, removal_test::kRemoved}, first_);
  EXPECT_STATE(Without(installed, Installation(true)), Snapshot());
}

// A program holds the module open after the layout is unloaded: the first
// removal fails and keeps the entry, the second completes, and the setup
// program then makes a first installation.
TEST_F(RoundTrip, HeldModuleRemovedInASecondRunThenInstalledAgain) {
  InstallConfirmed();
  sim::Hold(kModule);
  State installed = Snapshot();

  EXPECT_EQ(Uninstall(), 3);
  ExpectMessages({removal_test::kConfirm, removal_test::kFailed}, first_);
  EXPECT_STATE(Without(installed, Removal{{}, {LayoutKey("E0010404")}, {kInstalled}}), Snapshot());
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, EntryKey("QIV98")));

  sim::Release(kModule);
  EXPECT_EQ(Uninstall(), 4);
  ExpectMessages({removal_test::kConfirm, removal_test::kRemoved}, first_);
  EXPECT_STATE(Without(installed, Installation(true)), Snapshot());

  Answer({IDOK, IDOK});
  EXPECT_EQ(Run(), 1);
  ExpectPayloadFiles();
  ExpectUninstallEntry();
  EXPECT_EQ(sim::CountOf("LoadKeyboardLayoutA"), 0);
}

// Installed, then the layout not loaded any more (a new session that has not
// selected it): the walk of the layouts key finds the registration.
TEST_F(RoundTrip, RegisteredButNotLoaded) {
  InstallConfirmed();
  sim::M().layouts.clear();
  sim::FindFile(kModule)->layoutHolds = 0;
  State installed = Snapshot();
  EXPECT_EQ(Uninstall(), 4);
  EXPECT_STATE(Without(installed, Installation(false)), Snapshot());
  EXPECT_GE(sim::CountOf("RegEnumKeyExA"), 1);
}

// Directories as long as the setup program takes them.
class RoundTripDirectories : public RoundTrip, public ::testing::WithParamInterface<std::pair<size_t, size_t>> {};

TEST_P(RoundTripDirectories, RemovesWhatWasInstalled) {
  UseDirectories(LongDirectory(GetParam().first), LongDirectory(GetParam().second));
  Answer({IDOK, IDOK});
  ASSERT_EQ(Run(), 1);
  State installed = Snapshot();
  EXPECT_EQ(Uninstall(), 4);
  Removal r{{WindowsPath("\\qivbig5j.tab"), SystemPath("\\qiv95.ime")},
            {LayoutKey("E0010404"), EntryKey("QIV98")},
            {kInstalled}};
  EXPECT_STATE(Without(installed, r), Snapshot());
  EXPECT_TRUE(sim::FileExists(WindowsPath("\\unqiv.exe")));
  EXPECT_TRUE(sim::FileExists(WindowsPath("\\qiv.box")));
}

INSTANTIATE_TEST_SUITE_P(Lengths, RoundTripDirectories,
                         ::testing::Values(std::make_pair(10, 20), std::make_pair(99, 20), std::make_pair(10, 99),
                                           std::make_pair(99, 99)),
                         [](const auto &info) {
                           return "Windows" + std::to_string(info.param.first) + "System" +
                                  std::to_string(info.param.second);
                         });

}  // namespace
