// Whole-file reading and writing for the build tools.
#ifndef QIV_PAYLOAD_TOOLS_FILE_IO_H
#define QIV_PAYLOAD_TOOLS_FILE_IO_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qivpack {

inline bool ReadWholeFile(const std::string &path, std::vector<uint8_t> *bytes) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// Writes through a temporary name and renames it into place, so that a
// failure never leaves a partial file under the wanted name.
inline bool WriteWholeFile(const std::string &path, const void *data, size_t size) {
  const std::string temporary = path + ".part";
  std::FILE *f = std::fopen(temporary.c_str(), "wb");
  if (!f) return false;
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;  // an empty image may have no storage
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

inline bool WriteWholeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  return WriteWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace qivpack

#endif
