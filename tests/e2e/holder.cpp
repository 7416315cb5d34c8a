// holder: keeps a file open with no sharing, as a program that has loaded
// it would, until it is told to let go.
//
//   holder FILE READY RELEASE [SECONDS]
//
// Opens the existing FILE for reading and writing with share mode 0, then
// creates the file READY (so that a test knows the file is held) and waits
// until the file RELEASE exists; then closes FILE and exits 0. Gives up after
// SECONDS (default 120) with exit status 3. Exit status 2: FILE could not be
// opened, or READY not created.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: holder FILE READY RELEASE [SECONDS]\n");
    return 2;
  }
  DWORD limitMs = (DWORD)(argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 120) * 1000;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "holder: cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "holder: cannot create %s (error %lu)\n", argv[2], GetLastError());
    CloseHandle(held);
    return 2;
  }
  CloseHandle(ready);
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > limitMs) {
      std::fprintf(stderr, "holder: nobody released %s\n", argv[1]);
      CloseHandle(held);
      return 3;
    }
    Sleep(20);
  }
  CloseHandle(held);
  return 0;
}
