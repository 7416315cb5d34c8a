// The setup program's module decoder: bit reader, window, staging and writes.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "module_stream.h"
#include "payload.h"
#include "payload_testing.h"
#include "stream_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

int Collect(void *context, const unsigned char *bytes, uint32_t count) {
  static_cast<Bytes *>(context)->insert(static_cast<Bytes *>(context)->end(), bytes, bytes + count);
  return 1;
}

// The decoder core over a stream, into memory.
bool Expand(const Bytes &stream, Bytes *out) {
  static unsigned char staging[StagingSize];
  out->clear();
  return ExpandStream(stream.data(), (uint32_t)stream.size(), staging, Collect, out) == 1;
}

Bytes ReadFile(const char *path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Decoder : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    RestoreTableImage();
  }
  void TearDown() override { RestoreTableImage(); }
};

// ---- Bit reader -----------------------------------------------------------

struct BitsCase {
  const char *name;
  Bytes bytes;
  std::vector<int> widths;
  std::vector<uint32_t> values;
};

TEST(BitReaderTest, TakesFieldsMostSignificantBitFirstAcrossBytes) {
  const Bytes data = {0xA5, 0x3C, 0xFF, 0x00, 0x81};  // 10100101 00111100 11111111 00000000 10000001
  const BitsCase cases[] = {
      {"single bits then a nibble", data, {1, 1, 1, 1, 4}, {1, 0, 1, 0, 0x5}},
      {"a field across a byte boundary", data, {3, 10}, {0x5, 0xA7}},
      {"32 bits then 8", data, {32, 8}, {0xA53CFF00u, 0x81}},
      {"widths 0 and below take nothing", data, {0, -3, 8, 0}, {0, 0, 0xA5, 0}},
      {"header-like then flag, position, count", data, {8, 1, 10, 4}, {0xA5, 0, 0x1E7, 0xF}},
  };
  for (const BitsCase &c : cases) {
    SCOPED_TRACE(c.name);
    BitReader reader;
    StartBitReader(&reader, c.bytes.data(), (uint32_t)c.bytes.size());
    for (size_t i = 0; i < c.widths.size(); ++i) EXPECT_EQ(ReadBits(&reader, c.widths[i]), c.values[i]) << i;
    EXPECT_EQ(reader.overrun, 0);
  }
}

TEST(BitReaderTest, StopsAtTheLastByte) {
  const Bytes data = {0xA5};
  BitReader reader;
  StartBitReader(&reader, data.data(), 1);
  EXPECT_EQ(ReadBits(&reader, 4), 0xAu);
  EXPECT_EQ(reader.overrun, 0);
  EXPECT_EQ(ReadBits(&reader, 8), 0x5u);  // the four bits that were left
  EXPECT_EQ(reader.overrun, 1);
  EXPECT_EQ(reader.next, 1u);
  EXPECT_EQ(ReadBits(&reader, 1), 0u);
  EXPECT_EQ(reader.next, 1u);
}

// ---- Tokens and window ----------------------------------------------------

struct StreamCase {
  const char *name;
  Bytes stream;
  Bytes output;
};

TEST_F(Decoder, WorkedExamplesDecodeInMemoryAndThroughTheFile) {
  const StreamCase cases[] = {
      {"literal A then a distance-1 copy of 2", {0x00, 0x00, 0x00, 0x03, 0x20, 0xFF, 0x12}, {0x41, 0x41, 0x41}},
      {"copy of two initial cells", {0x00, 0x00, 0x00, 0x02, 0x88, 0x24}, {0x41, 0x42}},
  };
  for (const StreamCase &c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out;
    EXPECT_TRUE(Expand(c.stream, &out));
    EXPECT_EQ(out, c.output);
    sim::Reset();
    SimDecode d = DecodeStreamThroughSim(c.stream);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.bytes, c.output);
    EXPECT_EQ(d.writes, std::vector<DWORD>{(DWORD)c.output.size()});
  }
}

