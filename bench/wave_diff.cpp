// wave_diff REF TEST CHANNELS OFFSET[,OFFSET...]: how far a peer's render is from ours.
//
// REF and TEST are raw little-endian 32-bit float files of interleaved frames. For each offset o
// (in frames), TEST frame i is set beside REF frame i + o over the frames both hold; the one gain
// g that best fits TEST to REF (least squares over every channel) is taken out, and the residual
// is the energy of REF - g TEST over the energy of REF, in dB. The offset with the smallest
// residual is printed as "residual_db gain_db offset frames".
//
// Standard library only, so compare.sh can build it with a bare compiler call.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<float> ReadFloats(const char* path) {
  std::vector<float> samples;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "wave_diff: cannot open %s\n", path);
    std::exit(2);
  }
  float chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, sizeof(float), 65536, file)) > 0)
    samples.insert(samples.end(), chunk, chunk + got);
  std::fclose(file);
  return samples;
}

struct Fit {
  double residualDb;
  double gainDb;
  long offset;
  long frames;
};

Fit FitAt(const std::vector<float>& ref, const std::vector<float>& test, long channels,
          long offset) {
  const long refFrames = static_cast<long>(ref.size()) / channels;
  const long testFrames = static_cast<long>(test.size()) / channels;
  const long first = std::max(0L, -offset);
  const long last = std::min(testFrames, refFrames - offset);  // one past
  double rr = 0.0;
  double rt = 0.0;
  double tt = 0.0;
  for (long i = first; i < last; ++i) {
    for (long c = 0; c < channels; ++c) {
      const double r = ref[static_cast<size_t>((i + offset) * channels + c)];
      const double t = test[static_cast<size_t>(i * channels + c)];
      rr += r * r;
      rt += r * t;
      tt += t * t;
    }
  }
  Fit fit = {0.0, 0.0, offset, std::max(0L, last - first)};
  if (rr <= 0.0 || tt <= 0.0) {
    fit.residualDb = 0.0;
    return fit;
  }
  const double g = rt / tt;
  // A second pass: rr - rt^2/tt would cancel away the small residuals this is meant to show.
  double rest = 0.0;
  for (long i = first; i < last; ++i) {
    for (long c = 0; c < channels; ++c) {
      const double e = ref[static_cast<size_t>((i + offset) * channels + c)] -
                       g * test[static_cast<size_t>(i * channels + c)];
      rest += e * e;
    }
  }
  fit.residualDb = rest > 0.0 ? 10.0 * std::log10(rest / rr) : -999.0;
  fit.gainDb = 20.0 * std::log10(std::fabs(g));
  return fit;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: wave_diff REF.f32 TEST.f32 CHANNELS OFFSET[,OFFSET...]\n");
    return 2;
  }
  const std::vector<float> ref = ReadFloats(argv[1]);
  const std::vector<float> test = ReadFloats(argv[2]);
  const long channels = std::atol(argv[3]);
  if (channels < 1) return 2;
  Fit best = {1e9, 0.0, 0, 0};
  std::string offsets = argv[4];
  size_t start = 0;
  while (start <= offsets.size()) {
    size_t comma = offsets.find(',', start);
    if (comma == std::string::npos) comma = offsets.size();
    const long offset = std::atol(offsets.substr(start, comma - start).c_str());
    const Fit fit = FitAt(ref, test, channels, offset);
    if (fit.frames > 0 && fit.residualDb < best.residualDb) best = fit;
    start = comma + 1;
  }
  std::printf("%.1f %.2f %ld %ld\n", best.residualDb, best.gainDb, best.offset, best.frames);
  return 0;
}
