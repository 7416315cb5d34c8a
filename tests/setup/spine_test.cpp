// The setup program's spine on the simulated machine: classes and windows,
// the environment checks, the confirmation, painting, centring.
#include <gtest/gtest.h>

#include "machine_test.h"
#include "setup.h"

namespace {

const char kConfirm[] = "按「確定」進行Tavrin安裝";
const char kCodePageText[] = "This is not Tranditional Chinese Environment.\n The installation will stop.";

class Spine : public ::testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
  int Run(const char *tail = "") { return sim::RunProgram(setup::WinMain, tail); }
  HWND MainWindow() {
    auto w = sim::WindowsOfClass("Qiv98");
    return w.empty() ? nullptr : w[0]->handle;
  }
};

// ---- Environment checks -------------------------------------------------

struct CheckCase {
  const char *name;
  UINT acp;
  DWORD version;
  int versionAnswer;        // 0: no version message expected
  const char *versionText;  // expected text of the version message, if any
  UINT versionType;
  bool reachesConfirmation;
};

const CheckCase kChecks[] = {
    {"Windows95", 950, 0xC0000004u, 0, nullptr, 0, true},
    {"Windows98", 950, 0xC0000A04u, 0, nullptr, 0, true},
    {"WindowsMe", 950, 0xC0005A04u, 0, nullptr, 0, true},
    {"NT4_OK", 950, 0x05650004u, IDOK,
     "你目前的系統是Microsoft Windows NT 4.0 (Build: 1381)\n建議你按「確定」結束安裝，\n並安裝TavrinQivNT4 for Windows NT4.0",
     MB_OKCANCEL, false},
    {"NT4_Cancel", 950, 0x05650004u, IDCANCEL,
     "你目前的系統是Microsoft Windows NT 4.0 (Build: 1381)\n建議你按「確定」結束安裝，\n並安裝TavrinQivNT4 for Windows NT4.0",
     MB_OKCANCEL, true},
    {"Windows2000", 950, 0x08930005u, IDOK,
     "你目前的系統是 Microsoft Windows 2000 (Build: 2195)\n建議你按「確定」結束安裝，\n並安裝TavrinQiv2000 for Windows 2000",
     MB_OKCANCEL, false},
    {"WindowsXP_Cancel", 950, 0x0A280105u, IDCANCEL,
     "你目前的系統是Microsoft Windows XP (Build: 2600)\n建議你按「確定」結束安裝，\n並安裝TavrinQiv2000 for Windows 2000",
     MB_OKCANCEL, true},
    {"Server2003", 950, 0x0ECE0205u, IDOK,
     "你目前的系統是Microsoft Windows NT 5.2 (Build: 3790)\n建議你按「確定」結束安裝，\n並安裝TavrinQivNT4 for Windows NT4.0",
     MB_OKCANCEL, false},
    {"LaterNT", 950, 0x23F00206u, IDCANCEL,
     "你目前的系統是Microsoft Windows NT 6.2 (Build: 9200)\n建議你按「確定」結束安裝，\n並安裝TavrinQivNT4 for Windows NT4.0",
     MB_OKCANCEL, true},
    {"Win32s", 950, 0x80000A03u, IDOK,
     "你目前的系統是 Microsoft Windows 3.1，\n無法安裝這個版本的Tavrin，請按「確定」結束安裝，\n並安裝Tavrin輸入法 for Windows 3.1 的版本 。",
     MB_OK, false},
};

class Checks : public Spine, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Checks, EndAndMessages) {
  const CheckCase &c = GetParam();
  sim::M().acp = c.acp;
  sim::M().version = c.version;
  if (c.versionAnswer) Answer({c.versionAnswer});
  if (c.reachesConfirmation) Answer({IDCANCEL});
  size_t filesBefore = sim::M().files.size();

  EXPECT_EQ(Run(), 0);

  const auto &boxes = sim::M().boxes;
  size_t expected = (c.versionAnswer ? 1 : 0) + (c.reachesConfirmation ? 1 : 0);
  ASSERT_EQ(boxes.size(), expected);
  size_t i = 0;
  if (c.versionAnswer) {
    EXPECT_TEXT(boxes[0].text, c.versionText);
    EXPECT_TEXT(boxes[0].caption, "版本錯誤");
    EXPECT_EQ(boxes[0].type, c.versionType);
    EXPECT_EQ(boxes[0].beeps, std::vector<UINT>{0xFFFFFFFFu});
    EXPECT_EQ(boxes[0].owner, MainWindow());
    i = 1;
  }
  if (c.reachesConfirmation) {
    EXPECT_TEXT(boxes[i].text, kConfirm);
    EXPECT_TEXT(boxes[i].caption, "Tavrin");
    EXPECT_EQ(boxes[i].type, MB_OKCANCEL);
    EXPECT_TRUE(boxes[i].beeps.empty());
  }
  EXPECT_EQ(sim::M().files.size(), filesBefore);
  EXPECT_EQ(sim::CountOf("CreateFileA"), 0);
  EXPECT_FALSE(boxes.back().unexpected);
}

