// The fast ray marcher's vector lanes on WebAssembly SIMD, two rays to a
// 128-bit register (lane_march.h on lane_ops_wasm.h). Built where the
// WebAssembly build enables SIMD (-msimd128), which every browser the page
// runs in has; the cells are the scalar marcher's, bit for bit.
#if defined(__EMSCRIPTEN__) && !defined(__wasm_simd128__)
#error "build the WebAssembly core with -msimd128: the ray marcher's vector lanes need it"
#endif
#if defined(__wasm_simd128__)

#include "raymarch/lane_ops_wasm.h"

namespace {

// How many registers of two rays a scene marches with. The engine keeps
// fewer values in registers than a native compiler does, so fewer pay than
// on AVX2: scene 2's chains of dependent sines take three, scene 6 (whose
// rays end soonest) one, the others two. Under node, processor time per
// frame, scene 2 with three or four was a tie, scene 6 with two 5 to 30%
// slower, the others with one or three 10 to 25% slower.
struct Registers {
    static constexpr int of(int effect) { return effect == 2 ? 3 : effect == 6 ? 1 : 2; }
};

}  // namespace

#include "raymarch/lane_march.h"

#endif
