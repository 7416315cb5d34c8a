#include "setup.h"

namespace setup {

// The command tail is ignored. Returns 1 after a completed installation and
// 0 on every other end.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show) {
  if (!previous && !RegisterWindowClasses(instance)) return 0;
  return RunInstallation(instance, show);
}

}  // namespace setup
