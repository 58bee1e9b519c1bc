// The register operations of the vector lanes on AVX2: four doubles to a
// register. lanes.h builds the lane types and the lane forms of the guarded
// functions on these alone; lane_ops_wasm.h is the same set for WebAssembly.
//
// Include only from the translation unit compiled with -mavx2 (never FMA);
// everything here has internal linkage, so no AVX2 code can stand in for the
// baseline build of a shared inline function.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace {
namespace lane_ops {

constexpr int WIDTH = 4;       // doubles to a register
constexpr int ALIGNMENT = 32;  // of an array a register loads from
using Reg = __m256d;
using IntReg = __m256i;        // 64-bit integers
using FloatMaskReg = __m128;   // all ones where two registers round to the same float

inline Reg splat(double v) { return _mm256_set1_pd(v); }
inline Reg add(Reg a, Reg b) { return _mm256_add_pd(a, b); }
inline Reg sub(Reg a, Reg b) { return _mm256_sub_pd(a, b); }
inline Reg mul(Reg a, Reg b) { return _mm256_mul_pd(a, b); }
inline Reg sqrtOf(Reg a) { return _mm256_sqrt_pd(a); }
inline Reg truncOf(Reg a) { return _mm256_round_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
// Each lane rounded to float and back.
inline Reg narrow(Reg a) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(a)); }

inline Reg bitsXor(Reg a, Reg b) { return _mm256_xor_pd(a, b); }
inline Reg bitsAnd(Reg a, Reg b) { return _mm256_and_pd(a, b); }
inline Reg bitsAndNot(Reg a, Reg b) { return _mm256_andnot_pd(a, b); }  // ~a & b
// a where mask is all ones, else b.
inline Reg select(Reg mask, Reg a, Reg b) { return _mm256_blendv_pd(b, a, mask); }

// Comparisons as C++ has them: false for NaN.
inline Reg less(Reg a, Reg b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline Reg lessEqual(Reg a, Reg b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
inline Reg greater(Reg a, Reg b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
inline Reg greaterEqual(Reg a, Reg b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
inline Reg equal(Reg a, Reg b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
// A bit per lane of a mask, lane 0 lowest.
inline int maskBits(Reg mask) { return _mm256_movemask_pd(mask); }

// Whether each lane of a and of b rounds to the same float, compared as floats.
inline FloatMaskReg sameFloat(Reg a, Reg b) { return _mm_cmpeq_ps(_mm256_cvtpd_ps(a), _mm256_cvtpd_ps(b)); }
inline int floatMaskBits(FloatMaskReg mask) { return _mm_movemask_ps(mask); }

inline IntReg bitsOfDoubles(Reg a) { return _mm256_castpd_si256(a); }
inline Reg doublesOfBits(IntReg a) { return _mm256_castsi256_pd(a); }
inline IntReg splatInt(int64_t v) { return _mm256_set1_epi64x(v); }
inline IntReg addInt(IntReg a, IntReg b) { return _mm256_add_epi64(a, b); }
inline IntReg andInt(IntReg a, IntReg b) { return _mm256_and_si256(a, b); }
inline IntReg shiftLeftInt(IntReg a, int bits) { return _mm256_slli_epi64(a, bits); }
inline Reg equalInt(IntReg a, IntReg b) { return _mm256_castsi256_pd(_mm256_cmpeq_epi64(a, b)); }

inline void store(double* to, Reg a) { _mm256_store_pd(to, a); }
inline Reg load(const double* from) { return _mm256_load_pd(from); }

}  // namespace lane_ops
}  // namespace
