#include "target/startup.h"

// Skips the program name at the start of a command line: a quoted name runs
// to the closing quote, a plain one to the first blank; then the blanks.
static LPSTR CommandTail(LPSTR line) {
  if (!line) return (LPSTR) "";
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line == '"') ++line;
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

void StartProgram(WinMainFunction winMain) {
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  startup.dwFlags = 0;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  int status = winMain(GetModuleHandleA(0), 0, CommandTail(GetCommandLineA()), show);
  ExitProcess((UINT)status);
}
