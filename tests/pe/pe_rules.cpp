#include "pe_rules.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace pe {
namespace {

// Every function our programs may import, by library. Each one is exported
// by Windows 95 (kernel, user and graphics libraries of 4.00.950, and its
// registry library).
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"KERNEL32.DLL",
     {"GetACP", "GetVersion", "GetWindowsDirectoryA", "GetSystemDirectoryA", "CreateFileA", "WriteFile",
      "CloseHandle", "SetFileAttributesA", "GetFileAttributesA", "DeleteFileA", "lstrcmpA", "lstrlenA",
      "GetModuleHandleA", "GetCommandLineA", "GetStartupInfoA", "ExitProcess", "LoadLibraryA",
      "GetProcAddress", "GetLastError"}},
    {"USER32.DLL",
     {"RegisterClassA", "CreateWindowExA", "ShowWindow", "UpdateWindow", "DestroyWindow", "DefWindowProcA",
      "BeginPaint", "EndPaint", "GetWindowRect", "GetDC", "ReleaseDC", "SetWindowPos", "MessageBoxA",
      "MessageBeep", "LoadIconA", "LoadCursorA", "wsprintfA", "GetKeyboardLayoutList",
      "UnloadKeyboardLayout", "LoadKeyboardLayoutA"}},
    {"GDI32.DLL",
     {"CreateFontA", "SelectObject", "DeleteObject", "SetTextColor", "SetBkMode", "TextOutA",
      "CreateSolidBrush", "GetDeviceCaps"}},
    {"ADVAPI32.DLL",
     {"RegCreateKeyA", "RegCloseKey", "RegSetValueExA", "RegQueryValueExA", "RegEnumKeyExA",
      "RegDeleteKeyA"}},
};

// The instructions of the 486 (integer unit and the x87 of the 486DX), as
// objdump names them in AT&T syntax. Size suffixes (b, w, l, s, t, ll, q)
// are taken off before a name is looked up, except for the names in
// kExactOnly.
const std::set<std::string> kInstructions486 = {
    // 8086 to 386
    "aaa", "aad", "aam", "aas", "adc", "add", "and", "arpl", "bound", "bsf", "bsr", "bt", "btc", "btr", "bts",
    "call", "lcall", "cbtw", "cwtl", "cwtd", "cltd", "clc", "cld", "cli", "clts", "cmc", "cmp", "cmps",
    "daa", "das", "dec", "div", "enter", "hlt", "idiv", "imul", "in", "inc", "ins", "int", "int3", "into",
    "iret", "ja", "jae", "jb", "jbe", "je", "jg", "jge", "jl", "jle", "jne", "jno", "jnp", "jns", "jo", "jp",
    "js", "jcxz", "jecxz", "jmp", "ljmp", "lahf", "lar", "lds", "lea", "leave", "les", "lfs", "lgdt", "lgs",
    "lidt", "lldt", "lmsw", "lods", "loop", "loope", "loopne", "lsl", "lss", "ltr", "mov", "movs", "movsbw",
    "movsbl", "movswl", "movzbw", "movzbl", "movzwl", "mul", "neg", "nop", "not", "or", "out", "outs", "pop",
    "popa", "popf", "push", "pusha", "pushf", "rcl", "rcr", "ret", "lret", "rol", "ror", "sahf", "sal",
    "sar", "sbb", "scas", "seta", "setae", "setb", "setbe", "sete", "setg", "setge", "setl", "setle",
    "setne", "setno", "setnp", "setns", "seto", "setp", "sets", "sgdt", "shl", "shld", "shr", "shrd", "sidt",
    "sldt", "smsw", "stc", "std", "sti", "stos", "str", "sub", "test", "verr", "verw", "xchg", "xlat",
    "xor",
    // new in the 486
    "bswap", "cmpxchg", "xadd", "invd", "wbinvd", "invlpg",
    // raises the invalid-opcode fault on every processor, which is what
    // the compiler means by it
    "ud2",
    // x87
    "f2xm1", "fabs", "fadd", "faddp", "fiadd", "fbld", "fbstp", "fchs", "fclex", "fnclex", "fcom", "fcomp",
    "fcompp", "fcos", "fdecstp", "fdiv", "fdivp", "fidiv", "fdivr", "fdivrp", "fidivr", "ffree", "ficom",
    "ficomp", "fild", "fincstp", "finit", "fninit", "fist", "fistp", "fld", "fld1", "fldcw", "fldenv",
    "fldl2e", "fldl2t", "fldlg2", "fldln2", "fldpi", "fldz", "fmul", "fmulp", "fimul", "fnop", "fpatan",
    "fprem", "fprem1", "fptan", "frndint", "frstor", "fsave", "fnsave", "fscale", "fsin", "fsincos", "fsqrt",
    "fst", "fstp", "fstcw", "fnstcw", "fstenv", "fnstenv", "fstsw", "fnstsw", "fsub", "fsubp", "fisub",
    "fsubr", "fsubrp", "fisubr", "ftst", "fucom", "fucomp", "fucompp", "fwait", "fxam", "fxch", "fxtract",
    "fyl2x", "fyl2xp1"};

