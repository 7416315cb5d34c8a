// The module decoder of the setup program: the stream expanded through the
// table image's storage into an open file.
#include "module_stream.h"
#include "payload.h"

static_assert(TableImageSize == StagingSize, "the staging area is the table image");

static int WriteStaged(void *context, const unsigned char *bytes, uint32_t count) {
  DWORD written = 0;  // not compared: only the success flag counts
  return WriteFile((HANDLE)context, bytes, count, &written, 0) ? 1 : 0;
}

int DecodeStream(const unsigned char *stream, DWORD size, HANDLE file) {
  return ExpandStream(stream, size, TableImage, WriteStaged, file);
}

int DecodeModule(HANDLE file) { return DecodeStream(ModuleStream, ModuleStreamSize, file); }
