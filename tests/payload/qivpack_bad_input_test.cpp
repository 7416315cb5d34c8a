// qivpack decode on input that is not a whole stream: empty files, files
// that end inside the header, every cut of a real stream, random files. A
// refused input ends with a non-zero exit status (never a signal) and one
// line on standard error, and no output file; an input that happens to be a
// valid stream decodes to what the reference decoder reads from it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "lz_encoder.h"
#include "scratch_dir.h"
#include "reference_model.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Outcome {
  bool exited = false;  // ended by exit, not by a signal
  int status = -1;      // its exit status
  int signal = 0;
  std::string err;
};

class QivpackBadInput : public ScratchDir {
 protected:

  // qivpack decode IN OUT, started directly (no shell between), so that a
  // signal that ends it is seen as a signal.
  Outcome Decode(const std::string &in, const std::string &out) const {
    Outcome o;
    const std::string errPath = File("err");
    pid_t pid = fork();
    if (pid == 0) {
      int null = open("/dev/null", O_WRONLY);
      int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (null < 0 || err < 0) _exit(126);
      dup2(null, 1);
      dup2(err, 2);
      execl(QIV_QIVPACK, QIV_QIVPACK, "decode", in.c_str(), out.c_str(), (char *)nullptr);
      _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return o;
    o.exited = WIFEXITED(status);
    o.status = o.exited ? WEXITSTATUS(status) : -1;
    o.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    std::ifstream e(errPath, std::ios::binary);
    o.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
    return o;
  }

  // A stream file qivpack has to refuse: a non-zero exit, one line naming
  // the input, no output and no partial output.
  void ExpectRefused(const std::string &in) const {
    const std::string out = File("out");
    RemoveOutput();
    Outcome o = Decode(in, out);
    ASSERT_TRUE(o.exited) << "ended by signal " << o.signal;
    EXPECT_NE(o.status, 0);
    EXPECT_LT(o.status, 126) << "the command did not run";
    ASSERT_FALSE(o.err.empty());
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_EQ(o.err.rfind("qivpack: ", 0), 0u) << o.err;
    EXPECT_NE(o.err.find(in), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".part"));
  }

  // Any bytes: refused when the reference finds them short or reading a
  // cell that holds nothing, else decoded to the reference's bytes. Returns
  // whether they were a valid stream.
  bool ExpectAsReference(const Bytes &stream) {
    Write("in", stream);
    const reference::Decoded want = reference::Decode(stream);
    if (want.truncated || want.undefinedRead) {
      ExpectRefused(File("in"));
      return false;
    }
    RemoveOutput();
    Outcome o = Decode(File("in"), File("out"));
    EXPECT_TRUE(o.exited) << "ended by signal " << o.signal;
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_TRUE(fs::exists(File("out")));
    EXPECT_EQ(Read("out"), want.output);
    EXPECT_FALSE(fs::exists(File("out.part")));
    return true;
  }

  // Every case starts without output, whatever the case before left.
  void RemoveOutput() const {
    fs::remove(File("out"));
    fs::remove(File("out.part"));
  }

};

Bytes Header(uint32_t declared) {
  return {(uint8_t)(declared >> 24), (uint8_t)(declared >> 16), (uint8_t)(declared >> 8), (uint8_t)declared};
}

Bytes RealStream() {
  Bytes input;
  for (int i = 0; i < 400; ++i) input.push_back((uint8_t)("qivpack decodes "[i % 16] ^ (i / 50)));
  Bytes stream;
  std::string error;
  EXPECT_TRUE(qivpack::Encode(input, &stream, &error)) << error;
  return stream;
}

struct ShortFile {
  const char *name;
  Bytes bytes;
};

TEST_F(QivpackBadInput, FilesEndingInsideTheHeaderOrRightAfterItAreRefused) {
  Bytes headerOnly = Header(5);
  Bytes oneLiteralShort = Header(2);
  oneLiteralShort.push_back(0x20);  // a literal's flag and 7 of its 8 bits
  const ShortFile cases[] = {
      {"empty", {}},
      {"one byte", {0x00}},
      {"three bytes", {0x00, 0x00, 0x01}},
      {"a header declaring 5 and nothing after it", headerOnly},
      {"a header declaring the largest length", Header(0x7FFFFFFF)},
      {"a literal cut short", oneLiteralShort},
  };
  for (const ShortFile &c : cases) {
    SCOPED_TRACE(c.name);
    Write("in", c.bytes);
    ExpectRefused(File("in"));
  }
}

TEST_F(QivpackBadInput, EveryCutOfARealStreamIsRefused) {
  const Bytes stream = RealStream();
  ASSERT_GT(stream.size(), 8u);
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    SCOPED_TRACE("first " + std::to_string(cut) + " of " + std::to_string(stream.size()) + " bytes");
    const Bytes part(stream.begin(), stream.begin() + (long)cut);
    const reference::Decoded d = reference::Decode(part);
    ASSERT_TRUE(d.truncated) << "the cut decodes whole: not a test of a cut";
    Write("in", part);
    ExpectRefused(File("in"));
  }
}

struct RandomFiles {
  const char *name;
  size_t minSize, maxSize;
  bool positiveHeader;  // the header replaced by a length from 1 to 5,000
  int count;
};

TEST_F(QivpackBadInput, RandomFilesAreRefusedOrDecodedAsTheReferenceReadsThem) {
  const RandomFiles cases[] = {
      {"any bytes", 0, 48, false, 60},
      {"any bytes after a positive header", 4, 96, true, 60},
      {"long files after a positive header", 200, 700, true, 20},
  };
  std::mt19937 random(20240611);
  int valid = 0, refused = 0;
  for (const RandomFiles &c : cases) {
    for (int i = 0; i < c.count; ++i) {
      Bytes file(std::uniform_int_distribution<size_t>(c.minSize, c.maxSize)(random));
      for (uint8_t &b : file) b = (uint8_t)random();
      if (c.positiveHeader) {
        const Bytes h = Header(std::uniform_int_distribution<uint32_t>(1, 5000)(random));
        std::copy(h.begin(), h.end(), file.begin());
      }
      SCOPED_TRACE(std::string(c.name) + ", file " + std::to_string(i) + " of " +
                   std::to_string(file.size()) + " bytes");
      (ExpectAsReference(file) ? valid : refused) += 1;
      if (HasFatalFailure()) return;
    }
  }
  // Both kinds occur among them (a header of 0 or less is a valid stream).
  EXPECT_GT(valid, 0);
  EXPECT_GT(refused, 0);
}

struct EmptyStream {
  const char *name;
  int32_t declared;
  Bytes after;  // bytes after the header, never read
};

TEST_F(QivpackBadInput, HeadersOfZeroOrLessDecodeToAnEmptyFile) {
  const EmptyStream cases[] = {
      {"zero", 0, {}},
      {"minus one, then bytes", -1, {0xFF, 0x12}},
      {"the smallest length", INT32_MIN, {0x00}},
  };
  for (const EmptyStream &c : cases) {
    SCOPED_TRACE(c.name);
    Bytes stream = Header((uint32_t)c.declared);
    stream.insert(stream.end(), c.after.begin(), c.after.end());
    EXPECT_TRUE(ExpectAsReference(stream));
    EXPECT_TRUE(Read("out").empty());
  }
}

TEST_F(QivpackBadInput, ADirectoryAsInputIsRefused) {
  fs::create_directory(File("folder"));
  ExpectRefused(File("folder"));
}

}  // namespace
