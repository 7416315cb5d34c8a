// The payload set as compiled into the setup program.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "lz_encoder.h"
#include "module_stream.h"
#include "payload.h"
#include "payload_testing.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const char *path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> TemplateLines() {
  std::string text((const char *)PhraseTemplate, PhraseTemplateSize);
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

TEST(PhraseTemplateTest, IsTwentyEightLinesJoinedByCrLf) {
  EXPECT_EQ(sizeof PhraseTemplate, 1022u);
  std::vector<std::string> lines = TemplateLines();
  ASSERT_EQ(lines.size(), 28u);
  for (const std::string &line : lines) {
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
  }
  EXPECT_FALSE(lines.back().empty());  // nothing after the last line
}

TEST(PhraseTemplateTest, IsWellFormedBig5) {
  for (size_t i = 0; i < PhraseTemplateSize; ++i) {
    uint8_t c = PhraseTemplate[i];
    if (c < 0x80) continue;
    ASSERT_TRUE(c >= 0x81 && c <= 0xFE) << i;
    ASSERT_LT(i + 1, (size_t)PhraseTemplateSize);
    uint8_t t = PhraseTemplate[++i];
    EXPECT_TRUE((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE)) << i;
  }
}

TEST(PhraseTemplateTest, LinesAreAsTheTemplateLaysThemOut) {
  std::vector<std::string> lines = TemplateLines();
  ASSERT_EQ(lines.size(), 28u);
  struct Exact {
    int line;
    const char *text;
  };
  const Exact exact[] = {
      {3, ""},
      {4, "KOK 珵"},
      {5, ""},
      {7, ""},
      {8, "QIV Tavrin輸入法"},
      {9, " "},
      {10, " 可用的字根有 A-Z , . ' [ ] - / ; 0-9 ，但第一個字根一定要 A-Z,.'[]"},
      {12, ""},
      {13, "QIV1 Tavrin輸入法練習版"},
      {14, ""},
      {18, ""},
      {19, "A; Tavrin資訊有限公司"},
      {20, "B; ㄅㄧㄤˋ"},
      {21, "S; ㄙㄨㄥˊ"},
      {22, ""},
      {28, " ================ 接下來就看你的了 :)=============================="},
  };
  for (const Exact &e : exact) EXPECT_EQ(lines[e.line - 1], e.text) << "line " << e.line;
  // Prose: one space, then text; the module skips lines beginning with a blank.
  for (int line : {1, 2, 6, 11, 15, 16, 17, 23, 24, 25, 26, 27}) {
    const std::string &s = lines[line - 1];
    ASSERT_GE(s.size(), 3u) << "line " << line;
    EXPECT_EQ(s[0], ' ') << "line " << line;
    EXPECT_NE(s[1], ' ') << "line " << line;
    EXPECT_NE(s[1], '\t') << "line " << line;
  }
  // Prose lines that end in an example lead into one.
  for (int line : {2, 6, 11, 17}) {
    const std::string &s = lines[line - 1];
    const std::string colon = "：";
    EXPECT_EQ(s.substr(s.size() - colon.size()), colon) << "line " << line;
  }
}

TEST(TableImageTest, IsTheStandInOfTheTableSize) {
  EXPECT_EQ(sizeof TableImage, 72022u);
  const char kind[] = "Qiv character table stand-in";
  EXPECT_EQ(0, std::memcmp(IntactTableImage(), kind, sizeof kind - 1));
  RestoreTableImage();
  EXPECT_TRUE(TableImageIntact());
  // Not a block of one value: the rest comes from the generator.
  std::set<uint8_t> values(IntactTableImage() + 128, IntactTableImage() + TableImageSize);
  EXPECT_EQ(values.size(), 256u);
}

TEST(UninstallerImageTest, IsTheBuiltUninstallerByteForByte) {
  const Bytes built = ReadFile(QIV_UNQIV_EXE);
  ASSERT_GT(built.size(), 2u);
  EXPECT_EQ(UninstallerImageSize, built.size());
  EXPECT_TRUE(Bytes(UninstallerImage, UninstallerImage + UninstallerImageSize) == built);
  EXPECT_EQ(UninstallerImage[0], 'M');
  EXPECT_EQ(UninstallerImage[1], 'Z');
}

