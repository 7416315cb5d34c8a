// qivpack: the module stream at the command line.
//   qivpack encode IN OUT   the optimal stream of IN, checked by decoding it
//   qivpack decode IN OUT   the bytes a stream decodes to
//   qivpack stat IN         what a stream declares, holds and produces
#include <cstdio>
#include <cstring>
#include <string>

#include "file_io.h"
#include "lz_encoder.h"
#include "module_stream.h"

using qivpack::Bytes;

namespace {

int Fail(const std::string &message) {
  std::fprintf(stderr, "qivpack: %s\n", message.c_str());
  return 1;
}

int AppendStaged(void *context, const unsigned char *bytes, uint32_t count) {
  Bytes *out = static_cast<Bytes *>(context);
  out->insert(out->end(), bytes, bytes + count);
  return 1;
}

// Decodes with the setup program's own decoder, and refuses what that
// decoder would refuse or what only decodes by reading undefined cells.
bool Decode(const Bytes &stream, Bytes *out, std::string *problem) {
  qivpack::Scan scan = qivpack::ScanStream(stream.data(), stream.size(), false);
  if (scan.status != qivpack::Scan::Ok) {
    *problem = scan.Describe();
    return false;
  }
  static unsigned char staging[StagingSize];
  out->clear();
  if (!ExpandStream(stream.data(), (uint32_t)stream.size(), staging, AppendStaged, out)) {
    *problem = "the decoder refused the stream";
    return false;
  }
  if (out->size() != scan.produced) {
    *problem = "decoder and stream reader disagree on the output length";
    return false;
  }
  return true;
}

int EncodeCommand(const std::string &in, const std::string &out) {
  Bytes input, stream, check;
  if (!qivpack::ReadWholeFile(in, &input)) return Fail(in + ": cannot read");
  std::string error;
  if (!qivpack::Encode(input, &stream, &error)) return Fail(in + ": " + error);
  if (!Decode(stream, &check, &error)) return Fail(in + ": encoded stream does not decode: " + error);
  if (check != input) return Fail(in + ": encoded stream decodes to different bytes");
  if (!qivpack::WriteWholeFile(out, stream)) return Fail(out + ": cannot write");
  return 0;
}

int DecodeCommand(const std::string &in, const std::string &out) {
  Bytes stream, output;
  if (!qivpack::ReadWholeFile(in, &stream)) return Fail(in + ": cannot read");
  std::string problem;
  if (!Decode(stream, &output, &problem)) return Fail(in + ": " + problem);
  if (!qivpack::WriteWholeFile(out, output)) return Fail(out + ": cannot write");
  return 0;
}

int StatCommand(const std::string &in) {
  Bytes stream;
  if (!qivpack::ReadWholeFile(in, &stream)) return Fail(in + ": cannot read");
  qivpack::Scan s = qivpack::ScanStream(stream.data(), stream.size(), false);
  std::printf("stream_bytes: %zu\n", s.streamBytes);
  std::printf("declared: %ld\n", (long)s.declared);
  std::printf("produced: %llu\n", (unsigned long long)s.produced);
  std::printf("literals: %llu\n", (unsigned long long)s.literals);
  std::printf("copies: %llu\n", (unsigned long long)s.copies);
  if (s.copies) {
    std::printf("copy_counts: %u..%u\n", s.minCount, s.maxCount);
    std::printf("copy_positions: %u..%u\n", s.minPosition, s.maxPosition);
    std::printf("copy_distances: %u..%u\n", s.minDistance, s.maxDistance);
  } else {
    std::printf("copy_counts: none\ncopy_positions: none\ncopy_distances: none\n");
  }
  std::printf("total_bits: %llu\n", (unsigned long long)s.bits);
  std::printf("trailing_bytes: %zu\n", s.streamBytes - s.bytesUsed);
  std::printf("status: %s\n", s.Describe().c_str());
  return s.status == qivpack::Scan::Ok ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: qivpack encode IN OUT\n"
               "       qivpack decode IN OUT\n"
               "       qivpack stat IN\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "encode" && argc == 4) return EncodeCommand(argv[2], argv[3]);
  if (command == "decode" && argc == 4) return DecodeCommand(argv[2], argv[3]);
  if (command == "stat" && argc == 3) return StatCommand(argv[2]);
  return Usage();
}