// "nopw"/"nopl" are the multi-byte no-operations (0F 1F) of the Pentium Pro.
const std::set<std::string> kExactOnly = {"nop"};

const std::set<std::string> kPrefixes = {"rep",  "repz",   "repe",   "repnz", "repne", "lock", "data16",
                                         "addr16", "cs", "ds", "es", "fs", "gs", "ss"};

const char *const kSuffixes[] = {"ll", "b", "w", "l", "s", "t", "q"};

std::string Upper(std::string s) {
  for (char &c : s) c = (char)std::toupper((unsigned char)c);
  return s;
}

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool Known486(const std::string &mnemonic) {
  if (kInstructions486.count(mnemonic)) return true;
  if (kExactOnly.count(mnemonic)) return false;
  for (const char *suffix : kSuffixes) {
    size_t n = std::char_traits<char>::length(suffix);
    if (mnemonic.size() > n && mnemonic.compare(mnemonic.size() - n, n, suffix) == 0) {
      std::string base = mnemonic.substr(0, mnemonic.size() - n);
      if (kInstructions486.count(base) && !kExactOnly.count(base)) return true;
    }
  }
  return false;
}

uint32_t Read32(const std::string &b, size_t at) {
  return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8 | (uint32_t)(uint8_t)b[at + 2] << 16 |
         (uint32_t)(uint8_t)b[at + 3] << 24;
}

uint32_t Read16(const std::string &b, size_t at) {
  return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8;
}

std::string Hex(uint32_t value) {
  std::ostringstream s;
  s << "0x" << std::hex << value;
  return s.str();
}

}  // namespace

std::vector<Import> ParseImports(const std::string &objdumpP) {
  std::vector<Import> imports;
  std::istringstream in(objdumpP);
  std::string line, dll;
  static const std::regex member(R"(^\t[0-9a-fA-F]+\t\s*[0-9]+\s+(\S.*)$)");
  bool inImports = false;
  while (std::getline(in, line)) {
    if (line.rfind("The Import Tables", 0) == 0) inImports = true;
    if (!inImports) continue;
    if (line.rfind("PE File Base Relocations", 0) == 0 || line.rfind("The Export Tables", 0) == 0 ||
        line.rfind("The .rsrc", 0) == 0)
      break;
    size_t at = line.find("DLL Name: ");
    if (at != std::string::npos) {
      dll = Trim(line.substr(at + 10));
      continue;
    }
    std::smatch m;
    if (!dll.empty() && std::regex_match(line, m, member)) {
      std::string name = Trim(m[1]);
      imports.push_back({dll, name == "<none>" ? std::string() : name});
    }
  }
  return imports;
}

