// Fuzz target: the setup program's module decoder over any stream, writing
// through the simulated platform into a file, against a reference decoder
// written here from the stream format.
//
// The input is the stream itself, copied into a heap block of exactly its
// size so that AddressSanitizer stops any read past its end. Checked:
//   - a stream too short for its header, or whose tokens end before the
//     declared length, fails, and what it wrote is the start of the
//     reference output;
//   - a header of 0 or less succeeds with an empty file and no write;
//   - a complete stream succeeds with exactly the reference bytes (bytes
//     drawn from the window cells that hold nothing at the start are not
//     compared: their content is the decoder's choice), never more than the
//     declared length plus 14;
//   - the file is written in pieces of more than 71,922 bytes, each at most
//     71,937, and one last piece;
//   - a second decode writes the same file;
//   - a write that fails ends the decode at once with failure.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "payload.h"
#include "sim/sim.h"

// The payload images decode_module.cpp refers to. The table image is only
// the decoder's staging area here; the module stream is never decoded.
unsigned char TableImage[TableImageSize];
const unsigned char ModuleStream[] = {0, 0, 0, 0};
const DWORD ModuleStreamSize = sizeof ModuleStream;

namespace {

constexpr int kUnknown = -1;  // a byte copied from a cell that held nothing
constexpr uint64_t kFlushAbove = 71922;
constexpr uint64_t kLargestWrite = kFlushAbove + 15;

struct Reference {
  bool headerShort = false;
  int32_t declared = 0;
  bool truncated = false;    // the tokens end before the declared length
  std::vector<int> output;   // byte values, or kUnknown
};

// One bit at a time: bits in increasing byte order, each byte from its top
// bit down; a 1,024-cell window whose cells 0-1009 start as i mod 256 and
// 1010-1023 as nothing; output byte n stored in cell (n + 1010) mod 1024;
// a copy's k-th byte read from cell (n + P + k) mod 1024 before it stores.
Reference Decode(const uint8_t *stream, size_t size) {
  Reference r;
  uint64_t bit = 0;
  const uint64_t bits = (uint64_t)size * 8;
  auto take = [&](int n, uint32_t *value) {
    *value = 0;
    for (int i = 0; i < n; ++i, ++bit) {
      if (bit >= bits) return false;
      *value = (*value << 1) | ((stream[bit / 8] >> (7 - bit % 8)) & 1u);
    }
    return true;
  };
  uint32_t header;
  if (!take(32, &header)) {
    r.headerShort = true;
    return r;
  }
  r.declared = (int32_t)header;
  int window[1024];
  for (int i = 0; i < 1024; ++i) window[i] = i < 1010 ? i % 256 : kUnknown;
  uint64_t n = 0;
  while ((int64_t)n < (int64_t)r.declared) {
    uint32_t flag, a, b;
    if (!take(1, &flag)) {
      r.truncated = true;
      return r;
    }
    if (flag) {
      if (!take(10, &a) || !take(4, &b)) {
        r.truncated = true;
        return r;
      }
      for (uint32_t k = 0; k < b; ++k, ++n) {
        int v = window[(n + a) % 1024];
        window[(n + 1010) % 1024] = v;
        r.output.push_back(v);
      }
    } else {
      if (!take(8, &a)) {
        r.truncated = true;
        return r;
      }
      window[(n + 1010) % 1024] = (int)a;
      r.output.push_back((int)a);
      ++n;
    }
  }
  return r;
}

const char kSink[] = "C:\\WINDOWS\\SYSTEM\\qiv95.ime";

struct Run {
  int result = 0;
  sim::Bytes bytes;
  std::vector<DWORD> writes;  // sizes of the writes that reached the file
  int writeCalls = 0;
};

// A fresh machine; the file opened as the setup program opens the module;
// the decoder; the file closed. failWrite > 0 fails that WriteFile call.
Run DecodeThroughPlatform(const unsigned char *stream, DWORD size, int failWrite) {
  sim::Reset();
  if (failWrite > 0) {
    sim::M().plan.function = "WriteFile";
    sim::M().plan.nth = failWrite;
    sim::M().plan.count = 1;
  }
  HANDLE file = CreateFileA(kSink, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
  FUZZ_CHECK(file != INVALID_HANDLE_VALUE, "the sink file cannot be opened");
  Run run;
  run.result = DecodeStream(stream, size, file);
  CloseHandle(file);
  const sim::File *f = sim::FindFile(kSink);
  FUZZ_CHECK(f != nullptr, "the sink file is gone");
  run.bytes = f->bytes;
  run.writes = f->writes;
  run.writeCalls = sim::CountOf("WriteFile");
  FUZZ_CHECK(sim::OpenFileCount() == 0, "a handle is left open");
  return run;
}

// Whether the bytes agree with the reference output over its known bytes.
bool Agrees(const sim::Bytes &bytes, const std::vector<int> &reference, size_t *at) {
  for (size_t i = 0; i < bytes.size() && i < reference.size(); ++i)
    if (reference[i] != kUnknown && reference[i] != bytes[i]) {
      *at = i;
      return false;
    }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Exactly the stream's size: one byte more read is a heap overflow.
  std::unique_ptr<unsigned char[]> stream(new unsigned char[size]);
  if (size) memcpy(stream.get(), data, size);
  const Reference ref = Decode(data, size);
  const Run run = DecodeThroughPlatform(stream.get(), (DWORD)size, 0);
  size_t at = 0;

  // What reached the file is what was asked to be written.
  uint64_t asked = 0;
  for (DWORD w : run.writes) asked += w;
  FUZZ_CHECK(asked == run.bytes.size() && (int)run.writes.size() == run.writeCalls,
             "%zu bytes in the file, %llu in %zu writes", run.bytes.size(), (unsigned long long)asked,
             run.writes.size());

  if (ref.headerShort) {
    FUZZ_CHECK(run.result == 0, "a %zu-byte stream has no whole header", size);
    FUZZ_CHECK(run.writeCalls == 0, "%d writes for a stream without a header", run.writeCalls);
    return 0;
  }
  if (ref.declared <= 0) {
    FUZZ_CHECK(run.result == 1, "header %d: the decode failed", (int)ref.declared);
    FUZZ_CHECK(run.writeCalls == 0, "header %d: %d writes", (int)ref.declared, run.writeCalls);
    return 0;
  }

  const uint64_t bound = (uint64_t)ref.declared + 14;
  FUZZ_CHECK(run.bytes.size() <= bound, "%zu bytes written for a declared %d", run.bytes.size(),
             (int)ref.declared);
  FUZZ_CHECK(Agrees(run.bytes, ref.output, &at), "byte %zu is %u, the reference has %d", at,
             (unsigned)run.bytes[at], ref.output[at]);
  for (size_t i = 0; i < run.writes.size(); ++i) {
    const bool last = i + 1 == run.writes.size();
    FUZZ_CHECK(run.writes[i] <= kLargestWrite && (last && !ref.truncated ? run.writes[i] > 0
                                                                          : run.writes[i] > kFlushAbove),
               "write %zu of %zu has %u bytes", i + 1, run.writes.size(), (unsigned)run.writes[i]);
  }
  if (ref.truncated) {
    FUZZ_CHECK(run.result == 0, "a stream ending after %zu of %d bytes decoded", ref.output.size(),
               (int)ref.declared);
    FUZZ_CHECK(run.bytes.size() <= ref.output.size(), "%zu bytes written, the tokens give %zu",
               run.bytes.size(), ref.output.size());
  } else {
    FUZZ_CHECK(run.result == 1, "a complete stream of %zu bytes failed", ref.output.size());
    FUZZ_CHECK(run.bytes.size() == ref.output.size(), "%zu bytes written, the reference has %zu",
               run.bytes.size(), ref.output.size());
  }

  // The decoder starts afresh every time: the same file again.
  const Run again = DecodeThroughPlatform(stream.get(), (DWORD)size, 0);
  FUZZ_CHECK(again.result == run.result && again.bytes == run.bytes && again.writes == run.writes,
             "a second decode gives %d and %zu bytes, the first %d and %zu", again.result,
             again.bytes.size(), run.result, run.bytes.size());

  // A failed write ends the decode at once, with the writes before it in the
  // file and nothing after it.
  if (!run.writes.empty()) {
    const int fail = 1 + (int)(size % run.writes.size());
    const Run faulted = DecodeThroughPlatform(stream.get(), (DWORD)size, fail);
    size_t written = 0;
    for (int i = 0; i + 1 < fail; ++i) written += run.writes[i];
    const sim::Bytes before(run.bytes.begin(), run.bytes.begin() + written);
    FUZZ_CHECK(faulted.result == 0, "write %d failed and the decode succeeded", fail);
    FUZZ_CHECK(faulted.writeCalls == fail, "write %d failed, %d writes made", fail, faulted.writeCalls);
    FUZZ_CHECK(faulted.bytes == before, "write %d failed: %zu bytes in the file, %zu expected", fail,
               faulted.bytes.size(), before.size());
  }
  return 0;
}
