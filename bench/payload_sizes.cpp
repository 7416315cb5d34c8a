// Size report over a fixed list of real PE files: our optimal stream against
// a greedy longest-match parse of the same format, and gzip -9.
//   payload_sizes [--markdown]
#include <cstdio>
#include <cstring>
#include <string>

#include "lz_encoder.h"
#include "pe_files.h"

namespace {

const char *const kFiles[] = {
    "icmp.dll",         "scarddlg.dll",   "vcomp90.dll",      "lodctr.exe",    "winver.exe",
    "cryptsp.dll",      "wevtsvc.dll",    "servicemodelreg.exe", "tasklist.exe", "ninput.dll",
    "msvcrt40.dll",     "wlanapi.dll",    "msvcm80.dll",      "version.dll",   "hh.exe",
    "msident.dll",      "pstorec.dll",    "iexplore.exe",     "vcomp110.dll",  "msiexec.exe",
    "shcore.dll",       "appwiz.cpl",     "schedsvc.dll",     "explorerframe.dll", "propsys.dll",
    "winex11.drv",      "msado15.dll",    "d3dcompiler_38.dll", "mscoree.dll", "xaudio2_3.dll",
};

// Bytes of `gzip -9` output for a file, or -1.
long GzipSize(const std::string &path) {
  std::string command = "gzip -9 -n -c '" + path + "'";
  std::FILE *p = popen(command.c_str(), "r");
  if (!p) return -1;
  long n = 0;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0) n += (long)got;
  return pclose(p) == 0 ? n : -1;
}

double Percent(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0; }

}  // namespace

int main() {
  const std::string dir = bench::PeDirectory();
  std::printf("| file | bytes | optimal bits | optimal bytes | greedy bytes | optimal vs greedy | gzip -9 bytes |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  unsigned long long totalIn = 0, totalOpt = 0, totalGreedy = 0, totalGzip = 0;
  int done = 0, missing = 0;
  for (const char *name : kFiles) {
    qivpack::Bytes in;
    if (!qivpack::ReadWholeFile(dir + "/" + name, &in)) {
      std::printf("| %s | missing | | | | | |\n", name);
      ++missing;
      continue;
    }
    const uint64_t optimal = qivpack::StreamBits(qivpack::OptimalParse(in));
    const uint64_t greedy = qivpack::StreamBits(qivpack::GreedyParse(in));
    const long gz = GzipSize(dir + "/" + name);
    const uint64_t optimalBytes = (optimal + 7) / 8, greedyBytes = (greedy + 7) / 8;
    std::printf("| %s | %zu | %llu | %llu (%.1f%%) | %llu (%.1f%%) | %.2f%% smaller | %ld (%.1f%%) |\n", name,
                in.size(), (unsigned long long)optimal, (unsigned long long)optimalBytes,
                Percent((double)optimalBytes, (double)in.size()), (unsigned long long)greedyBytes,
                Percent((double)greedyBytes, (double)in.size()),
                100.0 - Percent((double)optimal, (double)greedy), gz, Percent((double)gz, (double)in.size()));
    totalIn += in.size();
    totalOpt += optimalBytes;
    totalGreedy += greedyBytes;
    totalGzip += gz > 0 ? (unsigned long long)gz : 0;
    ++done;
  }
  std::printf("| **all %d** | %llu | | %llu (%.1f%%) | %llu (%.1f%%) | %.2f%% smaller | %llu (%.1f%%) |\n", done,
              totalIn, totalOpt, Percent((double)totalOpt, (double)totalIn), totalGreedy,
              Percent((double)totalGreedy, (double)totalIn), 100.0 - Percent((double)totalOpt, (double)totalGreedy),
              totalGzip, Percent((double)totalGzip, (double)totalIn));
  if (missing) std::fprintf(stderr, "payload_sizes: %d of the files are missing under %s\n", missing, dir.c_str());
  return 0;
}