INSTANTIATE_TEST_SUITE_P(Versions, Checks, ::testing::ValuesIn(kChecks),
                         [](const auto &info) { return std::string(info.param.name); });

class CodePages : public Spine, public ::testing::WithParamInterface<UINT> {};

TEST_P(CodePages, OtherThan950StopsBeforeTheVersionIsRead) {
  sim::M().acp = GetParam();
  sim::M().version = 0x05650004u;  // an NT version would have its own message
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(sim::M().boxes.size(), 1u);
  const sim::Box &b = sim::M().boxes[0];
  EXPECT_EQ(b.text, kCodePageText);
  EXPECT_EQ(b.caption, "Installation Fail");
  EXPECT_EQ(b.type, MB_OK);
  EXPECT_EQ(b.owner, MainWindow());
  EXPECT_EQ(b.beeps, std::vector<UINT>{0xFFFFFFFFu});
  EXPECT_EQ(sim::CountOf("GetVersion"), 0);
  EXPECT_EQ(sim::CountOf("GetWindowsDirectoryA"), 0);
}

INSTANTIATE_TEST_SUITE_P(Ansi, CodePages, ::testing::Values(936u, 1252u, 932u, 0u));

// ---- Confirmation, command tail, start-up failures -----------------------

TEST_F(Spine, CancelAtConfirmationEndsWithNothingMore) {
  Answer({IDCANCEL});
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(sim::M().boxes.size(), 1u);
  EXPECT_TEXT(sim::M().boxes[0].text, kConfirm);
  EXPECT_EQ(sim::CountOf("CreateFileA"), 0);
  EXPECT_EQ(sim::CountOf("GetKeyboardLayoutList"), 0);
  EXPECT_EQ(sim::WindowsOfClass("MsgWnd").size(), 0u);
  EXPECT_TRUE(sim::M().answers.empty());
}

TEST_F(Spine, ClosingTheConfirmationCountsAsCancel) {
  Answer({0});  // the box could not be shown
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(sim::CountOf("CreateFileA"), 0);
}

TEST_F(Spine, CommandTailChangesNothing) {
  auto record = [&](const char *tail) {
    sim::Reset();
    sim::M().version = 0x05650004u;
    Answer({IDCANCEL, IDCANCEL});
    int rc = Run(tail);
    std::vector<std::string> calls;
    for (const auto &c : sim::M().calls) calls.push_back(c.name + " " + c.args);
    return std::make_pair(rc, calls);
  };
  auto plain = record("");
  EXPECT_EQ(record("/S /D=C:\\X"), plain);
  EXPECT_EQ(record("\"quoted\" -uninstall 12345678901234567890"), plain);
}

TEST_F(Spine, ClassRegistrationFailureEndsSilently) {
  for (int nth : {1, 2}) {
    sim::Reset();
    sim::M().plan.function = "RegisterClassA";
    sim::M().plan.nth = nth;
    EXPECT_EQ(Run(), 0) << nth;
    EXPECT_TRUE(sim::M().boxes.empty()) << nth;
    EXPECT_EQ(sim::CountOf("CreateWindowExA"), 0) << nth;
    EXPECT_EQ(sim::CountOf("RegisterClassA"), nth) << "the progress class is not tried after the main one failed";
  }
}

TEST_F(Spine, MainWindowFailureEndsSilently) {
  sim::M().plan.function = "CreateWindowExA";
  sim::M().plan.nth = 1;
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(sim::M().boxes.empty());
  EXPECT_EQ(sim::CountOf("GetACP"), 0);
}

// ---- Classes and windows --------------------------------------------------

