// Throughput of the module decoder and of the optimal encoder on a real PE
// file of about the module's size (136,704 bytes), chosen at run time.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "lz_encoder.h"
#include "module_stream.h"
#include "pe_files.h"

namespace {

struct Sample {
  std::string path;
  qivpack::Bytes bytes, stream;
};

const Sample &TheSample() {
  static const Sample sample = [] {
    Sample s;
    s.path = bench::FileNearestInSize(136704);
    if (!s.path.empty() && qivpack::ReadWholeFile(s.path, &s.bytes)) {
      std::string error;
      if (!qivpack::Encode(s.bytes, &s.stream, &error)) s.bytes.clear();
    }
    return s;
  }();
  return sample;
}

int Discard(void *, const unsigned char *, uint32_t) { return 1; }

unsigned char staging[StagingSize];

void BM_Decode(benchmark::State &state) {
  const Sample &s = TheSample();
  if (s.bytes.empty()) {
    state.SkipWithError(("no PE file under " + bench::PeDirectory()).c_str());
    return;
  }
  for (auto _ : state) {
    int ok = ExpandStream(s.stream.data(), (uint32_t)s.stream.size(), staging, Discard, nullptr);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(staging[0]);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)s.bytes.size());
  state.SetLabel(s.path.substr(s.path.rfind('/') + 1) + ", " + std::to_string(s.bytes.size()) + " bytes out");
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMicrosecond);

void BM_Encode(benchmark::State &state) {
  const Sample &s = TheSample();
  if (s.bytes.empty()) {
    state.SkipWithError(("no PE file under " + bench::PeDirectory()).c_str());
    return;
  }
  for (auto _ : state) {
    qivpack::Bytes stream;
    std::string error;
    benchmark::DoNotOptimize(qivpack::Encode(s.bytes, &stream, &error));
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)s.bytes.size());
  state.SetLabel(s.path.substr(s.path.rfind('/') + 1) + ", " + std::to_string(s.bytes.size()) + " bytes in");
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

// The two halves of the encoder.
void BM_MatchFinder(benchmark::State &state) {
  const Sample &s = TheSample();
  if (s.bytes.empty()) {
    state.SkipWithError(("no PE file under " + bench::PeDirectory()).c_str());
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(qivpack::LongestMatches(s.bytes).data());
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)s.bytes.size());
}
BENCHMARK(BM_MatchFinder)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
