#include <fstream>
#include <iterator>

#include "install_fixture.h"

// The padded module file the Win32 build made, before the encoder.
sim::Bytes BuiltModule() {
  static const sim::Bytes bytes = [] {
    std::ifstream in(QIV_BUILT_MODULE, std::ios::binary);
    return sim::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  return bytes;
}