TEST_F(Decoder, HeaderOfZeroOrLessGivesAnEmptyFileAndSuccess) {
  const int32_t headers[] = {0, -1, -136704, INT32_MIN};
  for (int32_t header : headers) {
    SCOPED_TRACE(header);
    sim::Reset();
    // What follows the header is never read: a literal that would be output.
    Bytes stream = StreamBuilder().Header(header).Literal(0x41).Bytes();
    SimDecode d = DecodeStreamThroughSim(stream);
    EXPECT_EQ(d.result, 1);
    EXPECT_TRUE(d.bytes.empty());
    EXPECT_TRUE(d.writes.empty());
    EXPECT_TRUE(sim::FileExists(kDecodedPath));
    // The header alone is a whole stream.
    Bytes out{1};
    EXPECT_TRUE(Expand(StreamBuilder().Header(header).Bytes(), &out));
    EXPECT_TRUE(out.empty());
  }
}

TEST_F(Decoder, CopyOfCountZeroTakesFifteenBitsAndProducesNothing) {
  StreamBuilder b;
  b.Header(2).Copy(123, 0).Copy(1009, 0).Literal('x').Copy(1009, 0).CopyBack(1, 1);
  ASSERT_EQ(b.BitCount(), 32u + 15 + 15 + 9 + 15 + 15);
  Bytes stream = b.Bytes();
  Bytes out;
  EXPECT_TRUE(Expand(stream, &out));
  EXPECT_EQ(out, (Bytes{'x', 'x'}));
  // Without the last byte the final copy is cut off: the stream is exactly
  // as long as fifteen bits per empty copy make it.
  stream.pop_back();
  EXPECT_FALSE(Expand(stream, &out));
}

TEST_F(Decoder, PositionTenTenAfterTenTwentyFourBytesRepeatsTheByteTenTwentyFourBack) {
  Bytes first(1024 + 7);
  uint32_t x = 12345;
  for (uint8_t &b : first) b = (uint8_t)((x = x * 1103515245u + 12345u) >> 16);
  StreamBuilder b;
  b.Header((int32_t)first.size() + 15 + 3).Literals(first).Copy(1010, 15).Copy(1010, 3);
  Bytes out;
  ASSERT_TRUE(Expand(b.Bytes(), &out));
  ASSERT_EQ(out.size(), first.size() + 18);
  for (size_t k = first.size(); k < out.size(); ++k) EXPECT_EQ(out[k], out[k - 1024]) << k;
  EXPECT_TRUE(std::equal(first.begin(), first.end(), out.begin()));
}

TEST_F(Decoder, LiteralThenDistanceOneCopyOfFifteenGivesSixteenEqualBytes) {
  Bytes out;
  ASSERT_TRUE(Expand(StreamBuilder().Header(16).Literal(0x5A).Copy(1009, 15).Bytes(), &out));
  EXPECT_EQ(out, Bytes(16, 0x5A));
}

TEST_F(Decoder, LastCopyPastTheDeclaredLengthIsWrittenWhole) {
  SimDecode d = DecodeStreamThroughSim(StreamBuilder().Header(3).Literal(7).Copy(1009, 15).Bytes());
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.bytes, Bytes(16, 7));
}

struct PresetCase {
  const char *name;
  Bytes before;  // literals first
  unsigned position, count;
  Bytes copied;
};

TEST_F(Decoder, CopiesReachIntoTheInitialCells) {
  const PresetCase cases[] = {
      {"cells 0-14 at count 0", {}, 0, 15, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
      {"values wrap at 256", {}, 250, 10, {250, 251, 252, 253, 254, 255, 0, 1, 2, 3}},
      {"cell 1009, then the cells the copy itself fills", {}, 1009, 3, {241, 241, 241}},
      {"after three literals", {7, 8, 9}, 100, 4, {103, 104, 105, 106}},
      {"last initial cell, then the first outputs", {0x80, 0x81, 0x82, 0x83, 0x84}, 1004, 4, {241, 0x80, 0x81, 0x82}},
      {"an initial cell already overwritten holds its output",
       {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x91,
        0x92, 0x93},
       1006, 2, {0x90, 0x91}},
      {"an initial cell not yet overwritten", Bytes(20, 0xEE), 0, 3, {20, 21, 22}},
  };
  for (const PresetCase &c : cases) {
    SCOPED_TRACE(c.name);
    Bytes expected = c.before;
    expected.insert(expected.end(), c.copied.begin(), c.copied.end());
    Bytes out;
    ASSERT_TRUE(
        Expand(StreamBuilder().Header((int32_t)expected.size()).Literals(c.before).Copy(c.position, c.count).Bytes(),
               &out));
    EXPECT_EQ(out, expected);
  }
}

// ---- Truncated streams ---------------------------------------------------

// Memory whose end is followed by a page that cannot be read, so that any
// read past a stream placed at that end faults.
class GuardedBytes {
 public:
  GuardedBytes() {
    page_ = (size_t)sysconf(_SC_PAGESIZE);
    base_ = (uint8_t *)mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base_ != MAP_FAILED) mprotect(base_ + page_, page_, PROT_NONE);
  }
  ~GuardedBytes() {
    if (base_ != MAP_FAILED) munmap(base_, 2 * page_);
  }
  bool ok() const { return base_ != MAP_FAILED; }
  size_t capacity() const { return page_; }
  const uint8_t *Place(const uint8_t *bytes, size_t n) {
    uint8_t *at = base_ + page_ - n;
    if (n) std::memcpy(at, bytes, n);
    return at;
  }

 private:
  size_t page_ = 0;
  uint8_t *base_ = (uint8_t *)MAP_FAILED;
};

