// The qivpack command.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "lz_encoder.h"
#include "scratch_dir.h"
#include "stream_builder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class QivpackCommand : public ScratchDir {
 protected:
  std::string Text(const std::string &name) const {
    Bytes b = Read(name);
    return std::string(b.begin(), b.end());
  }
  // Exit status of `qivpack ARGS`, output in "out", errors in "err".
  int Run(const std::string &args) const {
    std::string command = std::string(QIV_QIVPACK) + " " + args + " >" + File("out") + " 2>" + File("err");
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::map<std::string, std::string> Stat(const std::string &name) const {
    std::map<std::string, std::string> fields;
    std::istringstream in(Text("out"));
    std::string line;
    while (std::getline(in, line)) {
      size_t colon = line.find(": ");
      EXPECT_NE(colon, std::string::npos) << line;
      if (colon != std::string::npos) fields[line.substr(0, colon)] = line.substr(colon + 2);
    }
    (void)name;
    return fields;
  }

};

Bytes Sample() {
  Bytes b;
  for (int i = 0; i < 5000; ++i) b.push_back((uint8_t)((i * i) >> 3 ^ (i % 7 ? 0 : i)));
  return b;
}

TEST_F(QivpackCommand, EncodeThenDecodeGivesTheInputBack) {
  Write("in", Sample());
  ASSERT_EQ(Run("encode " + File("in") + " " + File("in.qvz")), 0) << Text("err");
  ASSERT_EQ(Run("decode " + File("in.qvz") + " " + File("back")), 0) << Text("err");
  EXPECT_EQ(Read("back"), Sample());
  Bytes stream;
  std::string error;
  ASSERT_TRUE(qivpack::Encode(Sample(), &stream, &error));
  EXPECT_EQ(Read("in.qvz"), stream);
}

TEST_F(QivpackCommand, StatReportsDeclaredProducedTokensAndBits) {
  StreamBuilder b;
  b.Header(21).Literal(0x41).Copy(1009, 15).Copy(7, 0).Copy(300, 5);
  Write("s", b.Bytes());
  ASSERT_EQ(Run("stat " + File("s")), 0) << Text("err");
  auto f = Stat("out");
  EXPECT_EQ(f["declared"], "21");
  EXPECT_EQ(f["produced"], "21");
  EXPECT_EQ(f["literals"], "1");
  EXPECT_EQ(f["copies"], "3");
  EXPECT_EQ(f["copy_counts"], "0..15");
  EXPECT_EQ(f["copy_positions"], "7..1009");
  EXPECT_EQ(f["total_bits"], std::to_string(32 + 9 + 3 * 15));
  EXPECT_EQ(f["stream_bytes"], std::to_string(b.Bytes().size()));
  EXPECT_EQ(f["status"], "ok");
}

TEST_F(QivpackCommand, StatOfTheShippedStreamShowsTheModuleLength) {
  ASSERT_EQ(Run(std::string("stat ") + QIV_MODULE_STREAM_FILE), 0) << Text("err");
  auto f = Stat("out");
  EXPECT_EQ(f["declared"], "136704");
  EXPECT_EQ(f["produced"], "136704");
  EXPECT_EQ(f["status"], "ok");
}

struct BadStream {
  const char *name;
  Bytes stream;
  const char *says;  // part of the message
};

TEST_F(QivpackCommand, DecodeRefusesUndecodableStreamsWithOneLineAndNoOutput) {
  Bytes whole = StreamBuilder().Header(40).Literal(1).Copy(1009, 15).Literal(2).Copy(1009, 15).Bytes();
  const BadStream cases[] = {
      {"ends inside the header", {0x00, 0x00}, "header"},
      {"ends before the declared length", Bytes(whole.begin(), whole.end() - 3), "ends after"},
      {"declares more than its tokens give", StreamBuilder().Header(1000).Literal(1).Bytes(), "ends after"},
      {"reads a cell that holds no byte", StreamBuilder().Header(2).Copy(1015, 2).Bytes(), "window cell"},
  };
  for (const BadStream &c : cases) {
    SCOPED_TRACE(c.name);
    Write("bad", c.stream);
    fs::remove(File("dec"));
    EXPECT_NE(Run("decode " + File("bad") + " " + File("dec")), 0);
    EXPECT_FALSE(fs::exists(File("dec")));
    EXPECT_FALSE(fs::exists(File("dec.part")));
    std::string err = Text("err");
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_NE(err.find(File("bad")), std::string::npos) << err;
    EXPECT_NE(Run("stat " + File("bad")), 0);
  }
}

TEST_F(QivpackCommand, WrongUsageAndMissingFilesFail) {
  EXPECT_NE(Run(""), 0);
  EXPECT_NE(Run("squeeze a b"), 0);
  EXPECT_NE(Run("decode " + File("missing") + " " + File("x")), 0);
  EXPECT_FALSE(fs::exists(File("x")));
}

}  // namespace
