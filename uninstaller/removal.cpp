// The uninstaller's sequence. Its removal steps are not written yet: the
// program so far only starts and ends.
#include "removal.h"

namespace unqiv {

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }

}  // namespace unqiv
