// SPDX-License-Identifier: MIT
// Where the letters of the file come from, in file order: the C library's
// rand, or our replica of it once it has proved to give the same values.
#pragma once

#include "replique.hpp"

#include <cstddef>
#include <cstdint>

// The order A, C, T, G (not alphabetical) decides which letter each
// generator value gives.
inline constexpr char bases[4] = {'A', 'C', 'T', 'G'};

// One call of rand; its two lowest bits pick the letter.
char tirer_base();

// The same, keeping the whole value rand returned in tirage.
char tirer_base(int& tirage);

// The first letters of a file are drawn through rand while the replica is
// stepped beside it; the rest comes from the replica only when that many
// values agree in full. Files with fewer letters are drawn through rand.
inline constexpr std::size_t lettres_verifiees = 64;

// Values the replica computes per step, and its buffer holds past the
// history the recurrence needs: small enough for the first-level cache.
inline constexpr std::size_t taille_lot = std::size_t{1} << 13;

// The most letters a caller leaves untaken when it asks for more.
inline constexpr std::size_t reste_maximal = 4096;

// Bytes that may be read past the last letter waiting, by a caller copying
// in fixed sizes, and written past the last one made.
inline constexpr std::size_t lecture_au_dela = 64;

// The memory a source works in, in bytes, aligned on 64 bytes by the caller.
std::size_t taille_memoire_source();

// The letters waiting, in file order: first those made as letters, then
// the replica's values not yet turned into letters.
struct source_lettres {
    std::int64_t a_faire;     // letters of the file not yet drawn through rand
    std::int64_t a_verifier;  // letters still to draw through rand beside the replica
    bool par_rand;            // every letter left comes from rand
    replique_rand replique;
    // The replica's values modulo 8: those the next step reads back, then
    // room for taille_lot more; the correction terms the same way beside.
    // Values from prises to calculees are waiting.
    std::uint8_t* valeurs;
    std::uint8_t* correctifs;
    std::size_t prises;
    std::size_t calculees;
    std::size_t largeur;  // of the vectors the values are computed with
    // Letters from debut to fin are waiting.
    char* lettres;
    std::size_t debut;
    std::size_t fin;
};

// A source for a file of nombre_lettres letters, after srand(graine), with
// vectors of largeur bytes, working in memoire.
source_lettres preparer_source(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres,
                               std::size_t largeur);

// True once the replica makes the letters.
inline bool replique_en_charge(const source_lettres& source)
{
    return source.a_verifier == 0 && !source.par_rand;
}

// Makes more letters after those waiting (which may move to the front):
// through rand, at least one while the file needs any; from the replica's
// values, just enough for voulues to wait (at most reste_maximal), or at
// least one when voulues is 0.
void recharger(source_lettres& source, std::size_t voulues = 0);

// Computes taille_lot more of the replica's values, after those waiting
// (fewer than reste_maximal, which may move to the front). Only when the
// replica is in charge.
void calculer(source_lettres& source);
