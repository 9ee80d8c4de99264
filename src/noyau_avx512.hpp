// SPDX-License-Identifier: MIT
// The kernel of x86 processors with AVX-512BW: a slice of each bit plane in
// one register, and 64 letters a register, by three blends.
#pragma once

#include "noyau.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

struct noyau_avx512 {
    static constexpr const char* nom = "avx512";
    static bool disponible() { return __builtin_cpu_supports("avx512bw"); }

    [[gnu::target("avx512bw")]] static void soixante_quatre_lettres(std::uint64_t bits1, std::uint64_t bits2, char* lettres)
    {
        const __mmask64 k1 = bits1, k2 = bits2;
        const __m512i sans_t = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[0]), _mm512_set1_epi8(bases[1]));
        const __m512i avec_t = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[2]), _mm512_set1_epi8(bases[3]));
        _mm512_storeu_si512(lettres, _mm512_mask_blend_epi8(k2, sans_t, avec_t));
    }

    [[gnu::target("avx512bw"), gnu::noinline]] static void prolonger(std::uint64_t* plans, std::size_t nombre)
    {
        prolonger_plans(plans, nombre);
    }

    [[gnu::target("avx512bw"), gnu::noinline, gnu::flatten]] static void en_lettres(
        const std::uint64_t* plans, std::size_t position, char* lettres, std::size_t nombre)
    {
        en_lettres_plans<noyau_avx512>(plans, position, lettres, nombre);
    }

    [[gnu::target("avx512bw"), gnu::noinline, gnu::flatten]] static void etaler(
        const std::uint64_t* plans, std::size_t position, char* destination, std::size_t espacement,
        std::size_t longueur, unsigned nombre, char* brouillon)
    {
        etaler_plans<noyau_avx512>(plans, position, destination, espacement, longueur, nombre, brouillon);
    }
};
#else
using noyau_avx512 = noyau_absent;
#endif
