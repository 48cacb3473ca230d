// The game's 4096-point transform and peak search, against FFTW's real-input
// plan and against the transform as literally designed; and the tone detector
// that the game runs after its transform, alone and with it. The game's runs
// take the loops this processor runs best (named in the context line
// "fft_kernels"); the Portable ones are what older processors get.
#include "audio/fft.h"
#include "audio/literal_fft.h"
#include "audio/tone_detector.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr uint32_t points = 4096;

// A captured-sounding buffer: a tone near 2 kHz under noise.
std::vector<int32_t> testBuffer() {
    std::mt19937 random(99);
    std::uniform_int_distribution<int32_t> noise(-3000, 3000);
    std::vector<int32_t> samples(points);
    for (uint32_t m = 0; m < points; ++m)
        samples[m] = static_cast<int32_t>(8000.0 * std::sin(2.0 * pi * 2000.0 * m / 22050.0)) +
                     noise(random);
    return samples;
}

void BM_GameFft(benchmark::State& state, FftKernels kernels) {
    std::vector<int32_t> samples = testBuffer();
    Fft fft(points, kernels);
    for (auto _ : state) {
        fft.transform(samples);
        benchmark::DoNotOptimize(fft.peakBin());
    }
}
BENCHMARK_CAPTURE(BM_GameFft, fastest, fastestFftKernels());
BENCHMARK_CAPTURE(BM_GameFft, portable, FftKernels::Portable);

// What the worker does for each buffer: the transform and the detector.
void BM_GameFftAndDetector(benchmark::State& state, FftKernels kernels) {
    std::vector<int32_t> samples = testBuffer();
    Fft fft(points, kernels);
    for (auto _ : state) {
        fft.transform(samples);
        benchmark::DoNotOptimize(findTone(fft));
    }
}
BENCHMARK_CAPTURE(BM_GameFftAndDetector, fastest, fastestFftKernels());
BENCHMARK_CAPTURE(BM_GameFftAndDetector, portable, FftKernels::Portable);

void BM_Detector(benchmark::State& state) {
    std::vector<int32_t> samples = testBuffer();
    Fft fft(points);
    fft.transform(samples);
    for (auto _ : state) {
        benchmark::DoNotOptimize(findTone(fft));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Detector);

void BM_FftwRealPlan(benchmark::State& state) {
    std::vector<int32_t> samples = testBuffer();
    double* in = fftw_alloc_real(points);
    fftw_complex* out = fftw_alloc_complex(points / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(points, in, out, FFTW_MEASURE);
    for (auto _ : state) {
        // The same work around the transform as the game does: convert the
        // samples in, search the peak out.
        for (uint32_t m = 0; m < points; ++m)
            in[m] = samples[m];
        fftw_execute(plan);
        double bestValue = out[0][0];
        int32_t best = 0;
        for (uint32_t k = 1; k < points / 2; ++k)
            if (out[k][0] > bestValue) {
                bestValue = out[k][0];
                best = static_cast<int32_t>(k);
            }
        benchmark::DoNotOptimize(best);
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}
BENCHMARK(BM_FftwRealPlan);

void BM_LiteralFft(benchmark::State& state) {
    std::vector<int32_t> samples = testBuffer();
    LiteralFft fft(points);
    for (auto _ : state) {
        fft.transform(samples);
        benchmark::DoNotOptimize(fft.peakBin());
    }
}
BENCHMARK(BM_LiteralFft);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext(
        "fft_kernels", fastestFftKernels() == FftKernels::Avx2 ? "AVX2 with FMA" : "portable");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
