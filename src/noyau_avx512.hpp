// SPDX-License-Identifier: MIT
// The kernel of x86 processors with AVX-512BW: a slice of each bit plane in
// one register, and 64 letters a register, by three blends.
#pragma once

#include "noyau.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

// Its instructions, named once: its code's target, and what a processor needs.
#define INSTRUCTIONS_AVX512 "avx512bw"

struct noyau_avx512 {
    static constexpr const char* nom = "avx512";

    [[gnu::target(INSTRUCTIONS_AVX512)]] static void soixante_quatre_lettres(std::uint64_t bits1, std::uint64_t bits2, char* lettres)
    {
        const __mmask64 k1 = bits1, k2 = bits2;
        const __m512i sans_t = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[0]), _mm512_set1_epi8(bases[1]));
        const __m512i avec_t = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[2]), _mm512_set1_epi8(bases[3]));
        _mm512_storeu_si512(lettres, _mm512_mask_blend_epi8(k2, sans_t, avec_t));
    }

    NOYAU_DES_INSTRUCTIONS(noyau_avx512, INSTRUCTIONS_AVX512)
};
#else
using noyau_avx512 = noyau_absent;
#endif
