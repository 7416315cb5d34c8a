// The character table, stored as it is written. Writable: once the table
// file is written, the module decoder stages its output here.
#include "payload.h"

unsigned char TableImage[TableImageSize] = {
#include "table_image.inc"
};
