// bench_make_stream FILE BYTES: writes the stream the end-to-end intake
// measurement replays: dense text with a version report 0.0.hi.lo counting
// up every 64 KiB, then 1.2.3.4 as its last sequence.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_streams.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FILE BYTES\n", argv[0]);
    return 2;
  }
  const long total = std::atol(argv[2]);
  const long kCheckpointBytes = 64 * 1024;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  long written = 0;
  for (unsigned n = 1; written < total; ++n) {
    std::string piece = bench::denseAscii(kCheckpointBytes, n);
    // A cut sequence must not swallow the report: end the piece on a row.
    piece += "\r\n" + bench::versionReport(0, 0, n >> 8, n & 0xFF);
    written += static_cast<long>(piece.size());
    std::fwrite(piece.data(), 1, piece.size(), out);
  }
  const std::string last = bench::versionReport(1, 2, 3, 4);
  std::fwrite(last.data(), 1, last.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}
