// SPDX-License-Identifier: MIT
// The portable kernel, on vectors of the compiler's own, for the baseline
// instructions (SSE2 on x86-64, NEON on aarch64, 32-bit operations on
// 32-bit ARM): every processor runs it, and every kernel falls back on it.
#pragma once

#include "noyau.hpp"

#include <cstddef>
#include <cstdint>

struct noyau_portable {
    static constexpr const char* nom = "portable";

    // 16 letters a vector: each value's byte made from its word's bits by
    // interleaving bytes (which every instruction set has), then its bit
    // picked out.
    using vecteur = unsigned char __attribute__((vector_size(16)));
    using mots_vecteur = std::uint64_t __attribute__((vector_size(16)));

    // The low, or the high, halves of a and b's bytes interleaved:
    // a0 b0 a1 b1 ... (one instruction on SSE2 and on NEON). Vectors go in
    // and out through references: by value, they would change the calling
    // convention where the baseline has no vector registers (32-bit x86).
    template <bool haut>
    [[gnu::always_inline]] static void entrelacer(vecteur& resultat, const vecteur& a, const vecteur& b)
    {
        constexpr int o = haut ? 8 : 0;
#if defined(__clang__)
        resultat = __builtin_shufflevector(a, b, o, 16 + o, o + 1, 17 + o, o + 2, 18 + o, o + 3, 19 + o,
                                         o + 4, 20 + o, o + 5, 21 + o, o + 6, 22 + o, o + 7, 23 + o);
#else
        const vecteur ordre = {o, 16 + o, o + 1, 17 + o, o + 2, 18 + o, o + 3, 19 + o,
                              o + 4, 20 + o, o + 5, 21 + o, o + 6, 22 + o, o + 7, 23 + o};
        resultat = __builtin_shuffle(a, b, ordre);
#endif
    }

    // The bytes of a word of 64 values' bits, value 8 j + i's bit in byte j,
    // each eight times, in four vectors.
    [[gnu::always_inline]] static void repeter(std::uint64_t bits, vecteur (&huit_fois)[4])
    {
        if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)
            bits = __builtin_bswap64(bits);
        const mots_vecteur mot = {bits, 0};
        const auto un = reinterpret_cast<vecteur>(mot);
        vecteur deux, quatre_bas, quatre_haut;
        entrelacer<false>(deux, un, un);
        entrelacer<false>(quatre_bas, deux, deux);
        entrelacer<true>(quatre_haut, deux, deux);
        entrelacer<false>(huit_fois[0], quatre_bas, quatre_bas);
        entrelacer<true>(huit_fois[1], quatre_bas, quatre_bas);
        entrelacer<false>(huit_fois[2], quatre_haut, quatre_haut);
        entrelacer<true>(huit_fois[3], quatre_haut, quatre_haut);
    }

    static void soixante_quatre_lettres(std::uint64_t bits1, std::uint64_t bits2, char* lettres)
    {
        const vecteur bit = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
        vecteur b1[4], b2[4];
        repeter(bits1, b1);
        repeter(bits2, b2);
        for (unsigned j = 0; j < 4; ++j) {
            const auto m1 = reinterpret_cast<vecteur>((b1[j] & bit) == bit);
            const auto m2 = reinterpret_cast<vecteur>((b2[j] & bit) == bit);
            vecteur seize;
            lettres_des_masques(seize, m1, m2);
            __builtin_memcpy(lettres + 16 * j, &seize, sizeof seize);
        }
    }

    NOYAU_DE_BASE(noyau_portable)
};
