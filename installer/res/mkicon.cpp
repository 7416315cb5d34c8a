// mkicon: turns an icon drawing (a text file of pixel rows) into a .ico file
// that Windows 95 reads: one 16-colour image per size drawn, each a
// BITMAPINFOHEADER DIB with its colour (XOR) bitmap and its 1-bit AND mask;
// no PNG, no alpha channel.
//
//   mkicon DRAWING.txt OUT.ico
//
// The drawing holds, for each image, a line "size N" (16 or 32) followed by
// N rows of N letters. Blank lines and lines starting with '#' are skipped.
// Letters name the colours of the standard 16-colour palette:
//
//   K black   M maroon  G green   O olive   N navy   P purple  T teal   S silver
//   D grey    R red     L lime    Y yellow  B blue   F fuchsia C aqua   W white
//
// and '.' is transparent (AND mask set, colour black).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Colour {
  char letter;
  uint8_t red, green, blue;
};

const Colour kPalette[16] = {
    {'K', 0x00, 0x00, 0x00}, {'M', 0x80, 0x00, 0x00}, {'G', 0x00, 0x80, 0x00},
    {'O', 0x80, 0x80, 0x00}, {'N', 0x00, 0x00, 0x80}, {'P', 0x80, 0x00, 0x80},
    {'T', 0x00, 0x80, 0x80}, {'S', 0xC0, 0xC0, 0xC0}, {'D', 0x80, 0x80, 0x80},
    {'R', 0xFF, 0x00, 0x00}, {'L', 0x00, 0xFF, 0x00}, {'Y', 0xFF, 0xFF, 0x00},
    {'B', 0x00, 0x00, 0xFF}, {'F', 0xFF, 0x00, 0xFF}, {'C', 0x00, 0xFF, 0xFF},
    {'W', 0xFF, 0xFF, 0xFF}};

const char kTransparent = '.';

struct Image {
  int size = 0;
  std::vector<std::string> rows;
};

int PaletteIndex(char letter) {
  for (int i = 0; i < 16; ++i)
    if (kPalette[i].letter == letter) return i;
  return -1;
}

bool Fail(const std::string &where, int line, const std::string &what) {
  std::cerr << where << ":" << line << ": " << what << "\n";
  return false;
}

bool ReadDrawing(const std::string &path, std::vector<Image> &images) {
  std::ifstream in(path);
  if (!in) return Fail(path, 0, "cannot open");
  std::string line;
  int number = 0;
  Image *current = nullptr;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.compare(0, 5, "size ") == 0) {
      if (current && (int)current->rows.size() != current->size)
        return Fail(path, number, "previous image is incomplete");
      int size = std::atoi(line.c_str() + 5);
      if (size != 16 && size != 32) return Fail(path, number, "size must be 16 or 32");
      for (const Image &image : images)
        if (image.size == size) return Fail(path, number, "size drawn twice");
      images.push_back(Image{size, {}});
      current = &images.back();
      continue;
    }
    if (!current) return Fail(path, number, "row before any \"size\" line");
    if ((int)current->rows.size() == current->size)
      return Fail(path, number, "more rows than the image is high");
    if ((int)line.size() != current->size)
      return Fail(path, number, "row is " + std::to_string(line.size()) + " letters, not " +
                                    std::to_string(current->size));
    for (char letter : line)
      if (letter != kTransparent && PaletteIndex(letter) < 0)
        return Fail(path, number, std::string("unknown colour letter '") + letter + "'");
    current->rows.push_back(line);
  }
  if (images.empty()) return Fail(path, number, "no image drawn");
  if ((int)current->rows.size() != current->size)
    return Fail(path, number, "last image is incomplete");
  return true;
}

void Put16(std::string &out, unsigned value) {
  out += (char)(value & 0xFF);
  out += (char)((value >> 8) & 0xFF);
}

void Put32(std::string &out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// One image as stored in the file: header, palette, colour rows, mask rows,
// both bottom-up with rows padded to 32 bits.
std::string EncodeImage(const Image &image) {
  const int n = image.size;
  const int colourStride = ((n * 4 + 31) / 32) * 4;
  const int maskStride = ((n + 31) / 32) * 4;
  std::string out;
  Put32(out, 40);      // biSize
  Put32(out, n);       // biWidth
  Put32(out, 2 * n);   // biHeight: colour and mask together
  Put16(out, 1);       // biPlanes
  Put16(out, 4);       // biBitCount
  Put32(out, 0);       // biCompression: BI_RGB
  Put32(out, (colourStride + maskStride) * n);  // biSizeImage
  Put32(out, 0);       // biXPelsPerMeter
  Put32(out, 0);       // biYPelsPerMeter
  Put32(out, 0);       // biClrUsed: all 16
  Put32(out, 0);       // biClrImportant
  for (const Colour &c : kPalette) {
    out += (char)c.blue;
    out += (char)c.green;
    out += (char)c.red;
    out += (char)0;
  }
  for (int y = n - 1; y >= 0; --y) {
    std::string row(colourStride, '\0');
    for (int x = 0; x < n; ++x) {
      char letter = image.rows[y][x];
      int index = letter == kTransparent ? 0 : PaletteIndex(letter);
      row[x / 2] |= (char)(x % 2 ? index : index << 4);
    }
    out += row;
  }
  for (int y = n - 1; y >= 0; --y) {
    std::string row(maskStride, '\0');
    for (int x = 0; x < n; ++x)
      if (image.rows[y][x] == kTransparent) row[x / 8] |= (char)(0x80 >> (x % 8));
    out += row;
  }
  return out;
}

std::string EncodeIcon(const std::vector<Image> &images) {
  std::vector<std::string> encoded;
  for (const Image &image : images) encoded.push_back(EncodeImage(image));
  std::string out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // type: icon
  Put16(out, (unsigned)images.size());
  uint32_t offset = 6 + 16 * (uint32_t)images.size();
  for (size_t i = 0; i < images.size(); ++i) {
    out += (char)images[i].size;  // width
    out += (char)images[i].size;  // height
    out += (char)16;              // colours
    out += (char)0;               // reserved
    Put16(out, 1);                // planes
    Put16(out, 4);                // bits per pixel
    Put32(out, (uint32_t)encoded[i].size());
    Put32(out, offset);
    offset += (uint32_t)encoded[i].size();
  }
  for (const std::string &image : encoded) out += image;
  return out;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: mkicon DRAWING.txt OUT.ico\n";
    return 2;
  }
  std::vector<Image> images;
  if (!ReadDrawing(argv[1], images)) return 1;
  std::string icon = EncodeIcon(images);
  std::string temporary = std::string(argv[2]) + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(icon.data(), (std::streamsize)icon.size());
    if (!out.flush()) {
      std::cerr << argv[2] << ": cannot write\n";
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), argv[2]) != 0) {
    std::cerr << argv[2] << ": cannot write\n";
    return 1;
  }
  return 0;
}
