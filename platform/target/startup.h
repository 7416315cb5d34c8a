// Start-up of our Win32 executables, which carry no C runtime.
#ifndef QIV_TARGET_STARTUP_H
#define QIV_TARGET_STARTUP_H

#include "win32.h"

typedef int(WINAPI *WinMainFunction)(HINSTANCE, HINSTANCE, LPSTR, int);

// Calls the program's WinMain as the C runtime would (instance, no previous
// instance, the command tail after the program name, the show state the
// starting program asked for) and ends the process with its result.
void StartProgram(WinMainFunction winMain);

#endif
