// SPDX-License-Identifier: MIT
// The generator's values as the writer holds them, bit planes: where each
// value's bits lie, the lags of the recurrence on them and why it holds,
// and the steps the letter source takes on them one value at a time. Every
// kernel computes on this geometry (noyau.hpp).
#pragma once

#include "format.hpp"
#include "replique.hpp"

#include <cstddef>
#include <cstdint>

// The values of r modulo 8 are all that a letter needs, and all that the
// recurrence modulo 8 needs. Longer recurrences on them, whose lags are all
// multiples of m values, compute m values at once (below). They are held
// as four bit planes: bits 0, 1 and 2 of r, and the one bit of the
// correction term that counts; value n's bit is bit n % 64 of word n / 64
// of each plane. m is a slice (tranche) of 512 values, a vector of 64 bytes
// in each plane.
inline constexpr std::size_t nombre_plans = 4;
inline constexpr std::size_t valeurs_par_tranche = 512;
inline constexpr std::size_t mots_par_tranche = valeurs_par_tranche / 64;

// With P(x) = x^31 - x^28 - 1, the recurrence's polynomial, and m a power of
// two: P(x)^m = P(x^m) mod 2, and A = B mod 2 implies A^2 = B^2 mod 4 and
// A^4 = B^4 mod 8. So P(x^m)^2 = P(x)^(2m) mod 4 and P(x^m)^4 = P(x)^(4m)
// mod 8, multiples of P: both annihilate r, modulo 4 and 8. Hence, with
//   c[n] = (P(x^m)^2 r)[n - 62m]
//        = r[n] - 2 r[n-3m] + r[n-6m] - 2 r[n-31m] + 2 r[n-34m] + r[n-62m],
// c is 0 mod 4, and since P(x^m)^2 c = 0 mod 8, c/4 mod 2 follows
// P(x^m)^2 = x^62m + x^56m + 1 mod 2. Modulo 8:
//   c[n] = c[n-6m] + c[n-62m]
//   r[n] = c[n] + 2 (r[n-3m] + r[n-31m] - r[n-34m]) - r[n-6m] - r[n-62m]
// With m = 512 every lag is a whole number of slices: a slice of each plane
// is computed at once, the sums and differences modulo 8 as adders of bits,
// and each load reads back exactly one earlier store (a load straddling two
// recent stores stalls). The lags, in slices:
inline constexpr std::size_t court = retard_court, long_ = retard_long;
inline constexpr std::size_t court_long = court + long_, deux_courts = 2 * court,
                             deux_longs = 2 * long_;

// The longest lag, in values: each step reads back that many.
inline constexpr std::size_t historique = deux_longs * valeurs_par_tranche;

// Where the steps start, in values: the correction terms of the history
// need the history before each of its values, twice the history in all.
inline constexpr std::size_t debut_des_pas = 2 * historique;

// Values a step computes: their letters are made while the planes are
// still in the first-level cache.
inline constexpr std::size_t valeurs_par_pas = 64 * valeurs_par_tranche;

// One plane after the other, each the values of the history and of a
// step, and a slice read past them, on whole pages, and 512 bytes more. So
// the planes start 512 bytes off 4 KiB boundaries from one another: a load
// whose address looks, by its low 12 bits, like that of a store just made
// waits for that store, and no lag of the steps then meets another plane's.
inline constexpr std::size_t octets_plan =
    ((debut_des_pas + valeurs_par_pas + valeurs_par_tranche) / 8 + 4095) / 4096 * 4096 + 512;
inline constexpr std::size_t mots_plan = octets_plan / sizeof(std::uint64_t);

// Word w of plane k, from the planes' start (const or not).
template <typename M>
M& mot_de(M* plans, unsigned k, std::size_t w)
{
    return plans[k * mots_plan + w];
}

// The 64 bits of plane k from value n on; those past the last computed are
// whatever the planes hold.
inline std::uint64_t bits_de(const std::uint64_t* plans, unsigned k, std::size_t n)
{
    const std::size_t w = n / 64;
    const unsigned s = n % 64;
    const std::uint64_t bas = mot_de(plans, k, w);
    return s == 0 ? bas : bas >> s | mot_de(plans, k, w + 1) << (64 - s);
}

// The letter of value n, one at a time.
inline char lettre_de(const std::uint64_t* plans, std::size_t n)
{
    return bases[(bits_de(plans, 1, n) & 1) | (bits_de(plans, 2, n) & 1) << 1];
}

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
// multiples of valeurs_par_tranche.
void garder_valeurs(std::uint64_t* plans, std::size_t fin, std::size_t garde);
