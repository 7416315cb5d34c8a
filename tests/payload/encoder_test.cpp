// The build-time encoder: output valid and decoded by the program's decoder,
// deterministic, and optimal against an exhaustive search over the format.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lz_encoder.h"
#include "module_stream.h"
#include "reference_model.h"

namespace {

using Bytes = std::vector<uint8_t>;

int Collect(void *context, const unsigned char *bytes, uint32_t count) {
  static_cast<Bytes *>(context)->insert(static_cast<Bytes *>(context)->end(), bytes, bytes + count);
  return 1;
}

Bytes ProgramDecode(const Bytes &stream, int *result) {
  static unsigned char staging[StagingSize];
  Bytes out;
  *result = ExpandStream(stream.data(), (uint32_t)stream.size(), staging, Collect, &out);
  return out;
}

Bytes EncodeOrDie(const Bytes &input) {
  Bytes stream;
  std::string error;
  EXPECT_TRUE(qivpack::Encode(input, &stream, &error)) << error;
  return stream;
}

std::string Show(const Bytes &b) {
  std::string s;
  char hex[4];
  for (uint8_t c : b) {
    std::snprintf(hex, sizeof hex, "%02X ", c);
    s += hex;
  }
  return s;
}

// Everything the encoder promises for one input.
void CheckEncoding(const Bytes &input, bool exhaustive) {
  SCOPED_TRACE("input " + Show(input));
  const Bytes stream = EncodeOrDie(input);
  const std::vector<qivpack::Token> tokens = qivpack::OptimalParse(input);
  const uint64_t bits = qivpack::StreamBits(tokens);
  EXPECT_EQ(stream.size(), (bits + 7) / 8);

  // Valid: no undefined cell, nothing past the declared length.
  reference::Decoded ref = reference::Decode(stream);
  EXPECT_FALSE(ref.undefinedRead);
  EXPECT_FALSE(ref.truncated);
  EXPECT_EQ(ref.output, input);
  int result = 0;
  EXPECT_EQ(ProgramDecode(stream, &result), input);
  EXPECT_EQ(result, 1);
  uint64_t produced = 0;
  for (const qivpack::Token &t : tokens) {
    if (t.copy) {
      EXPECT_GE(t.count, 2);
      EXPECT_LE(t.count, 15);
    }
    produced += t.copy ? t.count : 1;
  }
  EXPECT_EQ(produced, input.size());

  if (exhaustive) EXPECT_EQ(bits, reference::MinimumBits(input));
  EXPECT_LE(bits, qivpack::StreamBits(qivpack::GreedyParse(input)));
}

Bytes Of(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back((uint8_t)v);
  return b;
}

Bytes Ascending(int first, int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) b.push_back((uint8_t)(first + i));
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes &p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

Bytes Noise(uint32_t seed, size_t n) {
  std::mt19937 g(seed);
  Bytes b(n);
  for (uint8_t &c : b) c = (uint8_t)(g() >> 24);
  return b;
}

struct Crafted {
  const char *name;
  Bytes input;
};

TEST(EncoderTest, CraftedInputsAreEncodedOptimally) {
  // Letters without consecutive values, so that the initial cells hold none
  // of their pairs.
  const int a = 0x11, b = 0x47, c = 0x93, d = 0x05, e = 0xC8, f = 0x6E, g = 0x2B, h = 0xF0, q = 0x3A, z = 0xD6;
  const Crafted cases[] = {
      {"empty", {}},
      {"one byte", Of({0x41})},
      {"two equal bytes: two literals beat a literal and a copy of one", Of({0x41, 0x41})},
      {"three equal bytes", Of({0x41, 0x41, 0x41})},
      {"sixteen equal bytes: literal and one overlapping copy", Bytes(16, 0x41)},
      {"thirty equal bytes", Bytes(30, 0x41)},
      {"two zeros: no cell holds 0 0 before the output does", Of({0, 0})},
      {"twenty zeros", Bytes(20, 0)},
      {"initial cells 0-14: one copy", Ascending(0, 15)},
      {"initial cells across the 256 wrap", Ascending(250, 12)},
      {"a run longer than one copy", Ascending(40, 31)},
      {"cell 1009 feeds the copy's own output", Of({241, 241, 241, 241})},
      {"the last initial cells then the first outputs", Cat({Of({a, b, c, d, e}), Ascending(237, 5), Of({a, b, c})})},
      {"the shorter first copy makes the longer second one",
       Of({a, b, q, b, c, d, e, f, g, h, z, a, b, c, d, e, f, g, h})},
      {"period three", Cat({Of({a, b, c}), Of({a, b, c}), Of({a, b, c}), Of({a, b, c}), Of({a, b})})},
      {"pair choices", Of({a, b, c, a, b, b, c, a, c, a, b, c})},
      {"values the initial cells hold then a repeat", Cat({Ascending(100, 4), Of({z}), Ascending(101, 3), Ascending(100, 4)})},
      {"noise", Noise(7, 12)},
  };
  for (const Crafted &k : cases) {
    SCOPED_TRACE(k.name);
    CheckEncoding(k.input, true);
  }
}

TEST(EncoderTest, GreedyParseIsBeatenWhereAShorterCopyPaysOff) {
  const Bytes input = Of({0x11, 0x47, 0x3A, 0x47, 0x93, 0x05, 0xC8, 0x6E, 0x2B, 0xF0, 0xD6, 0x11, 0x47, 0x93, 0x05,
                          0xC8, 0x6E, 0x2B, 0xF0});
  EXPECT_LT(qivpack::StreamBits(qivpack::OptimalParse(input)), qivpack::StreamBits(qivpack::GreedyParse(input)));
}

TEST(EncoderTest, SmallRandomInputsAreEncodedOptimally) {
  std::mt19937 g(20260611u);
  auto below = [&](uint32_t n) { return (uint32_t)(g() % n); };
  for (int i = 0; i < 400; ++i) {
    const size_t len = 1 + below(12);
    Bytes input;
    switch (i % 4) {
      case 0: {  // two or three symbols: many repeats
        uint8_t symbols[3] = {(uint8_t)(g() >> 24), (uint8_t)(g() >> 24), (uint8_t)(g() >> 24)};
        unsigned k = 2 + below(2);
        for (size_t j = 0; j < len; ++j) input.push_back(symbols[below(k)]);
        break;
      }
      case 1:  // any bytes
        for (size_t j = 0; j < len; ++j) input.push_back((uint8_t)(g() >> 24));
        break;
      default: {  // stretches of consecutive values, which the initial cells hold
        while (input.size() < len) {
          if (below(3) == 0) {
            input.push_back((uint8_t)(g() >> 24));
          } else {
            int first = i % 4 == 3 ? 230 + (int)below(26) : (int)below(256);
            for (int r = 2 + (int)below(6); r > 0 && input.size() < len; --r) input.push_back((uint8_t)first++);
          }
        }
        break;
      }
    }
    CheckEncoding(input, true);
    if (HasFailure()) return;
  }
}

TEST(EncoderTest, FarCopiesUseTheWholeWindowAndNoMore) {
  const Bytes noise = Noise(99, 1030);
  const Crafted cases[] = {
      {"repeat at distance 1024", Cat({Bytes(noise.begin(), noise.begin() + 1024), Bytes(noise.begin(), noise.begin() + 15)})},
      {"repeat at distance 1025 is out of reach",
       Cat({Bytes(noise.begin(), noise.begin() + 1025), Bytes(noise.begin(), noise.begin() + 15)})},
      {"repeat of the initial cells' tail after 14 outputs", Cat({Noise(3, 14), Ascending(230, 12), Noise(4, 3)})},
  };
  for (const Crafted &k : cases) {
    SCOPED_TRACE(k.name);
    CheckEncoding(k.input, true);
  }
  const Bytes at1024 = cases[0].input;
  std::vector<qivpack::Token> t = qivpack::OptimalParse(at1024);
  ASSERT_FALSE(t.empty());
  EXPECT_TRUE(t.back().copy);
  EXPECT_EQ(qivpack::DistanceOfPosition(t.back().position), 1024u);
  EXPECT_EQ(t.back().count, 15);
}

TEST(EncoderTest, LargerInputsRoundTripAndBeatGreedy) {
  std::mt19937 g(5);
  for (int i = 0; i < 6; ++i) {
    Bytes input;
    // Text-like: words from a small dictionary, some noise.
    while (input.size() < 20000) {
      if (g() % 8 == 0) input.push_back((uint8_t)(g() >> 24));
      Bytes w = Noise(g() % 50, 3 + g() % 12);
      input.insert(input.end(), w.begin(), w.end());
    }
    CheckEncoding(input, false);
  }
}

TEST(EncoderTest, OutputIsDeterministic) {
  const Bytes input = Cat({Noise(1, 3000), Bytes(500, 0), Noise(1, 3000), Ascending(0, 300)});
  EXPECT_EQ(EncodeOrDie(input), EncodeOrDie(input));
}

TEST(EncoderTest, PositionsAndDistancesCorrespond) {
  const unsigned pairs[][2] = {{1009, 1}, {0, 1010}, {1010, 1024}, {1023, 1011}, {65, 945}};
  for (auto &p : pairs) {
    EXPECT_EQ(qivpack::DistanceOfPosition(p[0]), p[1]);
    EXPECT_EQ(qivpack::PositionOfDistance(p[1]), p[0]);
  }
}

// The strict reader behind `qivpack stat` and `qivpack decode`.
TEST(ScanTest, CountsTokensAndFindsTroubles) {
  Bytes ok = qivpack::PackStream(
      20, {qivpack::Token{false, 0x41, 0, 0}, qivpack::Token{true, 0, 1009, 15}, qivpack::Token{true, 0, 0, 0},
           qivpack::Token{true, 0, 500, 4}});
  qivpack::Scan s = qivpack::ScanStream(ok.data(), ok.size(), true);
  EXPECT_EQ(s.status, qivpack::Scan::Ok);
  EXPECT_EQ(s.declared, 20);
  EXPECT_EQ(s.produced, 20u);
  EXPECT_EQ(s.literals, 1u);
  EXPECT_EQ(s.copies, 3u);
  EXPECT_EQ(s.minCount, 0u);
  EXPECT_EQ(s.maxCount, 15u);
  EXPECT_EQ(s.minPosition, 0u);
  EXPECT_EQ(s.maxPosition, 1009u);
  EXPECT_EQ(s.bits, 32u + 9 + 3 * 15);
  EXPECT_EQ(s.output, reference::Decode(ok).output);

  Bytes cut(ok.begin(), ok.end() - 2);
  s = qivpack::ScanStream(cut.data(), cut.size(), false);
  EXPECT_EQ(s.status, qivpack::Scan::Truncated);
  EXPECT_EQ(s.produced, 16u);

  Bytes undefinedCell = qivpack::PackStream(2, {qivpack::Token{true, 0, 1010, 2}});
  s = qivpack::ScanStream(undefinedCell.data(), undefinedCell.size(), false);
  EXPECT_EQ(s.status, qivpack::Scan::UndefinedCell);
  EXPECT_EQ(s.failedAt, 0u);
}

}  // namespace
