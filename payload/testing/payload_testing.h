// Test support for the payload set; linked by tests only, never by a program.
#ifndef QIV_PAYLOAD_TESTING_H
#define QIV_PAYLOAD_TESTING_H

#include <cstddef>

// The table image's bytes as the build made them.
const unsigned char *IntactTableImage();
// Puts those bytes back into TableImage, which a run of the setup program
// overwrites when it decodes the module. Call it before every run.
void RestoreTableImage();
// Whether TableImage holds those bytes.
bool TableImageIntact();

#endif
