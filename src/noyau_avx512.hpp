// SPDX-License-Identifier: MIT
// The kernels of x86 processors with AVX-512BW: a block of each bit plane
// in one register, and 64 letters a register, by three blends. With
// AVX-512 VBMI2, whose expanding stores put letters in their places, ten
// records of at most 16 letters are also written as whole vectors.
#pragma once

#include "entetes.hpp"
#include "noyau.hpp"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

template <bool vbmi2>
struct noyau_avx512_de {
    static constexpr const char* nom = vbmi2 ? "avx512_vbmi2" : "avx512";
    static bool disponible()
    {
        return __builtin_cpu_supports("avx512bw") && (!vbmi2 || __builtin_cpu_supports("avx512vbmi2"));
    }
    static constexpr bool dizaines = vbmi2;

    [[gnu::target("avx512bw"), gnu::noinline]] static void prolonger(std::uint64_t* plans,
                                                                    std::size_t nombre)
    {
        prolonger_plans(plans, nombre);
    }

    // 64 letters from 64 bits of planes 1 and 2, as masks.
    [[gnu::target("avx512bw"), gnu::always_inline]] static __m512i lettres_de(__mmask64 k1, __mmask64 k2)
    {
        const __m512i sans_t = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[0]),
                                                      _mm512_set1_epi8(bases[1]));
        const __m512i avec_t = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[2]),
                                                      _mm512_set1_epi8(bases[3]));
        return _mm512_mask_blend_epi8(k2, sans_t, avec_t);
    }

    // From a value not aligned on 64, the first 64 letters from shifted
    // words; then, from the next aligned value on, those letters again where
    // they go and the rest from whole words.
    [[gnu::target("avx512bw"), gnu::noinline]] static void en_lettres(const std::uint64_t* plans,
                                                                     std::size_t position,
                                                                     char* lettres, std::size_t nombre)
    {
        std::size_t i = 0;
        if (position % 64 != 0) {
            _mm512_storeu_si512(lettres, lettres_de(bits_de(plans, 1, position), bits_de(plans, 2, position)));
            i = 64 - position % 64;
        }
        for (; i < nombre; i += 64) {
            const std::size_t w = (position + i) / 64;
            _mm512_storeu_si512(lettres + i, lettres_de(mot_de(plans, 1, w), mot_de(plans, 2, w)));
        }
    }

    [[gnu::target("avx512bw"), gnu::noinline]] static void etaler(const std::uint64_t* plans,
                                                                 std::size_t position, char* destination,
                                                                 std::size_t pas, std::size_t longueur,
                                                                 unsigned nombre, char* brouillon)
    {
        etaler_plans<noyau_avx512_de>(plans, position, destination, pas, longueur, nombre, brouillon);
    }

    // Ten records at a time in n vectors: each vector expanded from the
    // letters where its bytes are letters, over the text.
    template <unsigned n>
    [[gnu::target("avx512bw,avx512vbmi2")]] static void dizaines_par(char* ici, const char* lettres,
                                                                    unsigned nombre,
                                                                    dizaine_en_vecteurs& d)
    {
        __m512i texte[n], dix[n], retenue[n];
        __mmask64 places[n];
        unsigned prises[n];
        for (unsigned j = 0; j < n; ++j) {
            texte[j] = _mm512_load_si512(d.texte + 64 * j);
            dix[j] = _mm512_load_si512(d.dix + 64 * j);
            retenue[j] = _mm512_load_si512(d.retenue + 64 * j);
            places[j] = d.lettres[j];
            prises[j] = static_cast<unsigned>(__builtin_popcountll(d.lettres[j]));
        }
        std::uint32_t q = d.dizaine;
        for (unsigned k = 0; k < nombre; ++k, ++q, ici += d.longueur) {
            for (unsigned j = 0; j < n; ++j) {
                // From a register: expanding straight from memory is
                // microcoded on some processors.
                const __m512i suivantes = _mm512_loadu_si512(lettres);
                _mm512_storeu_si512(ici + 64 * j, _mm512_mask_expand_epi8(texte[j], places[j], suivantes));
                lettres += prises[j];
            }
            const bool retenue_ici = par_retenue(q);
            for (unsigned j = 0; j < n; ++j)
                texte[j] = _mm512_add_epi8(texte[j], retenue_ici ? retenue[j] : dix[j]);
        }
        for (unsigned j = 0; j < n; ++j)
            _mm512_store_si512(d.texte + 64 * j, texte[j]);
        d.dizaine = q;
    }

    static void ecrire_dizaines(char* ici, const char* lettres, unsigned nombre, dizaine_en_vecteurs& d)
    {
        static_assert(vbmi2, "the expanding stores are VBMI2's");
        static_assert(vecteurs_dizaine == 5, "one loop for each number of vectors");
        switch (d.vecteurs) {
        case 1:
            return dizaines_par<1>(ici, lettres, nombre, d);
        case 2:
            return dizaines_par<2>(ici, lettres, nombre, d);
        case 3:
            return dizaines_par<3>(ici, lettres, nombre, d);
        case 4:
            return dizaines_par<4>(ici, lettres, nombre, d);
        default:
            return dizaines_par<5>(ici, lettres, nombre, d);
        }
    }
};

using noyau_avx512 = noyau_avx512_de<false>;
using noyau_avx512_vbmi2 = noyau_avx512_de<true>;
