// The optimal encoder of the module stream and a strict stream reader.
//
// Seen from the encoder, the decoder's window is a plain sliding window over
// a virtual history: before output byte 0 stand 1,010 bytes with the values
// 0, 1, ..., 255, 0, 1, ... (window cells 0-1009, in cell order), and before
// those 14 cells (1010-1023) with no defined content. A copy at output count
// n with distance d (1-1024) reads the byte d places back in that history,
// possibly one it produced itself a moment before. So a copy is possible at
// n exactly when a match of that length exists at distance d <= 1024 whose
// start lies in the defined history: in text index terms (history first),
// start = 1010 + n - d >= 0.
#include "lz_encoder.h"

#include <algorithm>
#include <limits>

#include "module_stream.h"

namespace qivpack {

namespace {

constexpr unsigned kMaxDistance = WindowSize;

// The defined history followed by the input.
Bytes HistoryAndInput(const Bytes &input) {
  Bytes text(WindowPresetCells + input.size());
  for (int i = 0; i < WindowPresetCells; ++i) text[i] = (uint8_t)i;
  std::copy(input.begin(), input.end(), text.begin() + WindowPresetCells);
  return text;
}

class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() |= (uint8_t)(0x80u >> used_);
      used_ = (used_ + 1) & 7;
    }
  }
  Bytes Take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
  int used_ = 0;
};

}  // namespace

unsigned DistanceOfPosition(unsigned position) {
  unsigned d = (WindowPresetCells - position) & WindowMask;
  return d ? d : (unsigned)WindowSize;
}

unsigned PositionOfDistance(unsigned distance) {
  return (WindowPresetCells - distance) & WindowMask;
}

std::vector<Match> LongestMatches(const Bytes &input) {
  const size_t n = input.size();
  std::vector<Match> matches(n);
  if (n < 2) return matches;
  const Bytes text = HistoryAndInput(input);
  const size_t size = text.size();
  // Chains of earlier text positions by the two bytes starting there, newest
  // first.
  std::vector<int32_t> head(1u << 16, -1);
  std::vector<int32_t> prev(size, -1);
  size_t inserted = 0;
  auto key = [&](size_t p) { return (unsigned)text[p] << 8 | text[p + 1]; };

  for (size_t i = 0; i + 1 < n; ++i) {
    const size_t at = WindowPresetCells + i;
    for (; inserted < at; ++inserted) {
      unsigned k = key(inserted);
      prev[inserted] = head[k];
      head[k] = (int32_t)inserted;
    }
    const unsigned limit = (unsigned)std::min<size_t>(MaxCopyCount, n - i);
    const uint8_t *here = &text[at];
    unsigned best = 0, bestDistance = 0;
    for (int32_t p = head[key(at)]; p >= 0 && at - (size_t)p <= kMaxDistance; p = prev[p]) {
      const uint8_t *there = &text[p];
      if (there[best] != here[best]) continue;
      unsigned len = 2;
      while (len < limit && there[len] == here[len]) ++len;
      if (len > best) {
        best = len;
        bestDistance = (unsigned)(at - (size_t)p);
        if (best == limit) break;
      }
    }
    matches[i].length = (uint16_t)best;
    matches[i].distance = (uint16_t)bestDistance;
  }
  return matches;
}

std::vector<Token> OptimalParse(const Bytes &input) {
  const size_t n = input.size();
  const std::vector<Match> matches = LongestMatches(input);
  // cost[i]: fewest bits for input[i..n); take[i]: count of the copy that
  // starts the best parse there, 0 for a literal.
  std::vector<uint64_t> cost(n + 1, 0);
  std::vector<uint8_t> take(n + 1, 0);
  for (size_t i = n; i-- > 0;) {
    uint64_t literal = cost[i + 1] + LiteralTokenBits;
    uint64_t copy = std::numeric_limits<uint64_t>::max();
    unsigned copyCount = 0;
    for (unsigned k = matches[i].length; k >= 2; --k) {
      uint64_t c = cost[i + k] + CopyTokenBits;
      if (c < copy) {
        copy = c;
        copyCount = k;
      }
    }
    if (copyCount && copy <= literal) {
      cost[i] = copy;
      take[i] = (uint8_t)copyCount;
    } else {
      cost[i] = literal;
    }
  }
  std::vector<Token> tokens;
  for (size_t i = 0; i < n;) {
    Token t;
    if (take[i]) {
      t.copy = true;
      t.position = (uint16_t)PositionOfDistance(matches[i].distance);
      t.count = take[i];
      i += take[i];
    } else {
      t.literal = input[i];
      ++i;
    }
    tokens.push_back(t);
  }
  return tokens;
}

