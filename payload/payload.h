// The payload set: the images compiled into the setup program, and the
// decoder that expands the compressed module while it is written.
#ifndef QIV_PAYLOAD_PAYLOAD_H
#define QIV_PAYLOAD_PAYLOAD_H

#include "win32.h"

enum { TableImageSize = 72022, PhraseTemplateSize = 1022 };

// The character table, written as it is. Its storage doubles as the decoder's
// staging area, so it is written before the module and is not intact after.
extern unsigned char TableImage[TableImageSize];
extern const unsigned char UninstallerImage[];
extern const DWORD UninstallerImageSize;
extern const unsigned char ModuleStream[];
extern const DWORD ModuleStreamSize;
extern const unsigned char PhraseTemplate[PhraseTemplateSize];

// Expands ModuleStream into an open file. Returns 1 when every write
// succeeded, 0 when a write failed or the stream ended before its declared
// length. Does not close the file.
int DecodeModule(HANDLE file);

// The same decoder over any stream in the module format (DecodeModule passes
// ModuleStream): staged through TableImage, written to an open file.
int DecodeStream(const unsigned char *stream, DWORD size, HANDLE file);

#endif
