// The register operations of the vector lanes on WebAssembly SIMD: two
// doubles to a 128-bit register. The same set as lane_ops_avx2.h, for
// lanes.h; every operation is the IEEE one of its scalar (WebAssembly has no
// fused multiply-add in its fixed-width SIMD), so each lane keeps the bits of
// its ray.
#pragma once

#include <wasm_simd128.h>

#include <cstdint>

namespace {
namespace lane_ops {

constexpr int WIDTH = 2;
constexpr int ALIGNMENT = 16;
using Reg = v128_t;
using IntReg = v128_t;
using FloatMaskReg = v128_t;

inline Reg splat(double v) { return wasm_f64x2_splat(v); }
inline Reg add(Reg a, Reg b) { return wasm_f64x2_add(a, b); }
inline Reg sub(Reg a, Reg b) { return wasm_f64x2_sub(a, b); }
inline Reg mul(Reg a, Reg b) { return wasm_f64x2_mul(a, b); }
inline Reg sqrtOf(Reg a) { return wasm_f64x2_sqrt(a); }
inline Reg truncOf(Reg a) { return wasm_f64x2_trunc(a); }
// Each lane rounded to float (into the low half, zeros above) and, for
// narrow, back. Written as the instructions themselves: clang 14 sees
// through the intrinsics' pair to a conversion of two floats, which it takes
// apart into one lane at a time.
inline v128_t demote(Reg a)
{
    v128_t floats;
    __asm__("local.get %1\n\tf32x4.demote_zero_f64x2\n\tlocal.set %0" : "=r"(floats) : "r"(a));
    return floats;
}
inline Reg narrow(Reg a)
{
    Reg back;
    __asm__("local.get %1\n\tf32x4.demote_zero_f64x2\n\tf64x2.promote_low_f32x4\n\tlocal.set %0"
            : "=r"(back)
            : "r"(a));
    return back;
}

inline Reg bitsXor(Reg a, Reg b) { return wasm_v128_xor(a, b); }
inline Reg bitsAnd(Reg a, Reg b) { return wasm_v128_and(a, b); }
inline Reg bitsAndNot(Reg a, Reg b) { return wasm_v128_andnot(b, a); }  // ~a & b
inline Reg select(Reg mask, Reg a, Reg b) { return wasm_v128_bitselect(a, b, mask); }

inline Reg less(Reg a, Reg b) { return wasm_f64x2_lt(a, b); }
inline Reg lessEqual(Reg a, Reg b) { return wasm_f64x2_le(a, b); }
inline Reg greater(Reg a, Reg b) { return wasm_f64x2_gt(a, b); }
inline Reg greaterEqual(Reg a, Reg b) { return wasm_f64x2_ge(a, b); }
inline Reg equal(Reg a, Reg b) { return wasm_f64x2_eq(a, b); }
inline int maskBits(Reg mask) { return int(wasm_i64x2_bitmask(mask)); }

// The two floats sit in the low lanes, zeros above them: only those bits count.
inline FloatMaskReg sameFloat(Reg a, Reg b)
{
    return wasm_f32x4_eq(demote(a), demote(b));
}
inline int floatMaskBits(FloatMaskReg mask) { return int(wasm_i32x4_bitmask(mask) & 3u); }

inline IntReg bitsOfDoubles(Reg a) { return a; }
inline Reg doublesOfBits(IntReg a) { return a; }
inline IntReg splatInt(int64_t v) { return wasm_i64x2_splat(v); }
inline IntReg addInt(IntReg a, IntReg b) { return wasm_i64x2_add(a, b); }
inline IntReg andInt(IntReg a, IntReg b) { return wasm_v128_and(a, b); }
inline IntReg shiftLeftInt(IntReg a, int bits) { return wasm_i64x2_shl(a, uint32_t(bits)); }
inline Reg equalInt(IntReg a, IntReg b) { return wasm_i64x2_eq(a, b); }

inline void store(double* to, Reg a) { wasm_v128_store(to, a); }
inline Reg load(const double* from) { return wasm_v128_load(from); }

}  // namespace lane_ops
}  // namespace
