// Expansion of the compressed module stream. No allocation: a 1,024-byte
// window on the stack, a few counters and the caller's staging area.
#include "module_stream.h"

void StartBitReader(BitReader *reader, const unsigned char *bytes, uint32_t size) {
  reader->bytes = bytes;
  reader->size = size;
  reader->next = 0;
  reader->left = 0;
  reader->overrun = 0;
}

// The reader's step, inlined into the decoding loop.
static inline uint32_t TakeBits(BitReader *reader, int n) {
  uint32_t result = 0;
  while (n > 0) {
    if (reader->left == 0) {
      if (reader->next >= reader->size) {
        reader->overrun = 1;
        return result;
      }
      ++reader->next;
      reader->left = 8;
    }
    int k = n < reader->left ? n : reader->left;
    uint32_t byte = reader->bytes[reader->next - 1];
    uint32_t bits = (byte >> (reader->left - k)) & ((1u << k) - 1u);
    result = (result << k) | bits;
    reader->left -= k;
    n -= k;
  }
  return result;
}

uint32_t ReadBits(BitReader *reader, int n) { return TakeBits(reader, n); }

int ExpandStream(const unsigned char *stream, uint32_t size, unsigned char *staging,
                 StagingWriter write, void *context) {
  unsigned char window[WindowSize];
  for (int i = 0; i < WindowPresetCells; ++i) window[i] = (unsigned char)i;
  for (int i = WindowPresetCells; i < WindowSize; ++i) window[i] = 0;

  BitReader reader;
  StartBitReader(&reader, stream, size);
  int32_t declared = (int32_t)TakeBits(&reader, StreamHeaderBits);
  if (reader.overrun) return 0;

  uint32_t pending = 0;
  if (declared > 0) {
    const uint32_t limit = (uint32_t)declared;
    uint16_t count = 0;   // the window's copy of the output count, wraps
    uint32_t total = 0;   // the output count for the end test
    do {
      if (pending > StagingFlushAbove) {
        if (!write(context, staging, pending)) return 0;
        pending = 0;
      }
      if (TakeBits(&reader, 1)) {
        uint32_t position = TakeBits(&reader, CopyPositionBits);
        uint32_t n = TakeBits(&reader, CopyCountBits);
        if (reader.overrun) return 0;
        // One byte at a time, each read before it is stored, so that a copy
        // overlapping its own output repeats it.
        for (uint32_t k = 0; k < n; ++k) {
          unsigned char byte = window[(count + position + k) & WindowMask];
          window[(count + k + WindowPresetCells) & WindowMask] = byte;
          staging[pending++] = byte;
        }
        count = (uint16_t)(count + n);
        total += n;
      } else {
        unsigned char byte = (unsigned char)TakeBits(&reader, LiteralBits);
        if (reader.overrun) return 0;
        window[(count + WindowPresetCells) & WindowMask] = byte;
        staging[pending++] = byte;
        count = (uint16_t)(count + 1);
        total += 1;
      }
    } while (total < limit);
  }
  if (pending > 0 && !write(context, staging, pending)) return 0;
  return 1;
}
