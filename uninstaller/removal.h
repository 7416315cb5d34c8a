// The uninstaller, unqiv.exe.
#ifndef QIV_UNINSTALLER_REMOVAL_H
#define QIV_UNINSTALLER_REMOVAL_H

#include "win32.h"

namespace unqiv {

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show);

}  // namespace unqiv

#endif
