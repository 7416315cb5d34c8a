// Hand-made module streams for the payload tests, written bit by bit here
// rather than by the encoder under test.
#ifndef QIV_TESTS_PAYLOAD_STREAM_BUILDER_H
#define QIV_TESTS_PAYLOAD_STREAM_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "payload.h"

class StreamBuilder {
 public:
  StreamBuilder &Bits(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() |= (uint8_t)(0x80u >> (used_ % 8));
      ++used_;
    }
    return *this;
  }
  StreamBuilder &Header(int32_t length) { return Bits((uint32_t)length, 32); }
  StreamBuilder &Literal(uint8_t value) { return Bits(0, 1).Bits(value, 8); }
  StreamBuilder &Copy(unsigned position, unsigned count) { return Bits(1, 1).Bits(position, 10).Bits(count, 4); }
  // Copy given as the distance back (1-1024) to its first source byte.
  StreamBuilder &CopyBack(unsigned distance, unsigned count) { return Copy((1010 + 1024 - distance) % 1024, count); }
  StreamBuilder &Literals(const std::vector<uint8_t> &bytes) {
    for (uint8_t b : bytes) Literal(b);
    return *this;
  }
  uint64_t BitCount() const { return used_; }
  std::vector<uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t used_ = 0;
};

// What the setup program's decoder wrote through the simulated platform.
struct SimDecode {
  int result = 0;
  sim::Bytes bytes;
  std::vector<DWORD> writes;
};

inline const char kDecodedPath[] = "C:\\WINDOWS\\SYSTEM\\qiv95.ime";

// Opens the module file as the setup program does and runs `decode` on it.
template <typename Decode>
SimDecode DecodeThroughSim(Decode decode) {
  SimDecode out;
  HANDLE file = CreateFileA(kDecodedPath, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
  if (file == INVALID_HANDLE_VALUE) return out;
  out.result = decode(file);
  CloseHandle(file);
  if (sim::File *f = sim::FindFile(kDecodedPath)) {
    out.bytes = f->bytes;
    out.writes = f->writes;
  }
  return out;
}

inline SimDecode DecodeStreamThroughSim(const std::vector<uint8_t> &stream) {
  return DecodeThroughSim([&](HANDLE file) { return DecodeStream(stream.data(), (DWORD)stream.size(), file); });
}

#endif