TEST_F(Spine, WindowClasses) {
  ASSERT_TRUE(setup::RegisterWindowClasses(sim::Instance()));
  const sim::WindowClass *main = sim::FindClass("Qiv98");
  const sim::WindowClass *progress = sim::FindClass("MsgWnd");
  ASSERT_TRUE(main && progress);
  EXPECT_EQ(main->style, (UINT)(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(progress->style, (UINT)(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(main->proc, &setup::MainWindowProc);
  EXPECT_EQ(progress->proc, &setup::ProgressWindowProc);
  EXPECT_EQ(main->classExtra + main->windowExtra + progress->classExtra + progress->windowExtra, 0);
  EXPECT_EQ(sim::ResourceId(main->icon), 102);
  EXPECT_EQ(progress->icon, nullptr);
  EXPECT_EQ(sim::ResourceId((HICON)main->cursor), 32512);      // arrow
  EXPECT_EQ(sim::ResourceId((HICON)progress->cursor), 32514);  // hourglass
  COLORREF blue = 0;
  EXPECT_TRUE(sim::IsSolidBrush(main->background, &blue));
  EXPECT_EQ(blue, RGB(0, 0, 255));
  EXPECT_EQ(sim::SystemColorIndex(progress->background), COLOR_WINDOW);
  EXPECT_FALSE(main->hasMenu || progress->hasMenu);
}

TEST_F(Spine, MainAndProgressWindows) {
  Answer({IDOK});
  // Stop at the first file so the progress window stays on screen.
  sim::M().windowsDir = "C:\\NOWHERE";
  Answer({IDCANCEL, IDOK});
  EXPECT_EQ(Run(), 0);
  auto mains = sim::WindowsOfClass("Qiv98");
  auto progress = sim::WindowsOfClass("MsgWnd");
  ASSERT_EQ(mains.size(), 1u);
  ASSERT_EQ(progress.size(), 1u);
  const sim::Window &m = *mains[0], &p = *progress[0];
  EXPECT_TEXT(m.caption, "Tavrin for Windows 95/98/ME 安裝程式 V5.7");
  EXPECT_EQ(m.style, (DWORD)WS_OVERLAPPEDWINDOW);
  EXPECT_EQ(m.exStyle, 0u);
  EXPECT_EQ(m.owner, nullptr);
  EXPECT_EQ(m.rect.right - m.rect.left, sim::M().defaultRect.right - sim::M().defaultRect.left);
  EXPECT_EQ(p.caption, "Tavrin");
  EXPECT_EQ(p.style, (DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(p.exStyle, 0u);
  EXPECT_EQ(p.owner, m.handle);
  EXPECT_EQ(p.rect.right - p.rect.left, 250);
  EXPECT_EQ(p.rect.bottom - p.rect.top, 250);
  EXPECT_EQ(p.rect.left, m.rect.left + ((m.rect.right - m.rect.left) - 250) / 2);
  EXPECT_EQ(p.rect.top, m.rect.top + ((m.rect.bottom - m.rect.top) - 250) / 2);
  // Both were on screen, painted, while the prompt was open.
  ASSERT_GE(sim::M().boxes.size(), 2u);
  const sim::Box &prompt = sim::M().boxes[1];
  EXPECT_EQ(prompt.visible.size(), 2u);
  // The progress window says the installation is running.
  bool progressText = false;
  for (const sim::Paint &paint : sim::M().paints)
    if (paint.window == p.handle)
      for (const sim::TextDraw &t : paint.texts) {
        EXPECT_TEXT(t.text, "安裝中，請稍候...");
        EXPECT_EQ(t.x, 10);
        EXPECT_EQ(t.y, 10);
        EXPECT_TRUE(t.font.stock);
        progressText = true;
      }
  EXPECT_TRUE(progressText);
}

// ---- Painting --------------------------------------------------------------

TEST_F(Spine, BannerPaintsWhiteTransparentAndLeavesTheContextAsItWas) {
  Answer({IDCANCEL});
  ASSERT_TRUE(setup::RegisterWindowClasses(sim::Instance()));
  HWND main = setup::CreateMainWindow(sim::Instance());
  ASSERT_TRUE(main);
  ShowWindow(main, SW_SHOWNORMAL);
  UpdateWindow(main);
  for (int i = 0; i < 5; ++i) {
    sim::Invalidate(main);
    sim::DispatchPaints();
  }
  ASSERT_EQ(sim::M().paints.size(), 6u);
  for (const sim::Paint &p : sim::M().paints) {
    EXPECT_EQ(p.window, main);
    EXPECT_TRUE(p.ended);
    EXPECT_TRUE(p.restored);
    EXPECT_FALSE(p.deletedSelected);
    EXPECT_EQ(p.fontsCreated, 1);
    EXPECT_EQ(p.fontsDeleted, 1);
    ASSERT_EQ(p.texts.size(), 1u);
    const sim::TextDraw &t = p.texts[0];
    EXPECT_EQ(t.text, "Qiv98 V5.7 Setup");
    EXPECT_EQ(t.x, 10);
    EXPECT_EQ(t.y, 10);
    EXPECT_EQ(t.color, 0x00FFFFFFu);
    EXPECT_EQ(t.bkMode, TRANSPARENT);
    EXPECT_FALSE(t.font.stock);
    EXPECT_EQ(t.font.height, 60);
    EXPECT_EQ(t.font.width, 0);
    EXPECT_EQ(t.font.escapement, 0);
    EXPECT_EQ(t.font.orientation, 0);
    EXPECT_EQ(t.font.weight, 700);
    EXPECT_NE(t.font.italic, 0u);
    EXPECT_EQ(t.font.underline, 0u);
    EXPECT_EQ(t.font.strikeOut, 0u);
    EXPECT_EQ(t.font.charSet, 0u);
    EXPECT_EQ(t.font.pitchAndFamily, 0x12u);
    EXPECT_EQ(t.font.face, "");
  }
  EXPECT_TRUE(sim::M().fonts.empty());
}

TEST_F(Spine, BannerSurvivesEveryFailingPaintCall) {
  // Each paint call failing in turn: no font outlives its paint, none is
  // deleted while selected, the context ends as it began.
  for (const char *fn : {"BeginPaint", "CreateFontA", "SelectObject", "SetTextColor", "SetBkMode", "TextOutA"}) {
    for (int nth : {1, 2}) {
      sim::Reset();
      ASSERT_TRUE(setup::RegisterWindowClasses(sim::Instance()));
      HWND main = setup::CreateMainWindow(sim::Instance());
      ShowWindow(main, SW_SHOWNORMAL);
      sim::M().plan.function = fn;
      sim::M().plan.nth = nth;
      UpdateWindow(main);
      for (const sim::Paint &p : sim::M().paints) {
        EXPECT_TRUE(p.ended) << fn << nth;
        EXPECT_FALSE(p.deletedSelected) << fn << nth;
      }
      EXPECT_TRUE(sim::M().fonts.empty()) << fn << nth;
    }
  }
}

// ---- Centring ----------------------------------------------------------------

struct CenterCase {
  const char *name;
  RECT owner;
  int width, height;  // of the window to centre
  int screenWidth, screenHeight;
  LONG x, y;          // where it must land
};

const CenterCase kCenter[] = {
    {"Centred", {100, 50, 740, 530}, 250, 250, 800, 600, 295, 165},
    {"RightEdgeClipped", {500, 100, 1100, 500}, 250, 250, 800, 600, 550, 175},
    {"BottomEdgeClipped", {100, 400, 500, 1000}, 250, 250, 800, 600, 175, 350},
    {"LeftOffScreen", {-400, 100, 0, 500}, 250, 250, 800, 600, 0, 175},
    {"TopOffScreen", {100, -300, 500, 0}, 250, 250, 800, 600, 175, 0},
    {"OwnerSmallerOddTruncatesTowardZero", {101, 101, 202, 202}, 250, 250, 800, 600, 101 - 74, 101 - 74},
    {"OddDifference", {0, 0, 641, 481}, 250, 250, 1024, 768, 195, 115},
    {"WiderThanScreen", {500, 0, 800, 300}, 900, 250, 800, 600, -100, 25},
};

class Center : public Spine, public ::testing::WithParamInterface<CenterCase> {};

TEST_P(Center, Lands) {
  const CenterCase &c = GetParam();
  sim::M().screenWidth = c.screenWidth;
  sim::M().screenHeight = c.screenHeight;
  ASSERT_TRUE(setup::RegisterWindowClasses(sim::Instance()));
  HWND owner = CreateWindowExA(0, "Qiv98", "", WS_OVERLAPPEDWINDOW, c.owner.left, c.owner.top,
                               c.owner.right - c.owner.left, c.owner.bottom - c.owner.top, nullptr, nullptr,
                               sim::Instance(), nullptr);
  HWND window = CreateWindowExA(0, "MsgWnd", "", WS_POPUP, 7, 9, c.width, c.height, owner, nullptr,
                                sim::Instance(), nullptr);
  setup::CenterOverOwner(window, owner);
  const sim::Window *w = sim::FindWindow(window);
  EXPECT_EQ(w->rect.left, c.x);
  EXPECT_EQ(w->rect.top, c.y);
  EXPECT_EQ(w->rect.right - w->rect.left, c.width);
  EXPECT_EQ(w->rect.bottom - w->rect.top, c.height);
  ASSERT_EQ(sim::CountOf("SetWindowPos"), 1);
  EXPECT_NE(sim::CallsOf("SetWindowPos")[0].args.find("flags=5"), std::string::npos);  // no size, no z-order
  EXPECT_EQ(sim::M().dcsOut, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Center, ::testing::ValuesIn(kCenter),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Spine, CenteringWithoutRectanglesLeavesTheWindow) {
  ASSERT_TRUE(setup::RegisterWindowClasses(sim::Instance()));
  HWND owner = setup::CreateMainWindow(sim::Instance());
  HWND window = CreateWindowExA(0, "MsgWnd", "", WS_POPUP, 7, 9, 250, 250, owner, nullptr, sim::Instance(), nullptr);
  sim::M().plan.function = "GetWindowRect";
  sim::M().plan.nth = 2;
  setup::CenterOverOwner(window, owner);
  EXPECT_EQ(sim::FindWindow(window)->rect.left, 7);
  EXPECT_EQ(sim::CountOf("SetWindowPos"), 0);
}

}  // namespace
