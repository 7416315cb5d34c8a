// Entry of qiv98.exe on Windows.
#include "setup.h"
#include "target/startup.h"

extern "C" void WINAPI WinMainCRTStartup(void) { StartProgram(setup::WinMain); }