std::vector<Token> GreedyParse(const Bytes &input) {
  const std::vector<Match> matches = LongestMatches(input);
  std::vector<Token> tokens;
  for (size_t i = 0; i < input.size();) {
    Token t;
    if (matches[i].length >= 2) {
      t.copy = true;
      t.position = (uint16_t)PositionOfDistance(matches[i].distance);
      t.count = (uint8_t)matches[i].length;
      i += matches[i].length;
    } else {
      t.literal = input[i];
      ++i;
    }
    tokens.push_back(t);
  }
  return tokens;
}

uint64_t StreamBits(const std::vector<Token> &tokens) {
  uint64_t bits = StreamHeaderBits;
  for (const Token &t : tokens) bits += t.copy ? CopyTokenBits : LiteralTokenBits;
  return bits;
}

Bytes PackStream(int32_t declared, const std::vector<Token> &tokens) {
  BitWriter w;
  w.Put((uint32_t)declared, StreamHeaderBits);
  for (const Token &t : tokens) {
    if (t.copy) {
      w.Put(1, 1);
      w.Put(t.position, CopyPositionBits);
      w.Put(t.count, CopyCountBits);
    } else {
      w.Put(0, 1);
      w.Put(t.literal, LiteralBits);
    }
  }
  return w.Take();
}

bool Encode(const Bytes &input, Bytes *stream, std::string *error) {
  if (input.size() > (size_t)std::numeric_limits<int32_t>::max()) {
    if (error) *error = "input longer than a stream can declare";
    return false;
  }
  *stream = PackStream((int32_t)input.size(), OptimalParse(input));
  return true;
}

Scan ScanStream(const uint8_t *stream, size_t size, bool keepOutput) {
  Scan s;
  s.streamBytes = size;
  uint64_t bitPos = 0;
  const uint64_t bitSize = (uint64_t)size * 8;
  bool overrun = false;
  auto read = [&](int bits) -> uint32_t {
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i) {
      if (bitPos >= bitSize) {
        overrun = true;
        return v;
      }
      v = v << 1 | ((stream[bitPos >> 3] >> (7 - (bitPos & 7))) & 1u);
      ++bitPos;
    }
    return v;
  };
  auto finish = [&](Scan::Status status) {
    s.status = status;
    s.bits = bitPos;
    s.bytesUsed = (size_t)((bitPos + 7) / 8);
    return s;
  };

  s.declared = (int32_t)read(StreamHeaderBits);
  if (overrun) return finish(Scan::Truncated);

  int value[WindowSize];  // -1: no defined byte
  for (int i = 0; i < WindowSize; ++i) value[i] = i < WindowPresetCells ? i % 256 : -1;
  uint64_t n = 0;
  auto put = [&](int byte) {
    value[(n + WindowPresetCells) & WindowMask] = byte;
    if (keepOutput) s.output.push_back((uint8_t)byte);
    ++n;
  };
  while ((int64_t)n < (int64_t)s.declared) {
    uint32_t flag = read(1);
    if (flag) {
      unsigned position = read(CopyPositionBits);
      unsigned count = read(CopyCountBits);
      if (overrun) break;
      unsigned distance = DistanceOfPosition(position);
      if (s.copies == 0) {
        s.minCount = s.maxCount = count;
        s.minPosition = s.maxPosition = position;
        s.minDistance = s.maxDistance = distance;
      }
      ++s.copies;
      s.minCount = std::min(s.minCount, count);
      s.maxCount = std::max(s.maxCount, count);
      s.minPosition = std::min(s.minPosition, position);
      s.maxPosition = std::max(s.maxPosition, position);
      s.minDistance = std::min(s.minDistance, distance);
      s.maxDistance = std::max(s.maxDistance, distance);
      for (unsigned k = 0; k < count; ++k) {
        int byte = value[(n + position) & WindowMask];
        if (byte < 0) {
          s.produced = n;
          s.failedAt = n;
          return finish(Scan::UndefinedCell);
        }
        put(byte);
      }
    } else {
      unsigned byte = read(LiteralBits);
      if (overrun) break;
      ++s.literals;
      put((int)byte);
    }
  }
  s.produced = n;
  if (overrun) {
    s.failedAt = n;
    return finish(Scan::Truncated);
  }
  return finish(Scan::Ok);
}

std::string Scan::Describe() const {
  switch (status) {
    case Ok:
      return "ok";
    case Truncated:
      if (bits < StreamHeaderBits)
        return "stream of " + std::to_string(streamBytes) + " bytes ends inside its 4-byte header";
      return "stream ends after " + std::to_string(produced) + " of the " + std::to_string(declared) +
             " bytes it declares";
    case UndefinedCell:
      return "copy at output byte " + std::to_string(failedAt) +
             " reads a window cell that holds no byte yet";
  }
  return "unknown";
}

}  // namespace qivpack
