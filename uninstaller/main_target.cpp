// Entry of unqiv.exe on Windows.
#include "removal.h"
#include "target/startup.h"

extern "C" void WINAPI WinMainCRTStartup(void) { StartProgram(unqiv::WinMain); }
