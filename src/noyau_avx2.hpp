// SPDX-License-Identifier: MIT
// The kernel of x86 processors with AVX2: the bit planes' slices in two
// 32-byte registers, and 32 letters a register.
#pragma once

#include "noyau.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

// Its instructions, named once: its code's target, and what a processor needs.
#define INSTRUCTIONS_AVX2 "avx2"

struct noyau_avx2 {
    static constexpr const char* nom = "avx2";

    using vecteur = unsigned char __attribute__((vector_size(32)));

    // The masks of 32 values from a mot's bits in each 64 bits of x: each
    // value's byte takes the byte that holds its bit (a shuffle within each
    // half of the register), then its bit is picked out.
    template <unsigned moitie>
    [[gnu::target(INSTRUCTIONS_AVX2), gnu::always_inline]] static vecteur masques(__m256i x)
    {
        constexpr char o = 4 * moitie;
        const __m256i octet_du_bit =
            _mm256_setr_epi8(o, o, o, o, o, o, o, o, o + 1, o + 1, o + 1, o + 1, o + 1, o + 1, o + 1, o + 1,
                             o + 2, o + 2, o + 2, o + 2, o + 2, o + 2, o + 2, o + 2, o + 3, o + 3, o + 3,
                             o + 3, o + 3, o + 3, o + 3, o + 3);
        const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201u));
        const __m256i octets_des_bits = _mm256_shuffle_epi8(x, octet_du_bit);
        return reinterpret_cast<vecteur>(_mm256_cmpeq_epi8(_mm256_and_si256(octets_des_bits, bit), bit));
    }

    template <unsigned moitie>
    [[gnu::target(INSTRUCTIONS_AVX2), gnu::always_inline]] static void trente_deux(char* lettres, __m256i x1, __m256i x2)
    {
        const vecteur m1 = masques<moitie>(x1), m2 = masques<moitie>(x2);
        vecteur l;
        lettres_des_masques(l, m1, m2);
        __builtin_memcpy(lettres + 32 * moitie, &l, sizeof l);
    }

    [[gnu::target(INSTRUCTIONS_AVX2)]] static void soixante_quatre_lettres(std::uint64_t b1, std::uint64_t b2, char* lettres)
    {
        const __m256i x1 = _mm256_set1_epi64x(static_cast<long long>(b1));
        const __m256i x2 = _mm256_set1_epi64x(static_cast<long long>(b2));
        trente_deux<0>(lettres, x1, x2);
        trente_deux<1>(lettres, x1, x2);
    }

    NOYAU_DES_INSTRUCTIONS(noyau_avx2, INSTRUCTIONS_AVX2)
};

#else
using noyau_avx2 = noyau_absent;
#endif
