#include "payload_testing.h"

#include <cstring>

#include "payload.h"

namespace {
const unsigned char kIntactTable[] = {
#include "table_image.inc"
};
static_assert(sizeof kIntactTable == TableImageSize, "the table image as built");
}  // namespace

const unsigned char *IntactTableImage() { return kIntactTable; }

void RestoreTableImage() { std::memcpy(TableImage, kIntactTable, TableImageSize); }

bool TableImageIntact() { return std::memcmp(TableImage, kIntactTable, TableImageSize) == 0; }
