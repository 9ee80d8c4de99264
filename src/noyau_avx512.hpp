// SPDX-License-Identifier: MIT
// The kernels of x86 processors with AVX-512BW: a block of each bit plane
// in one register, and 64 letters a register, by three blends. With
// AVX-512 VBMI2, whose expanding stores put letters in their places, ten
// records of at most 16 letters are also written as whole vectors.
#pragma once

#include "noyau.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include "entetes.hpp"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Ten records of at most 16 letters as whole vectors of 64 bytes: their
// text, the letters' places empty; what going to the next ten adds to it,
// by ajout (dix) or by retenue; and, bit i of lettres[j], whether byte i of
// vector j is a letter.
inline constexpr std::size_t lettres_en_vecteurs = 16;
inline constexpr std::size_t vecteurs_dizaine = 5;
struct dizaine_en_vecteurs {
    alignas(64) unsigned char texte[vecteurs_dizaine * 64];
    alignas(64) unsigned char dix[vecteurs_dizaine * 64];
    alignas(64) unsigned char retenue[vecteurs_dizaine * 64];
    std::uint64_t lettres[vecteurs_dizaine];
    unsigned vecteurs;      // those the ten records take
    std::size_t longueur;   // the ten records' bytes
    std::uint32_t dizaine;  // q
};
static_assert(10 * (gabarit_de((INT32_MAX - 1) / 10).longueur + lettres_en_vecteurs) <=
                  sizeof dizaine_en_vecteurs::texte,
              "ten records of the longest header fit the vectors");
static_assert(vecteurs_dizaine * 64 <= disposition::marge, "the vectors of ten records fit the block's margin");

// The ten records from q, of taille letters (at most lettres_en_vecteurs),
// as vectors.
inline void preparer_dizaine(dizaine_en_vecteurs& d, std::uint32_t dizaine, std::size_t taille)
{
    const gabarit g = gabarit_de(dizaine);
    std::memset(&d, 0, sizeof d);
    d.longueur = 10 * (g.longueur + taille);
    d.vecteurs = static_cast<unsigned>((d.longueur + 63) / 64);
    d.dizaine = dizaine;
    for (unsigned r = 0; r < 10; ++r) {
        const std::size_t debut = r * (g.longueur + taille);
        std::memcpy(d.texte + debut, g.texte, g.longueur);
        d.texte[debut + chiffre_du_record(g.longueur)] = static_cast<unsigned char>('0' + r);
        for (std::size_t k = debut + g.longueur; k < debut + g.longueur + taille; ++k)
            d.lettres[k / 64] |= std::uint64_t{1} << k % 64;
        // By ajout, one more at q's last digit; by retenue, that digit goes
        // from 9 to 0 and the one before gets one more. (Where q has no such
        // digit, the ten after needs a new text.)
        if (dizaine > 0)
            d.dix[debut + chiffre_des_dizaines(g.longueur)] = 1;
        if (dizaine >= 10) {
            d.retenue[debut + chiffre_des_centaines(g.longueur)] = 1;
            d.retenue[debut + chiffre_des_dizaines(g.longueur)] = static_cast<unsigned char>(-9);
        }
    }
}

template <bool vbmi2>
struct noyau_avx512_de {
    static constexpr const char* nom = vbmi2 ? "avx512_vbmi2" : "avx512";
    static bool disponible()
    {
        return __builtin_cpu_supports("avx512bw") && (!vbmi2 || __builtin_cpu_supports("avx512vbmi2"));
    }
    static constexpr std::size_t lettres_des_dizaines = vbmi2 ? lettres_en_vecteurs : 0;

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

    // nombre times ten records from d's on, each ten after the ones before
    // from ici, their letters one after the other from lettres, moving d on
    // by as many; none of the tens but the last may need a new text.
    static void dizaines_de(char* ici, const char* lettres, unsigned nombre, dizaine_en_vecteurs& d)
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

    template <typename E>
    static bool ecrire_dizaines(E& e, std::uint32_t dizaines, std::size_t taille)
    {
        dizaine_en_vecteurs d;
        preparer_dizaine(d, 0, taille);
        while (d.dizaine < dizaines) {
            if (!e.vider())
                return false;
            // As many tens as end at the next that needs a new text, as the
            // block has room to start, and as letters are given at once.
            const std::uint32_t q = d.dizaine;
            const std::uint32_t du_texte = dizaines_du_texte(q);
            const std::size_t place = (e.place() + d.longueur - 1) / d.longueur;
            const std::size_t par_lettres =
                taille > 0 ? disposition::lettres_d_un_coup / (10 * taille) : place;
            const auto nombre = static_cast<unsigned>(
                std::min<std::size_t>({dizaines - q, du_texte, place, par_lettres}));
            // (Without letters, none is read, but from memory that is there.)
            const char* const lettres =
                taille > 0 ? e.lettres(10 * taille * nombre) : reinterpret_cast<const char*>(d.texte);
            dizaines_de(e.ici(), lettres, nombre, d);
            e.avancer(nombre * d.longueur);
            if (nombre == du_texte)
                preparer_dizaine(d, d.dizaine, taille);
        }
        return e.vider();
    }
};

using noyau_avx512 = noyau_avx512_de<false>;
using noyau_avx512_vbmi2 = noyau_avx512_de<true>;
#else
using noyau_avx512 = noyau_absent;
using noyau_avx512_vbmi2 = noyau_absent;
#endif
