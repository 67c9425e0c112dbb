// Parser plus screen throughput under the dummy video driver, with
// presentation held back as the main loop holds it during a burst (one
// presentation per 4095 bytes, the most one pass takes from the ring).
// Each stream runs with the glyph and conversion caches on (arg 1) and off
// (arg 0); scripts/bench.sh puts the two side by side. Pictures come from
// the demonstration's Image/ in the build directory.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench_streams.h"
#include "protocol/EscSeqParser.h"
#include "screen/edispSDL.h"

namespace {

const std::size_t kStreamBytes = 256 * 1024;
const std::size_t kBytesPerPass = 4095;

edispSDL* screen() {
  static edispSDL* disp = [] {
    auto* d = new edispSDL("bench", 0, 0, 640, 384, TAVIX_BUILD_DIR);
    if (!d->initialized) {
      std::fprintf(stderr, "screen could not be created (fonts built under %s?)\n", TAVIX_BUILD_DIR);
      std::exit(1);
    }
    return d;
  }();
  return disp;
}

void feed(benchmark::State& state, const std::string& stream, int charSize) {
  const bool cached = state.range(0) != 0;
  edispSDL* disp = screen();
  disp->setKeptCellsEnabled(cached);
  disp->init_disp();
  disp->set_charsize(charSize);
  EscSeqParser parser(disp);
  parser.setConversionCacheEnabled(cached);
  for (auto _ : state) {
    std::size_t inPass = 0;
    for (unsigned char byte : stream) {
      disp->stopUpdate();
      parser.ParseByte(byte);
      if (++inPass == kBytesPerPass) {
        disp->resumeUpdate();
        inPass = 0;
      }
    }
    disp->resumeUpdate();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
  state.SetLabel(cached ? "cached" : "uncached");
  disp->setKeptCellsEnabled(true);
}

void BM_DenseAscii(benchmark::State& state) {
  static const std::string stream = bench::denseAscii(kStreamBytes, 1);
  feed(state, stream, 2);
}

void BM_DenseAsciiSmallFont(benchmark::State& state) {
  static const std::string stream = bench::denseAscii(kStreamBytes, 2);
  feed(state, stream, 0);
}

void BM_DenseShiftJis(benchmark::State& state) {
  static const std::string stream = bench::denseShiftJis(kStreamBytes, 3);
  feed(state, stream, 2);
}

void BM_SmallShapes(benchmark::State& state) {
  static const std::string stream = bench::smallShapes(kStreamBytes, 4);
  feed(state, stream, 2);
}

// One pass of picture commands: ESC @ I, picture 1 (640 x 384) on layer 0,
// 1365 times (the picture cache is on in both runs).
void BM_PictureFlood(benchmark::State& state) {
  std::string stream;
  while (stream.size() + 3 <= kBytesPerPass) stream += "\x1b@I";
  feed(state, stream, 2);
}

BENCHMARK(BM_DenseAscii)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DenseAsciiSmallFont)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DenseShiftJis)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallShapes)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PictureFlood)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  if (SDL_Init(SDL_INIT_VIDEO) != 0 || TTF_Init() != 0 || (IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG) == 0) {
    std::fprintf(stderr, "media libraries: %s\n", SDL_GetError());
    return 1;
  }
  SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_CRITICAL);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete screen();
  TTF_Quit();
  SDL_Quit();
  return 0;
}
