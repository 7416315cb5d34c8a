// Real PE files, none written here, through the encoder and the setup
// program's decoder writing through the platform layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "lz_encoder.h"
#include "module_stream.h"
#include "payload_testing.h"
#include "stream_builder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Every n-th file of the directory by name, between 4 KB and 400 KB, so that
// sizes and kinds vary.
std::vector<fs::path> CorpusFiles(size_t want) {
  std::vector<fs::path> all;
  std::error_code ec;
  for (const fs::directory_entry &e : fs::directory_iterator(QIV_WINE_PE_DIR, ec)) {
    if (!e.is_regular_file(ec)) continue;
    auto size = e.file_size(ec);
    if (ec || size < 4096 || size > 400 * 1024) continue;
    all.push_back(e.path());
  }
  std::sort(all.begin(), all.end());
  std::vector<fs::path> picked;
  if (all.size() < want) return picked;
  for (size_t i = 0; i < want; ++i) picked.push_back(all[i * all.size() / want]);
  return picked;
}

TEST(CorpusTest, RealPeFilesRoundTripThroughTheProgramsDecoder) {
  const std::vector<fs::path> files = CorpusFiles(24);
  if (files.empty()) GTEST_SKIP() << "no PE files under " << QIV_WINE_PE_DIR;
  size_t checked = 0;
  for (const fs::path &path : files) {
    SCOPED_TRACE(path.string());
    std::ifstream in(path, std::ios::binary);
    const Bytes original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(original.size(), 4096u);
    Bytes stream;
    std::string error;
    ASSERT_TRUE(qivpack::Encode(original, &stream, &error)) << error;
    sim::Reset();
    RestoreTableImage();
    SimDecode d = DecodeStreamThroughSim(stream);
    EXPECT_EQ(d.result, 1);
    ASSERT_EQ(d.bytes.size(), original.size());
    EXPECT_TRUE(d.bytes == original);
    // At most one write per flush of the staging area, plus the last.
    EXPECT_LE(d.writes.size(), original.size() / (StagingFlushAbove + 1) + 1);
    EXPECT_LE(qivpack::StreamBits(qivpack::OptimalParse(original)),
              qivpack::StreamBits(qivpack::GreedyParse(original)));
    ++checked;
  }
  RestoreTableImage();
  EXPECT_GE(checked, 20u);
}

}  // namespace