TEST_F(Decoder, TruncatedStreamFailsWithoutReadingPastItsEndOrWriting) {
  GuardedBytes guard;
  ASSERT_TRUE(guard.ok());
  StreamBuilder b;
  b.Header(40).Literal(1).Copy(1009, 15).Copy(0, 0).Literal(0xFF).CopyBack(3, 14).Copy(500, 9);
  const Bytes stream = b.Bytes();
  ASSERT_LE(stream.size(), guard.capacity());
  {
    SimDecode whole = DecodeStreamThroughSim(stream);
    ASSERT_EQ(whole.result, 1);
    ASSERT_EQ(whole.bytes.size(), 40u);
  }
  for (size_t n = 0; n < stream.size(); ++n) {
    SCOPED_TRACE(n);
    sim::Reset();
    const uint8_t *at = guard.Place(stream.data(), n);
    SimDecode d = DecodeThroughSim([&](HANDLE file) { return DecodeStream(at, (DWORD)n, file); });
    EXPECT_EQ(d.result, 0);
    EXPECT_TRUE(d.writes.empty());
  }
}

TEST_F(Decoder, TruncatedStreamAfterAFlushStopsWithoutAFurtherWrite) {
  const size_t n = StagingFlushAbove + 1 + 500;
  StreamBuilder b;
  b.Header((int32_t)n);
  for (size_t i = 0; i < n; ++i) b.Literal((uint8_t)(i * 7));
  Bytes stream = b.Bytes();
  stream.resize(stream.size() - 100);
  SimDecode d = DecodeStreamThroughSim(stream);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.writes, std::vector<DWORD>{(DWORD)StagingFlushAbove + 1});
}

// ---- Staging and writes ---------------------------------------------------

struct FlushCase {
  const char *name;
  size_t literals;
  unsigned copyCount;      // a distance-1 copy after the literals, 0 for none
  size_t literalsAfter;
  std::vector<DWORD> writes;
};

TEST_F(Decoder, StagingIsWrittenWhenMoreThan71922BytesArePending) {
  const FlushCase cases[] = {
      {"exactly the threshold: one write at the end", 71922, 0, 0, {71922}},
      {"one more: still one write, nothing follows", 71923, 0, 0, {71923}},
      {"a token after 71,923 pending flushes them", 71924, 0, 0, {71923, 1}},
      {"a copy at the threshold fills up to 71,937", 71922, 15, 1, {71937, 1}},
      {"two flushes", 2 * 71923 + 5, 0, 0, {71923, 71923, 5}},
  };
  for (const FlushCase &c : cases) {
    SCOPED_TRACE(c.name);
    sim::Reset();
    Bytes expected;
    StreamBuilder body;
    for (size_t i = 0; i < c.literals; ++i) expected.push_back((uint8_t)(i * 7 + i / 251));
    body.Literals(expected);
    if (c.copyCount) {
      body.CopyBack(1, c.copyCount);
      expected.insert(expected.end(), c.copyCount, expected.back());
    }
    for (size_t i = 0; i < c.literalsAfter; ++i) {
      body.Literal((uint8_t)(0xC0 + i));
      expected.push_back((uint8_t)(0xC0 + i));
    }
    StreamBuilder b;
    b.Header((int32_t)expected.size());
    Bytes stream = b.Bytes(), tokens = body.Bytes();
    // The header is 32 bits, so the tokens start on a byte boundary.
    stream.insert(stream.end(), tokens.begin(), tokens.end());
    SimDecode d = DecodeStreamThroughSim(stream);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.writes, c.writes);
    EXPECT_TRUE(d.bytes == expected);
  }
}

