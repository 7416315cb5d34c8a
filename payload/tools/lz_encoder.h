// Build-time side of the module stream: the optimal encoder, a greedy parse
// for comparison, and a strict reading of a stream that knows which window
// cells hold defined bytes. Host code only; never linked into a program.
#ifndef QIV_PAYLOAD_TOOLS_LZ_ENCODER_H
#define QIV_PAYLOAD_TOOLS_LZ_ENCODER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qivpack {

using Bytes = std::vector<uint8_t>;

struct Token {
  bool copy = false;
  uint8_t literal = 0;     // literal token
  uint16_t position = 0;   // copy token: window position 0-1023
  uint8_t count = 0;       // copy token: 0-15
};

// A copy's window position seen as the distance back to its first source
// byte (1-1024), and the other way round.
unsigned DistanceOfPosition(unsigned position);
unsigned PositionOfDistance(unsigned distance);

// For each input position, the longest copy that can start there (count at
// most 15, not past the end of the input, reading only defined cells) and the
// smallest distance that gives it; length 0 where no copy of 2 or more exists.
struct Match {
  uint16_t length = 0;
  uint16_t distance = 0;
};
std::vector<Match> LongestMatches(const Bytes &input);

// The parse with the fewest bits: every literal costs 9 bits and every copy
// 15, so it is a shortest path over input positions. Among equal costs it
// takes a copy over a literal and the longer copy over the shorter.
std::vector<Token> OptimalParse(const Bytes &input);
// Longest match at every step, a literal where there is none.
std::vector<Token> GreedyParse(const Bytes &input);

// Header plus tokens.
uint64_t StreamBits(const std::vector<Token> &tokens);
// Header declaring `declared`, then the tokens, padded with 0 bits to a byte.
Bytes PackStream(int32_t declared, const std::vector<Token> &tokens);
// The optimal stream of an input; false (and `error` set) for an input longer
// than the header can declare.
bool Encode(const Bytes &input, Bytes *stream, std::string *error);

// A strict reading of a stream: what the decoder would produce, with every
// token counted and every read of a window cell that holds no defined byte
// reported.
struct Scan {
  enum Status { Ok, Truncated, UndefinedCell } status = Ok;
  int32_t declared = 0;
  uint64_t produced = 0;
  uint64_t literals = 0, copies = 0;
  unsigned minCount = 0, maxCount = 0;        // over copies
  unsigned minPosition = 0, maxPosition = 0;  // over copies
  unsigned minDistance = 0, maxDistance = 0;  // over copies
  uint64_t bits = 0;          // bits the tokens and header take
  size_t streamBytes = 0;
  size_t bytesUsed = 0;       // bytes holding those bits
  uint64_t failedAt = 0;      // output count where the stream ended or read an undefined cell
  Bytes output;               // when asked for
  std::string Describe() const;  // one line naming the problem, for status != Ok
};
Scan ScanStream(const uint8_t *stream, size_t size, bool keepOutput);

}  // namespace qivpack

#endif
