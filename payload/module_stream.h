// The compressed module stream: a bit reader and the expansion of a stream
// through the 1,024-byte window into a staging area that is handed to a
// writer whenever it fills. Free of the platform, so that the build tools and
// the tests can run the very decoder the setup program runs.
//
// Stream layout: bits in increasing byte order, each byte from its most
// significant bit down; a field of n bits comes most significant bit first.
// A 32-bit signed header declares the output length L, then tokens follow
// until at least L bytes are out:
//   1 PPPPPPPPPP KKKK   copy K bytes (0-15) from window position P (0-1023)
//   0 VVVVVVVV          the literal byte V
#ifndef QIV_PAYLOAD_MODULE_STREAM_H
#define QIV_PAYLOAD_MODULE_STREAM_H

#include <stdint.h>

enum {
  StreamHeaderBits = 32,
  CopyPositionBits = 10,
  CopyCountBits = 4,
  LiteralBits = 8,
  CopyTokenBits = 1 + CopyPositionBits + CopyCountBits,  // 15
  LiteralTokenBits = 1 + LiteralBits,                    // 9
  WindowSize = 1024,
  WindowMask = WindowSize - 1,
  // Cells 0 to 1009 start as i mod 256; output byte n goes to cell
  // (n + 1010) mod 1024, so the first output byte lands in cell 1010.
  WindowPresetCells = 1010,
  MaxCopyCount = 15,
  StagingSize = 72022,
  // More than this many pending bytes are written out before the next token.
  StagingFlushAbove = 71922
};

// Reading position in a stream of bytes. `next` is the index of the byte the
// reader moves to when the current one has no bits left; `left` counts the
// bits of the current byte not yet taken. A reader that was asked for bits
// beyond the last byte sets `overrun` and never touches memory past the end.
struct BitReader {
  const unsigned char *bytes;
  uint32_t size;
  uint32_t next;
  int left;
  int overrun;
};

void StartBitReader(BitReader *reader, const unsigned char *bytes, uint32_t size);

// The next n bits (1 <= n <= 32) as an unsigned number, first bit most
// significant; n <= 0 returns 0 and takes nothing. On overrun the bits that
// were there are returned and `overrun` is set.
uint32_t ReadBits(BitReader *reader, int n);

// Receives the staging area's pending bytes; returns 1 when the write
// succeeded, 0 when it failed.
typedef int (*StagingWriter)(void *context, const unsigned char *bytes, uint32_t count);

// Expands a stream. `staging` must hold StagingSize bytes; it is overwritten.
// Whenever more than StagingFlushAbove bytes are pending before a token, all
// of them go to `write` in one call; what is left at the end goes in one last
// call. Returns 1 on success, 0 at once when a write fails, and 0 without a
// further write when the stream ends before its tokens reach the declared
// length. A header of 0 or less gives no output and success.
int ExpandStream(const unsigned char *stream, uint32_t size, unsigned char *staging,
                 StagingWriter write, void *context);

#endif
