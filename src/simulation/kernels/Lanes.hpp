// Eight float lanes (one AVX2 register) and eight doubles as two four-lane halves, for the kernels that solve eight
// elements per call. Each lane operation is the IEEE operation of the scalar code (+ - * / sqrt and exact widening or
// rounding between float and double), so a lane computes the scalar kernel's bits when it performs the same
// operations in the same order. Only AVX2 is enabled for these functions, not the FMA extension, so no product is ever
// fused into a sum. Include this header only from sources that call the lanes after checking lanesAvailable().
#pragma once

#include <immintrin.h>

#include <cstdlib>
#include <cstring>

namespace lanes {

/// True when the processor has AVX2 and the environment variable `scalarSwitch` is unset or "0" (a switch that
/// forces the one-element-at-a-time kernels, for comparisons). Evaluate once per process and keep the answer.
inline bool available(const char* scalarSwitch)
{
    const char* scalar = std::getenv(scalarSwitch);
    if (scalar != nullptr && std::strcmp(scalar, "0") != 0) return false;
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}

#pragma GCC push_options
#pragma GCC target("avx2")

typedef float v8f __attribute__((vector_size(32)));
typedef int v8i __attribute__((vector_size(32)));
typedef double v4d __attribute__((vector_size(32)));
typedef long long v4l __attribute__((vector_size(32)));

/// Eight doubles as two four-lane halves: lanes 0-3 and 4-7.
struct d8 {
    v4d lo;
    v4d hi;
};

inline v8f splat(float x) { return (v8f)_mm256_set1_ps(x); }
inline v4d splat4(double x) { return (v4d)_mm256_set1_pd(x); }
inline v8i splatInt(int x) { return (v8i)_mm256_set1_epi32(x); }

inline v8f load(const float* p) { return (v8f)_mm256_loadu_ps(p); }
inline void store(float* p, v8f x) { _mm256_storeu_ps(p, (__m256)x); }

/// Component k of eight separately stored elements, one lane each (built in registers: a vector load of eight
/// floats just stored one by one would wait for the stores instead of taking their values).
template <typename T>
inline v8f gather(const T* const* p, int k)
{
    return v8f{p[0][k], p[1][k], p[2][k], p[3][k], p[4][k], p[5][k], p[6][k], p[7][k]};
}
inline v8i gather(const int* const* p) { return v8i{*p[0], *p[1], *p[2], *p[3], *p[4], *p[5], *p[6], *p[7]}; }

/// Exact widening of each lane.
inline d8 wide(v8f x)
{
    return {(v4d)_mm256_cvtps_pd(_mm256_castps256_ps128((__m256)x)),
            (v4d)_mm256_cvtps_pd(_mm256_extractf128_ps((__m256)x, 1))};
}
/// Each lane rounded to float (current rounding mode, as a scalar conversion).
inline v8f narrow(d8 x) { return (v8f)_mm256_set_m128(_mm256_cvtpd_ps((__m256d)x.hi), _mm256_cvtpd_ps((__m256d)x.lo)); }

inline d8 operator+(d8 a, d8 b) { return {a.lo + b.lo, a.hi + b.hi}; }
inline d8 operator-(d8 a, d8 b) { return {a.lo - b.lo, a.hi - b.hi}; }
inline d8 operator*(d8 a, d8 b) { return {a.lo * b.lo, a.hi * b.hi}; }
inline d8 operator/(d8 a, d8 b) { return {a.lo / b.lo, a.hi / b.hi}; }
inline d8 operator*(double s, d8 a) { return {splat4(s) * a.lo, splat4(s) * a.hi}; }
inline d8 operator*(d8 a, double s) { return {a.lo * splat4(s), a.hi * splat4(s)}; }
inline d8 operator+(d8 a, double s) { return {a.lo + splat4(s), a.hi + splat4(s)}; }
inline d8 sqrtOf(d8 a) { return {(v4d)_mm256_sqrt_pd((__m256d)a.lo), (v4d)_mm256_sqrt_pd((__m256d)a.hi)}; }
inline v8f sqrtOf(v8f a) { return (v8f)_mm256_sqrt_ps((__m256)a); }
/// float(sqrt(double(x))) lane by lane.
inline v8f rootInDouble(v8f x) { return narrow(sqrtOf(wide(x))); }

/// std::max(x, 0.0f) lane by lane: (x < 0) ? 0 : x, so a NaN and -0 stay as they are.
inline v8f notBelowZero(v8f x) { return (x < splat(0.0f)) ? splat(0.0f) : x; }

/// std::fabs lane by lane: the sign bit cleared (NaNs stay NaN).
inline v8f absOf(v8f x) { return (v8f)((v8i)x & splatInt(0x7fffffff)); }

/// x >= threshold ? 1/x : 0 lane by lane (a NaN gives 0), the guarded reciprocals of the kernels.
inline v8f reciprocalFrom(v8f x, float threshold) { return (x >= splat(threshold)) ? splat(1.0f) / x : splat(0.0f); }

/// One bit per lane whose mask is set (lane j -> bit j).
inline int laneBits(v8i m) { return _mm256_movemask_ps((__m256)m); }

#pragma GCC pop_options

}  // namespace lanes
