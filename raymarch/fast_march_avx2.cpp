// The fast ray marcher's vector lanes on AVX2, four rays to a register
// (lane_march.h on lane_ops_avx2.h). This file alone is compiled with -mavx2
// and runs only where the processor has it; the cells are the scalar
// marcher's, bit for bit.
#if defined(__x86_64__) || defined(__i386__)

#include "raymarch/lane_ops_avx2.h"

namespace {

// How many registers of four rays a scene marches with: enough sets of
// independent steps to keep the processor busy, few enough to stay in its
// sixteen vector registers. Scene 2's long chains of dependent sines pay
// for a third register; the others do best with two.
struct Registers {
    static constexpr int of(int effect) { return effect == 2 ? 3 : 2; }
};

}  // namespace

#include "raymarch/lane_march.h"

#endif
