// pecheck OBJDUMP FILE.exe...: checks each executable against the rules of
// pe_rules.h, printing one line per breach; exit status 1 when any.
#include <iostream>

#include "pe_rules.h"

int main(int argc, char **argv) {
  if (argc < 3) {
    std::cerr << "usage: pecheck OBJDUMP FILE.exe...\n";
    return 2;
  }
  int failed = 0;
  for (int i = 2; i < argc; ++i) {
    std::string summary;
    pe::Problems problems = pe::CheckExecutable(argv[1], argv[i], &summary);
    if (!summary.empty()) std::cout << argv[i] << ": " << summary << "\n";
    for (const std::string &problem : problems) std::cout << argv[i] << ": " << problem << "\n";
    if (!problems.empty()) ++failed;
  }
  return failed ? 1 : 0;
}
