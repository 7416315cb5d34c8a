// Real PE files for the benchmarks: the 32-bit Wine package's programs and
// libraries, which nobody here wrote.
#ifndef QIV_BENCH_PE_FILES_H
#define QIV_BENCH_PE_FILES_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "file_io.h"

namespace bench {

inline std::string PeDirectory() {
  const char *dir = std::getenv("QIV_PE_DIR");
  return dir && *dir ? dir : "/usr/lib/i386-linux-gnu/wine/i386-windows";
}

// The regular file whose size is nearest to `size` (ties: first by name);
// empty when there is none.
inline std::string FileNearestInSize(uintmax_t size) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string best;
  uintmax_t bestGap = UINTMAX_MAX;
  std::vector<fs::path> paths;
  for (const fs::directory_entry &e : fs::directory_iterator(PeDirectory(), ec))
    if (e.is_regular_file(ec)) paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  for (const fs::path &p : paths) {
    uintmax_t s = fs::file_size(p, ec);
    if (ec) continue;
    uintmax_t gap = s > size ? s - size : size - s;
    if (gap < bestGap) {
      bestGap = gap;
      best = p.string();
    }
  }
  return best;
}

}  // namespace bench

#endif
