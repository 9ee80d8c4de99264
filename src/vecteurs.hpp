// SPDX-License-Identifier: MIT
// The generator's values and the letters they give, a whole vector of values
// at a time: the one place that knows vector widths and processor features.
#pragma once

#include <cstddef>
#include <cstdint>

// The values of r modulo 8 are all that a letter needs. Longer recurrences
// on them, whose lags are all multiples of a vector's width m, compute a
// whole vector of values at once, on bytes of which only the low 3 bits
// count. Their longest lag is 62 m values: each step reads back that many
// values, and as many of a second sequence, the correction terms, that they
// keep beside.
inline constexpr std::size_t historique(std::size_t largeur)
{
    return 62 * largeur;
}

// Where the steps start in both buffers. To start, the correction terms of
// the 62 m values before need the 62 m values before each of those: twice
// the history, at the widest width (64 bytes).
inline constexpr std::size_t retard_maximal = 2 * historique(64);

// The widest vector this processor holds in one register, in bytes: on x86,
// 64 with AVX-512BW and 32 with AVX2; 16 everywhere else. Every function
// below takes any of 16, 32 and 64 on any processor: a width wider than the
// processor holds is built for the instructions it has, the compiler
// splitting each vector, slower but the same values.
std::size_t largeur_maximale();

// The correction terms that go with the retard_maximal values of valeurs,
// for vectors of largeur bytes.
void amorcer_correctifs(const std::uint8_t* valeurs, std::uint8_t* correctifs,
                        std::size_t largeur);

// Computes valeurs[retard_maximal .. retard_maximal + nombre), and the
// correction terms beside them, from the historique(largeur) of each before
// them, largeur values at a time. nombre is a multiple of 64.
void prolonger_valeurs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t nombre,
                       std::size_t largeur);

// lettres[i] = bases[(valeurs[i] >> 1) & 3] for i < nombre, largeur at a
// time: up to largeur - 1 letters more are written past nombre, and as many
// values read past the last.
void en_lettres(const std::uint8_t* valeurs, char* lettres, std::size_t nombre,
                std::size_t largeur);

// The letters of nombre runs of longueur values (16 or more), one after the
// other from valeurs, to destination, destination + pas, and so on, with
// vectors of up to largeur bytes. Nothing is written past a run's letters.
void etaler_lettres(char* destination, std::size_t pas, const std::uint8_t* valeurs,
                    std::size_t longueur, unsigned nombre, std::size_t largeur);
