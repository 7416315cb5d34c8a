// qivpad: pads an executable image with zero bytes to an exact size.
//   qivpad IN OUT SIZE
// IN must begin with "MZ" and be no longer than SIZE.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "file_io.h"

int main(int argc, char **argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: qivpad IN OUT SIZE\n");
    return 2;
  }
  const std::string in = argv[1], out = argv[2];
  const long size = std::strtol(argv[3], nullptr, 10);
  std::vector<uint8_t> bytes;
  if (!qivpack::ReadWholeFile(in, &bytes)) {
    std::fprintf(stderr, "qivpad: %s: cannot read\n", in.c_str());
    return 1;
  }
  if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z') {
    std::fprintf(stderr, "qivpad: %s: not an executable image (no \"MZ\")\n", in.c_str());
    return 1;
  }
  if (size < 0 || bytes.size() > (size_t)size) {
    std::fprintf(stderr, "qivpad: %s: %zu bytes, more than %ld\n", in.c_str(), bytes.size(), size);
    return 1;
  }
  bytes.resize((size_t)size, 0);
  if (!qivpack::WriteWholeFile(out, bytes)) {
    std::fprintf(stderr, "qivpad: %s: cannot write\n", out.c_str());
    return 1;
  }
  return 0;
}