void CheckImports(const std::vector<Import> &imports, Problems &problems) {
  if (imports.empty()) problems.push_back("imports nothing: the import table was not found");
  std::set<std::string> reportedDlls;
  for (const Import &import : imports) {
    auto allowed = kAllowed.find(Upper(import.dll));
    if (allowed == kAllowed.end()) {
      if (reportedDlls.insert(Upper(import.dll)).second)
        problems.push_back("imports " + import.dll + ", which is not one of KERNEL32, USER32, GDI32, ADVAPI32");
      continue;
    }
    if (import.function.empty())
      problems.push_back("imports a function of " + import.dll + " by ordinal");
    else if (!allowed->second.count(import.function))
      problems.push_back("imports " + import.dll + "!" + import.function + ", which is not on the allow-list");
  }
}

void CheckHeaders(const std::string &objdumpP, Problems &problems) {
  std::map<std::string, std::string> fields;
  std::istringstream in(objdumpP);
  std::string line;
  static const std::regex field(R"(^([A-Za-z/]+)\t+(\S.*)$)");
  while (std::getline(in, line)) {
    std::smatch m;
    if (std::regex_match(line, m, field) && !fields.count(m[1])) fields[m[1]] = Trim(m[2]);
  }
  auto expect = [&](const char *name, const std::string &want, const std::string &meaning) {
    auto f = fields.find(name);
    if (f == fields.end())
      problems.push_back(std::string("header field ") + name + " not found");
    else if (f->second != want)
      problems.push_back(std::string(name) + " is " + f->second + ", not " + want + " (" + meaning + ")");
  };
  expect("MajorSubsystemVersion", "4", "subsystem version 4.0");
  expect("MinorSubsystemVersion", "0", "subsystem version 4.0");
  expect("MajorOSystemVersion", "4", "OS version 4.0");
  expect("MinorOSystemVersion", "0", "OS version 4.0");
  expect("SectionAlignment", "00001000", "Windows 95 maps sections by 4 KiB pages");
  auto subsystem = fields.find("Subsystem");
  if (subsystem == fields.end())
    problems.push_back("header field Subsystem not found");
  else if (subsystem->second.find("(Windows GUI)") == std::string::npos)
    problems.push_back("Subsystem is " + subsystem->second + ", not Windows GUI");
  auto fileAlignment = fields.find("FileAlignment");
  if (fileAlignment == fields.end())
    problems.push_back("header field FileAlignment not found");
  else {
    unsigned long value = std::stoul(fileAlignment->second, nullptr, 16);
    if (value < 0x200 || (value & (value - 1)))
      problems.push_back("FileAlignment is " + fileAlignment->second +
                         ", not a power of two of at least 512 (Windows 95 loader)");
  }
}

bool ReadFileFacts(const std::string &bytes, FileFacts &facts, std::string &error) {
  facts = FileFacts();
  if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') {
    error = "no MZ header";
    return false;
  }
  uint32_t header = Read32(bytes, 0x3C);
  if ((uint64_t)header + 24 > bytes.size() || bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0) {
    error = "no PE signature";
    return false;
  }
  uint32_t sections = Read16(bytes, header + 6);
  facts.timeDateStamp = Read32(bytes, header + 8);
  uint32_t optionalSize = Read16(bytes, header + 20);
  uint32_t optional = header + 24;
  if ((uint64_t)optional + optionalSize + 40ull * sections > bytes.size() || optionalSize < 32 ||
      Read16(bytes, optional) != 0x10B) {
    error = "no PE32 optional header";
    return false;
  }
  uint32_t imageBase = Read32(bytes, optional + 28);
  for (uint32_t i = 0; i < sections; ++i) {
    uint32_t s = optional + optionalSize + 40 * i;
    if (bytes.compare(s, 8, std::string(".text\0\0\0", 8)) != 0) continue;
    uint32_t virtualSize = Read32(bytes, s + 8), address = Read32(bytes, s + 12);
    uint32_t rawSize = Read32(bytes, s + 16), raw = Read32(bytes, s + 20);
    uint32_t size = std::min(virtualSize, rawSize);
    if ((uint64_t)raw + size > bytes.size()) {
      error = ".text lies beyond the end of the file";
      return false;
    }
    facts.textStart = imageBase + address;
    facts.textEnd = facts.textStart + size;
    // The linker ends .text with __CTOR_LIST__ and __DTOR_LIST__: each -1,
    // the entries, 0. Empty, they are these 16 bytes.
    static const std::string emptyLists("\xFF\xFF\xFF\xFF\0\0\0\0\xFF\xFF\xFF\xFF\0\0\0\0", 16);
    if (size >= 16 && bytes.compare(raw + size - 16, 16, emptyLists) == 0) facts.listsStart = facts.textEnd - 16;
    return true;
  }
  error = "no .text section";
  return false;
}