// ---- The shipped module ---------------------------------------------------

TEST_F(Decoder, ShippedModuleDecodesInTwoWritesToTheBuiltModule) {
  const Bytes built = ReadFile(QIV_BUILT_MODULE);
  ASSERT_EQ(built.size(), 136704u);
  SimDecode d = DecodeThroughSim(DecodeModule);
  EXPECT_EQ(d.result, 1);
  ASSERT_EQ(d.writes.size(), 2u);
  EXPECT_GT(d.writes[0], (DWORD)StagingFlushAbove);
  EXPECT_LE(d.writes[0], (DWORD)StagingFlushAbove + MaxCopyCount);
  EXPECT_EQ(d.writes[0] + d.writes[1], 136704u);
  ASSERT_EQ(d.bytes.size(), 136704u);
  EXPECT_EQ(d.bytes[0], 'M');
  EXPECT_EQ(d.bytes[1], 'Z');
  EXPECT_TRUE(d.bytes == built);
}

TEST_F(Decoder, ShippedStreamHeaderDeclaresTheModuleLength) {
  ASSERT_GE(ModuleStreamSize, 4u);
  uint32_t declared = (uint32_t)ModuleStream[0] << 24 | ModuleStream[1] << 16 | ModuleStream[2] << 8 | ModuleStream[3];
  EXPECT_EQ(declared, 136704u);
  EXPECT_TRUE(ReadFile(QIV_MODULE_STREAM_FILE) == Bytes(ModuleStream, ModuleStream + ModuleStreamSize));
}

TEST_F(Decoder, StagesThroughTheTableImage) {
  ASSERT_TRUE(TableImageIntact());
  SimDecode d = DecodeThroughSim(DecodeModule);
  ASSERT_EQ(d.result, 1);
  ASSERT_EQ(d.writes.size(), 2u);
  EXPECT_FALSE(TableImageIntact());
  // The last bytes staged are still there.
  EXPECT_EQ(0, std::memcmp(TableImage, d.bytes.data() + d.writes[0], d.writes[1]));
  RestoreTableImage();
  EXPECT_TRUE(TableImageIntact());
}

TEST_F(Decoder, DecodingTwiceGivesTheSameFile) {
  SimDecode first = DecodeThroughSim(DecodeModule);
  SimDecode second = DecodeThroughSim(DecodeModule);
  EXPECT_EQ(first.result, 1);
  EXPECT_EQ(second.result, 1);
  EXPECT_EQ(second.writes, first.writes);
  EXPECT_TRUE(second.bytes == first.bytes);
}

struct WriteFaultCase {
  const char *name;
  int nth;
  long long diskFree;  // < 0: unlimited
  int writeCalls;      // WriteFile calls the decoder made
  size_t fileBytes;
};

TEST_F(Decoder, FailedWriteReturnsFailureAtOnce) {
  SimDecode good = DecodeThroughSim(DecodeModule);
  ASSERT_EQ(good.writes.size(), 2u);
  const size_t first = good.writes[0];
  const WriteFaultCase cases[] = {
      {"first write fails", 1, -1, 1, 0},
      {"second write fails", 2, -1, 2, first},
      {"disk full at the first write", 0, 1000, 1, 1000},
      {"disk full at the second write", 0, (long long)first + 10, 2, first + 10},
  };
  for (const WriteFaultCase &c : cases) {
    SCOPED_TRACE(c.name);
    sim::Reset();
    HANDLE file = CreateFileA(kDecodedPath, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    if (c.nth) {
      sim::M().plan.function = "WriteFile";
      sim::M().plan.nth = c.nth;
    }
    sim::M().diskFree = c.diskFree;
    EXPECT_EQ(DecodeModule(file), 0);
    EXPECT_EQ(sim::CountOf("WriteFile"), c.writeCalls);
    CloseHandle(file);
    EXPECT_EQ(sim::FindFile(kDecodedPath)->bytes.size(), c.fileBytes);
    // Decoding again after the failure writes the whole module from its start.
    sim::M().plan = sim::FaultPlan();
    sim::M().diskFree = -1;
    SimDecode again = DecodeThroughSim(DecodeModule);
    EXPECT_EQ(again.result, 1);
    EXPECT_TRUE(again.bytes == good.bytes);
  }
}

}  // namespace
