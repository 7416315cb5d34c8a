// An independent reading of the stream format for the tests: a decoder that
// tracks which window cells hold defined bytes, and the exhaustive search
// for the fewest bits any valid stream needs for an input. Neither shares
// code with the encoder or the program's decoder.
#ifndef QIV_TESTS_PAYLOAD_REFERENCE_MODEL_H
#define QIV_TESTS_PAYLOAD_REFERENCE_MODEL_H

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace reference {

using Bytes = std::vector<uint8_t>;

// The window before the first token: cells 0-1009 hold i mod 256, cells
// 1010-1023 nothing (-1).
inline std::vector<int> InitialWindow() {
  std::vector<int> w(1024, -1);
  for (int i = 0; i < 1010; ++i) w[i] = i % 256;
  return w;
}

struct Decoded {
  Bytes output;
  bool undefinedRead = false;
  bool truncated = false;
};

// Decodes by the format's rules, one bit at a time.
inline Decoded Decode(const Bytes &stream) {
  Decoded d;
  size_t bit = 0;
  auto take = [&](int n, uint32_t *v) {
    *v = 0;
    for (int i = 0; i < n; ++i, ++bit) {
      if (bit >= stream.size() * 8) return false;
      *v = *v << 1 | ((stream[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return true;
  };
  uint32_t header;
  if (!take(32, &header)) {
    d.truncated = true;
    return d;
  }
  const int64_t length = (int32_t)header;
  std::vector<int> window = InitialWindow();
  uint64_t n = 0;
  while ((int64_t)n < length) {
    uint32_t flag, a, b;
    if (!take(1, &flag)) {
      d.truncated = true;
      return d;
    }
    if (flag) {
      if (!take(10, &a) || !take(4, &b)) {
        d.truncated = true;
        return d;
      }
      for (uint32_t k = 0; k < b; ++k, ++n) {
        int v = window[(n + a) % 1024];
        if (v < 0) {
          d.undefinedRead = true;
          return d;
        }
        window[(n + 1010) % 1024] = v;
        d.output.push_back((uint8_t)v);
      }
    } else {
      if (!take(8, &a)) {
        d.truncated = true;
        return d;
      }
      window[(n + 1010) % 1024] = (int)a;
      d.output.push_back((uint8_t)a);
      ++n;
    }
  }
  return d;
}

// Fewest bits (header included) of a stream decoding to exactly `x` without
// reading an undefined cell. The window at output count n depends only on
// x[0..n), so the search is over counts: from each count every token is
// tried, literals and copies with every position and count, simulated on
// the window cell by cell.
inline uint64_t MinimumBits(const Bytes &x) {
  const size_t len = x.size();
  std::vector<uint64_t> best(len + 1, 0);
  for (size_t n = len; n-- > 0;) {
    std::vector<int> window = InitialWindow();
    for (size_t j = 0; j < n; ++j) window[(j + 1010) % 1024] = x[j];
    uint64_t b = 9 + best[n + 1];
    for (unsigned p = 0; p < 1024; ++p) {
      // Cells this copy has stored so far, and what it stored.
      unsigned stored[15];
      int storedValue[15];
      for (unsigned k = 0; k < 15 && n + k < len; ++k) {
        unsigned source = (unsigned)((n + p + k) % 1024);
        int v = window[source];
        for (unsigned j = k; j-- > 0;)
          if (stored[j] == source) {
            v = storedValue[j];
            break;
          }
        if (v < 0 || v != x[n + k]) break;
        stored[k] = (unsigned)((n + k + 1010) % 1024);
        storedValue[k] = v;
        b = std::min<uint64_t>(b, 15 + best[n + k + 1]);
      }
    }
    best[n] = b;
  }
  return 32 + best[0];
}

}  // namespace reference

#endif
