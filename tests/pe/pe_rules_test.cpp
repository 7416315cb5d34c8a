// The PE rules on objdump texts of known content, and pecheck's whole
// pipeline on a real executable built to break them.
#include "pe_rules.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string objdump = QIV_OBJDUMP;

struct InstructionCase {
  const char *instruction;
  bool runsOn486;
};

const InstructionCase kInstructions[] = {
    {"push   %ebp", true},
    {"mov    0x8(%ebp),%eax", true},
    {"movl   $0x104,0x4(%esp)", true},
    {"movzbl (%eax),%edx", true},
    {"movsbl %al,%eax", true},
    {"movzwl %ax,%eax", true},
    {"rep stos %eax,%es:(%edi)", true},
    {"repz ret", true},
    {"lock cmpxchg %ecx,(%edx)", true},
    {"movsl  %ds:(%esi),%es:(%edi)", true},
    {"cmpsb  %es:(%edi),%ds:(%esi)", true},
    {"bswap  %eax", true},
    {"xadd   %eax,(%edx)", true},
    {"setne  %al", true},
    {"cltd", true},
    {"cwtl", true},
    {"jecxz  0x401010", true},
    {"call   *0x41d1a8", true},
    {"lret   $0x4", true},
    {"nop", true},
    {"xchg   %ax,%ax", true},
    {"lea    0x0(%esi,%eiz,1),%esi", true},
    {"ud2", true},
    {"fildll 0x8(%esp)", true},
    {"fistpll (%esp)", true},
    {"fnstsw %ax", true},
    {"fldt   0x10(%esp)", true},
    {"fucompp", true},
    {"cmove  %edx,%eax", false},
    {"cmovne %ecx,%eax", false},
    {"cmovl  %edx,%eax", false},
    {"fcmovne %st(1),%st", false},
    {"fcomip %st(1),%st", false},
    {"fucomi %st(1),%st", false},
    {"fisttpl (%esp)", false},
    {"nopw   0x0(%eax,%eax,1)", false},
    {"nopl   0x0(%eax)", false},
    {"cs nopw 0x0(%eax,%eax,1)", false},
    {"cpuid", false},
    {"rdtsc", false},
    {"rdpmc", false},
    {"rdmsr", false},
    {"cmpxchg8b (%esi)", false},
    {"sysenter", false},
    {"movss  %xmm0,(%esp)", false},
    {"movsd  0x8(%esp),%xmm0", false},
    {"paddd  %mm1,%mm0", false},
    {"emms", false},
    {"prefetchnta (%eax)", false},
    {"sfence", false},
    {"endbr32", false},
    {"popcnt %eax,%edx", false},
    {"movbe  (%eax),%edx", false},
    {"(bad)", false},
};

TEST(PeRules, InstructionsOfThe486) {
  for (const InstructionCase &c : kInstructions)
    EXPECT_EQ(pe::Non486Reason(c.instruction).empty(), c.runsOn486) << c.instruction;
}

TEST(PeRules, CodeIsCheckedOnlyUpToTheLinkerLists) {
  const std::string disassembly =
      "  401000:\t55                   \tpush   %ebp\n"
      "  401001:\t0f 44 c2             \tcmove  %edx,%eax\n"
      "  401004:\tc7 44 24 04 04 01 00 \tmovl   $0x104,0x4(%esp)\n"
      "  40100b:\t00 \n"
      "  40100c:\tff                   \t(bad)\n";
  pe::Problems all, beforeLists;
  pe::CheckCode(disassembly, 0, all);
  pe::CheckCode(disassembly, 0x40100c, beforeLists);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_NE(all[0].find("0x401001"), std::string::npos);
  EXPECT_NE(all[1].find("undecodable"), std::string::npos);
  EXPECT_EQ(beforeLists.size(), 1u);
}

const char kImports[] =
    "The Import Tables (interpreted .idata section contents)\n"
    "\n"
    "\tDLL Name: KERNEL32.dll\n"
    "\tvma:  Hint/Ord Member-Name Bound-To\n"
    "\t3050\t  355  ExitProcess\n"
    "\t305e\t  478  GetTickCount\n"
    "\t8000001e\t   30  <none>\n"
    "\n"
    "\tDLL Name: user32.dll\n"
    "\tvma:  Hint/Ord Member-Name Bound-To\n"
    "\t3070\t  650  MessageBoxA\n"
    "\t3080\t  650  RegCloseKey\n"
    "\n"
    "\tDLL Name: SHELL32.dll\n"
    "\tvma:  Hint/Ord Member-Name Bound-To\n"
    "\t3090\t  100  ShellExecuteA\n"
    "\t30a0\t  101  DragFinish\n"
    "\n"
    "PE File Base Relocations (interpreted .reloc section contents)\n";