void CheckFileFacts(const FileFacts &facts, Problems &problems) {
  if (facts.timeDateStamp != 0)
    problems.push_back("TimeDateStamp is " + Hex(facts.timeDateStamp) + ", not 0 (builds must be reproducible)");
  if (!facts.listsStart)
    problems.push_back(".text does not end with empty constructor and destructor lists: static "
                       "constructors or destructors exist, and nothing of ours runs them");
}

std::string Non486Reason(const std::string &instruction) {
  std::string text = instruction;
  size_t comment = text.find(" #");
  if (comment != std::string::npos) text.erase(comment);
  std::istringstream in(text);
  std::string word;
  while (in >> word && kPrefixes.count(word)) {
  }
  if (word.empty() || kPrefixes.count(word)) return std::string();
  if (word == "(bad)") return "undecodable bytes";
  std::string operands;
  std::getline(in, operands);
  static const std::regex vectorRegister(R"(%[xyz]?mm[0-9])");
  if (std::regex_search(operands, vectorRegister)) return "MMX/SSE register in \"" + Trim(text) + "\"";
  if (!Known486(word)) return "not a 486 instruction: " + word;
  return std::string();
}

void CheckCode(const std::string &objdumpD, uint32_t codeEnd, Problems &problems) {
  std::istringstream in(objdumpD);
  std::string line;
  static const std::regex decoded(R"(^\s*([0-9a-f]+):\t[0-9a-f ]+\t(.*)$)");
  size_t checked = 0;
  while (std::getline(in, line)) {
    std::smatch m;
    if (!std::regex_match(line, m, decoded)) continue;
    uint32_t address = (uint32_t)std::stoul(m[1], nullptr, 16);
    if (codeEnd && address >= codeEnd) continue;
    ++checked;
    std::string reason = Non486Reason(m[2]);
    if (!reason.empty()) problems.push_back("at " + Hex(address) + ": " + reason);
  }
  if (!checked) problems.push_back("no instruction found in the disassembly");
}

namespace {

bool Run(const std::string &command, std::string &output) {
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char buffer[65536];
  size_t n;
  output.clear();
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  return pclose(pipe) == 0;
}

std::string Quoted(const std::string &s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

Problems CheckExecutable(const std::string &objdump, const std::string &file, std::string *summary) {
  Problems problems;
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  FileFacts facts;
  std::string error, headers, code;
  if (!in || !ReadFileFacts(bytes.str(), facts, error)) {
    problems.push_back("not readable as a PE image: " + (in ? error : std::string("cannot open")));
    return problems;
  }
  if (!Run(Quoted(objdump) + " -p " + Quoted(file), headers) ||
      !Run(Quoted(objdump) + " -d " + Quoted(file), code)) {
    problems.push_back("objdump failed");
    return problems;
  }
  std::vector<Import> imports = ParseImports(headers);
  CheckImports(imports, problems);
  CheckHeaders(headers, problems);
  CheckFileFacts(facts, problems);
  CheckCode(code, facts.listsStart ? facts.listsStart : facts.textEnd, problems);
  if (summary) {
    std::ostringstream s;
    s << bytes.str().size() << " bytes, " << imports.size() << " imported functions";
    *summary = s.str();
  }
  return problems;
}

}  // namespace pe
