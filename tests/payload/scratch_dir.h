// A scratch directory of one test, with small file helpers.
#ifndef QIV_TESTS_SCRATCH_DIR_H
#define QIV_TESTS_SCRATCH_DIR_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class ScratchDir : public ::testing::Test {
 protected:
  using Bytes = std::vector<uint8_t>;

  void SetUp() override {
    char pattern[] = "/tmp/qivpack_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string File(const std::string &name) const { return (dir_ / name).string(); }
  void Write(const std::string &name, const Bytes &bytes) const {
    std::ofstream(File(name), std::ios::binary).write((const char *)bytes.data(), (std::streamsize)bytes.size());
  }
  Bytes Read(const std::string &name) const {
    std::ifstream in(File(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
};

#endif
