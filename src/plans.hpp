// SPDX-License-Identifier: MIT
// The generator's values as the writer holds them, bit planes, and the
// letters they give: what every kernel computes, and the steps the letter
// source takes on them one value at a time.
#pragma once

#include "replique.hpp"

#include <cstddef>
#include <cstdint>

// The order A, C, T, G (not alphabetical) decides which letter each
// generator value gives: value r gives bases[(r >> 1) & 3].
inline constexpr char bases[4] = {'A', 'C', 'T', 'G'};

// The values of r modulo 8 are all that a letter needs, and all that the
// recurrence modulo 8 needs. Longer recurrences on them, whose lags are all
// multiples of m values, compute m values at once (noyau.hpp). They are
// held as four bit planes: bits 0, 1 and 2 of r, and the one bit of the
// correction term that counts; value n's bit is bit n % 64 of word n / 64
// of each plane (disposition.hpp lays the planes out). m is a block of 512
// values, a vector of 64 bytes in each plane.
inline constexpr std::size_t plans_par_bloc = 4;
inline constexpr std::size_t valeurs_par_bloc = 512;
inline constexpr std::size_t mots_par_bloc = valeurs_par_bloc / 64;

// The longest lag, twice the generator's long one, in values: each step
// reads back that many.
inline constexpr std::size_t historique = 2 * retard_long * valeurs_par_bloc;

// Where the steps start, in values: the correction terms of the history
// need the history before each of its values, twice the history in all.
inline constexpr std::size_t debut_des_pas = 2 * historique;

// Values a step computes: their letters are made while the planes are
// still in the first-level cache.
inline constexpr std::size_t valeurs_par_pas = 64 * valeurs_par_bloc;

// The planes, from the replica's next values, one at a time; they step it.
// Values [0, nombre), nombre a multiple of 64.
void poser_valeurs(std::uint64_t* plans, std::size_t nombre, replique_rand& replique);

// Whether values [debut, debut + nombre) are the replica's next ones,
// stepping it; debut and nombre are multiples of 64.
bool memes_valeurs(const std::uint64_t* plans, std::size_t debut, std::size_t nombre,
                   replique_rand& temoin);

// The correction terms of the last historique values before debut_des_pas,
// in plane 3, from the values before them.
void amorcer_correctifs(std::uint64_t* plans);

// Moves the last garde values before fin, in every plane, to just before
// debut_des_pas, where the next step reads them back. garde and fin are
// multiples of valeurs_par_bloc.
void garder_valeurs(std::uint64_t* plans, std::size_t fin, std::size_t garde);
