// Rules our Win32 executables must keep to run on Windows 95 on a 486:
// what they import, what their PE headers say, which instructions they hold.
// The inputs are the texts of i686-w64-mingw32-objdump -p and -d and the
// file's own bytes; each rule appends one line per breach to `problems`.
#ifndef QIV_TESTS_PE_RULES_H
#define QIV_TESTS_PE_RULES_H

#include <cstdint>
#include <string>
#include <vector>

namespace pe {

using Problems = std::vector<std::string>;

struct Import {
  std::string dll;       // as written in the file, e.g. "KERNEL32.dll"
  std::string function;  // empty when imported by ordinal
};

// The imports listed by objdump -p.
std::vector<Import> ParseImports(const std::string &objdumpP);

// Only the four system libraries, and only the functions of the allow-list
// (each from its own library). An executable without imports is a breach too.
void CheckImports(const std::vector<Import> &imports, Problems &problems);

// Subsystem Windows GUI, subsystem and OS version 4.0, the section
// alignments Windows 95 maps (4 KiB in memory, at least 512 bytes on disk).
void CheckHeaders(const std::string &objdumpP, Problems &problems);

// What the file's bytes say beyond objdump's text.
struct FileFacts {
  uint32_t timeDateStamp = 0;
  uint32_t textStart = 0;   // virtual address (image base included) of .text
  uint32_t textEnd = 0;     // end of its contents
  uint32_t listsStart = 0;  // where the linker's empty constructor and
                            // destructor lists end .text; 0 when they do not
};

// Reads the COFF header and the .text section of a PE file. Returns false
// and says why when the bytes are no PE image.
bool ReadFileFacts(const std::string &bytes, FileFacts &facts, std::string &error);

// Zero timestamp; .text ends with the linker's constructor and destructor
// lists, both empty (nothing of ours runs static constructors).
void CheckFileFacts(const FileFacts &facts, Problems &problems);

// One disassembled instruction of objdump -d ("push   %ebp"): empty when a
// 486 runs it, else why not.
std::string Non486Reason(const std::string &instruction);

// Every instruction of objdump -d that starts before `codeEnd` (0: all).
void CheckCode(const std::string &objdumpD, uint32_t codeEnd, Problems &problems);

// All of the above for one file, running OBJDUMP on it. `summary`, when
// given, receives its size and import count.
Problems CheckExecutable(const std::string &objdump, const std::string &file, std::string *summary);

}  // namespace pe

#endif
