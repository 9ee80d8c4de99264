// SPDX-License-Identifier: MIT
// The generator's values and the letters they give, a whole vector of values
// at a time: the one place that knows vector widths and processor features.
#pragma once

#include "replique.hpp"

#include <cstddef>
#include <cstdint>

// The order A, C, T, G (not alphabetical) decides which letter each
// generator value gives: value r gives bases[(r >> 1) & 3].
inline constexpr char bases[4] = {'A', 'C', 'T', 'G'};

// The values of r modulo 8 are all that a letter needs. Longer recurrences
// on them, whose lags are all multiples of m values, compute m values at
// once. At 16 and 32 bytes the values are bytes, of which only the low 3
// bits count, and m is the width. At 64 bytes they are four bit planes,
// bits 0, 1 and 2 of r and the one bit of the correction term that counts,
// and m = 512, a vector of bits; value n's bit is bit n % 64 of word n / 64
// of each plane.
inline constexpr std::size_t largeur_plans = 64;
inline constexpr std::size_t plans_par_bloc = 4;
inline constexpr std::size_t valeurs_par_bloc = 8 * largeur_plans;

inline constexpr std::size_t valeurs_par_pas(std::size_t largeur)
{
    return largeur == largeur_plans ? valeurs_par_bloc : largeur;
}

// The longest lag is twice the generator's long one: each step reads back
// that many values, and as many correction terms, kept beside them.
inline constexpr std::size_t historique(std::size_t largeur)
{
    return 2 * retard_long * valeurs_par_pas(largeur);
}

// Where the steps start, in values. To start, the correction terms of the
// history need the history before each of its values: twice the history.
// The byte widths start at the same place, which leaves room before it
// for the letters a request may leave waiting.
inline constexpr std::size_t debut_octets = 2 * historique(32) + 128;
inline constexpr std::size_t debut_des_pas(std::size_t largeur)
{
    return largeur == largeur_plans ? 2 * historique(largeur) : debut_octets;
}

// The values the planes hold, in steps of lot_plans; each plane's bytes.
// The planes start 512 bytes off 4 KiB boundaries from each other: a load
// whose address looks, by its low 12 bits, like that of a store just made
// waits for that store, and no lag of the steps then meets another plane's.
inline constexpr std::size_t lot_plans = 64 * valeurs_par_bloc;
inline constexpr std::size_t octets_plan =
    ((debut_des_pas(largeur_plans) + lot_plans) / 8 + largeur_plans + 4095) / 4096 * 4096 + 512;

// The widest vector this processor holds in one register, in bytes: on x86,
// 64 with AVX-512BW and 32 with AVX2; 16 everywhere else. Every function
// below takes any of 16, 32 and 64 on any processor: a width wider than the
// processor holds is built for the instructions it has, slower but the
// same values.
std::size_t largeur_maximale();

// Values [0, nombre) the replica's next ones, stepping it; nombre is a
// multiple of 64.
void poser_valeurs(std::uint8_t* valeurs, std::size_t nombre, replique_rand& replique,
                   std::size_t largeur);

// Whether values [debut, debut + nombre) are the replica's next ones,
// stepping it; debut and nombre are multiples of 64.
bool memes_valeurs(const std::uint8_t* valeurs, std::size_t debut, std::size_t nombre,
                   replique_rand& temoin, std::size_t largeur);

// The correction terms that go with the debut_des_pas(largeur) values of
// valeurs, in correctifs at 16 and 32 bytes, in the blocks themselves at 64.
void amorcer_correctifs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t largeur);

// Computes values [debut_des_pas, debut_des_pas + nombre), and the correction
// terms beside them, from the historique(largeur) of each before them.
// nombre is a multiple of valeurs_par_bloc.
void prolonger_valeurs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t nombre,
                       std::size_t largeur);

// lettres[i] = bases[(r >> 1) & 3] for values r from position on, i < nombre,
// a vector at a time: up to 63 letters more are written past nombre, and
// values up to a vector past the last are read.
void en_lettres(const std::uint8_t* valeurs, std::size_t position, char* lettres,
                std::size_t nombre, std::size_t largeur);

// The letters of nombre runs of longueur values (16 or more; as bit planes,
// 64 or more and plans_etales in all), one after the other from position,
// to destination, destination + pas, and so on. Nothing is written past a
// run's letters. From bit planes, the letters are first made together in
// brouillon, plans_etales + 64 bytes aligned on 64.
inline constexpr std::size_t plans_etales = 4096;
void etaler_lettres(char* destination, std::size_t pas, const std::uint8_t* valeurs,
                    std::size_t position, std::size_t longueur, unsigned nombre,
                    std::size_t largeur, char* brouillon);

// A run of 16 to 256 letters copied in two vectors of the widest size no
// longer than it, or in whole vectors, the last ending with it: nothing is
// written past it.
template <std::size_t octets>
[[gnu::always_inline]] inline void copier_par(char* destination, const char* lettres,
                                              std::size_t longueur)
{
    for (std::size_t k = 0; k + octets < longueur; k += octets)
        __builtin_memcpy(destination + k, lettres + k, octets);
    __builtin_memcpy(destination + longueur - octets, lettres + longueur - octets, octets);
}

[[gnu::always_inline]] inline void copier_suite(char* destination, const char* lettres,
                                                std::size_t longueur)
{
    if (longueur <= 32)
        return copier_par<16>(destination, lettres, longueur);
    if (longueur <= 64)
        return copier_par<32>(destination, lettres, longueur);
    copier_par<64>(destination, lettres, longueur);
}

// The bit planes' letters with the processor's own instructions, and with
// the baseline's, to compare in the tests (en_lettres takes the first).
void plans_en_lettres(const std::uint8_t* valeurs, std::size_t position, char* lettres,
                      std::size_t nombre, bool instructions_du_processeur);

// Ten records of at most 16 letters, as whole vectors of 64 bytes: their
// text, the letters' places empty; what going to the next ten records adds
// to it, one at the last digit of q (dix) or, where that digit goes from 9
// to 0, one at the digit before and minus nine at it (retenue); and, bit i
// of lettres[j], whether byte i of vector j is a letter.
inline constexpr std::size_t vecteurs_dizaine = 5;
struct dizaine_en_vecteurs {
    alignas(64) unsigned char texte[vecteurs_dizaine * 64];
    alignas(64) unsigned char dix[vecteurs_dizaine * 64];
    alignas(64) unsigned char retenue[vecteurs_dizaine * 64];
    std::uint64_t lettres[vecteurs_dizaine];
    unsigned vecteurs;      // those the ten records take
    std::size_t longueur;   // the ten records' bytes
    std::uint32_t dizaine;  // q: records 10 q to 10 q + 9
};

// Whether this processor writes ten records as vectors: AVX-512 with VBMI2,
// whose expanding loads put the letters in their places.
bool dizaines_vectorielles();

// Writes nombre times ten records, from d's on, each ten after the ones
// before from ici, their letters one after the other from lettres, and
// moves d on by as many. None of the tens but the last may need its text
// made anew (q + 1 with one digit more, or a carry past the last two).
void ecrire_dizaines(char* ici, const char* lettres, unsigned nombre, dizaine_en_vecteurs& d);