TEST(PeRules, ImportsAreParsedPerLibrary) {
  std::vector<pe::Import> imports = pe::ParseImports(kImports);
  ASSERT_EQ(imports.size(), 7u);
  EXPECT_EQ(imports[0].dll, "KERNEL32.dll");
  EXPECT_EQ(imports[0].function, "ExitProcess");
  EXPECT_EQ(imports[2].function, "");  // by ordinal
  EXPECT_EQ(imports[3].dll, "user32.dll");
  EXPECT_EQ(imports[6].function, "DragFinish");
}

TEST(PeRules, ImportsOffTheAllowListAreNamed) {
  pe::Problems problems;
  pe::CheckImports(pe::ParseImports(kImports), problems);
  // ExitProcess and MessageBoxA (library name in lower case) are allowed;
  // GetTickCount is not on the list, the ordinal import is not named,
  // RegCloseKey comes from the wrong library, SHELL32 is named once.
  const std::vector<std::string> want = {
      "imports KERNEL32.dll!GetTickCount, which is not on the allow-list",
      "imports a function of KERNEL32.dll by ordinal",
      "imports user32.dll!RegCloseKey, which is not on the allow-list",
      "imports SHELL32.dll, which is not one of KERNEL32, USER32, GDI32, ADVAPI32",
  };
  EXPECT_EQ(problems, want);
}

TEST(PeRules, NoImportTableIsABreach) {
  pe::Problems problems;
  pe::CheckImports(pe::ParseImports("no tables here\n"), problems);
  EXPECT_EQ(problems.size(), 1u);
}

std::string Headers(const std::string &osMajor, const std::string &subsystemMajor, const std::string &subsystem,
                    const std::string &fileAlignment) {
  return "Time/Date\t\tThu Jan  1 00:00:00 1970\n"
         "SectionAlignment\t00001000\n"
         "FileAlignment\t\t" + fileAlignment + "\n"
         "MajorOSystemVersion\t" + osMajor + "\n"
         "MinorOSystemVersion\t0\n"
         "MajorSubsystemVersion\t" + subsystemMajor + "\n"
         "MinorSubsystemVersion\t0\n"
         "Subsystem\t\t" + subsystem + "\n";
}

struct HeaderCase {
  std::string text;
  size_t problems;
};

TEST(PeRules, HeadersSayWindows95Gui) {
  const std::string gui = "00000002\t(Windows GUI)", console = "00000003\t(Windows CUI)";
  const HeaderCase cases[] = {
      {Headers("4", "4", gui, "00000200"), 0},
      {Headers("5", "4", gui, "00000200"), 1},
      {Headers("4", "5", gui, "00000200"), 1},
      {Headers("4", "4", console, "00000200"), 1},
      {Headers("4", "4", gui, "00000100"), 1},
      {Headers("6", "6", console, "00000200"), 3},
      {"", 7},
  };
  for (const HeaderCase &c : cases) {
    pe::Problems problems;
    pe::CheckHeaders(c.text, problems);
    EXPECT_EQ(problems.size(), c.problems) << c.text;
  }
}

// Every rule, on bad_sample.exe as objdump shows it.
TEST(PeRules, BadSampleBreaksEveryRule) {
  pe::Problems problems = pe::CheckExecutable(objdump, QIV_BAD_SAMPLE, nullptr);
  const char *const want[] = {
      "imports SHELL32.dll",
      "imports msvcrt.dll",
      "KERNEL32.dll!Sleep, which is not on the allow-list",
      "MajorSubsystemVersion is 5",
      "MajorOSystemVersion is 5",
      "Subsystem is 00000003",
      "TimeDateStamp is 0x",
      "constructor and destructor lists",
      "not a 486 instruction: cmov",
      "MMX/SSE register",
  };
  for (const char *w : want)
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                            [&](const std::string &p) { return p.find(w) != std::string::npos; }))
        << "no problem mentions \"" << w << "\"";
}

TEST(PeRules, MissingFileIsReported) {
  pe::Problems problems = pe::CheckExecutable(objdump, "/nonexistent/x.exe", nullptr);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("cannot open"), std::string::npos);
}

}  // namespace
