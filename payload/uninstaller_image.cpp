// The uninstaller's executable, byte for byte as the build made it.
#include "payload.h"

const unsigned char UninstallerImage[] = {
#include "uninstaller_image.inc"
};
const DWORD UninstallerImageSize = sizeof UninstallerImage;
