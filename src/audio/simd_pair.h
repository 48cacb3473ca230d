// Two doubles at a time, for the transform's and the detector's inner loops:
// SSE2 on x86-64, NEON on arm64, through the compiler's vector extension.
#pragma once
#include <cstring>

typedef double Pair __attribute__((vector_size(16)));

// An unaligned load of p[0] and p[1].
inline Pair load(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