int Collect(void *context, const unsigned char *bytes, uint32_t count) {
  static_cast<Bytes *>(context)->insert(static_cast<Bytes *>(context)->end(), bytes, bytes + count);
  return 1;
}

Bytes DecodedModule() {
  static unsigned char staging[StagingSize];
  Bytes out;
  EXPECT_EQ(ExpandStream(ModuleStream, ModuleStreamSize, staging, Collect, &out), 1);
  return out;
}

TEST(ModuleStreamTest, DeclaresAndProducesTheModuleWithValidTokens) {
  qivpack::Scan s = qivpack::ScanStream(ModuleStream, ModuleStreamSize, false);
  EXPECT_EQ(s.status, qivpack::Scan::Ok) << s.Describe();
  EXPECT_EQ(s.declared, 136704);
  EXPECT_EQ(s.produced, 136704u);
  EXPECT_GE(s.minCount, 2u);
  EXPECT_LE(s.maxCount, 15u);
  EXPECT_EQ(s.streamBytes - s.bytesUsed, 0u);
  // It is the optimal stream of the built module.
  Bytes stream;
  std::string error;
  ASSERT_TRUE(qivpack::Encode(ReadFile(QIV_BUILT_MODULE), &stream, &error)) << error;
  EXPECT_TRUE(stream == Bytes(ModuleStream, ModuleStream + ModuleStreamSize));
}

uint32_t U16(const Bytes &b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t U32(const Bytes &b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

// The module stand-in is an i686 DLL exporting the input-method entry points.
TEST(ModuleStreamTest, ModuleIsAnI686DllWithTheInputMethodExports) {
  const Bytes m = DecodedModule();
  ASSERT_EQ(m.size(), 136704u);
  ASSERT_EQ(m[0], 'M');
  ASSERT_EQ(m[1], 'Z');
  const size_t pe = U32(m, 0x3C);
  ASSERT_EQ(U32(m, pe), 0x00004550u);  // "PE\0\0"
  EXPECT_EQ(U16(m, pe + 4), 0x14Cu);   // i386
  EXPECT_TRUE(U16(m, pe + 22) & 0x2000u);  // a DLL
  const size_t optional = pe + 24;
  ASSERT_EQ(U16(m, optional), 0x10Bu);  // PE32
  const uint32_t exportRva = U32(m, optional + 96);
  ASSERT_NE(exportRva, 0u);
  const size_t sections = optional + U16(m, pe + 20);
  const unsigned count = U16(m, pe + 6);
  auto offset = [&](uint32_t rva) -> size_t {
    for (unsigned i = 0; i < count; ++i) {
      size_t s = sections + 40 * i;
      uint32_t va = U32(m, s + 12), size = std::max(U32(m, s + 8), U32(m, s + 16)), raw = U32(m, s + 20);
      if (rva >= va && rva < va + size) return raw + (rva - va);
    }
    ADD_FAILURE() << "RVA " << rva << " in no section";
    return 0;
  };
  const size_t dir = offset(exportRva);
  const unsigned names = U32(m, dir + 24);
  const size_t nameTable = offset(U32(m, dir + 32));
  std::set<std::string> exported;
  for (unsigned i = 0; i < names; ++i) exported.insert((const char *)&m[offset(U32(m, nameTable + 4 * i))]);
  const std::set<std::string> expected = {
      "ImeInquire",        "ImeConversionList",   "ImeConfigure",     "ImeDestroy",
      "ImeEscape",         "ImeProcessKey",       "ImeSelect",        "ImeSetActiveContext",
      "ImeToAsciiEx",      "NotifyIME",           "ImeRegisterWord",  "ImeUnregisterWord",
      "ImeGetRegisterWordStyle", "ImeEnumRegisterWord", "ImeSetCompositionString", "UIWndProc"};
  EXPECT_EQ(exported, expected);
}

}  // namespace
