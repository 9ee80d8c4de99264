// SPDX-License-Identifier: MIT
// The generator's values as the writer holds them, bit planes: where each
// value's bits lie, the recurrence on them and why it holds, and its steps
// one value at a time. Every kernel computes on this geometry.
#pragma once

#include "format.hpp"
#include "replique.hpp"
#include "unites.hpp"

#include <cstddef>
#include <cstdint>

// The values of r modulo 8 are all that a letter needs, and all that the
// recurrence modulo 8 needs. Longer recurrences on them, whose lags are all
// multiples of m values, compute m values at once (below). They are held
// as four bit planes: bits 0, 1 and 2 of r, and the one bit of the
// correction term that counts; value n's bit is bit n % 64 of word n / 64
// of each plane. m is a tranche, a vector of 64 bytes in each plane.
inline constexpr std::size_t nombre_plans = 4;
inline constexpr std::size_t mots_par_tranche = valeurs_par_tranche / valeurs_par_mot;

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
// With m = a tranche every lag is a whole number of tranches: a tranche of
// each plane is computed at once, the sums and differences modulo 8 as
// adders of bits, and each load reads back exactly one earlier store (a
// load straddling two recent stores stalls). The lags, in tranches:
inline constexpr std::size_t petit = petit_retard, grand = grand_retard;
inline constexpr std::size_t petit_et_grand = petit + grand, deux_petits = 2 * petit, deux_grands = 2 * grand;

// The longest lag, in values: each step reads back that many.
inline constexpr std::size_t historique = deux_grands * valeurs_par_tranche;

// Where the values a kernel computes start: the correction terms of the
// history need the history before each of its values, twice the history.
inline constexpr std::size_t debut_des_calculs = 2 * historique;

// A plane: the history, a pas and a tranche read past them, on whole pages,
// and 512 bytes more, so that no lag meets another plane's by the low 12
// bits of its address (a load that looks like a recent store waits for it).
inline constexpr std::size_t mots_plan =
    ((debut_des_calculs + valeurs_par_pas + valeurs_par_tranche) / 8 + 4095) / 4096 * 4096 / 8 + 512 / 8;

// The planes one after the other: word w of plane k is plan(plans, k)[w].
struct plans_de_bits {
    alignas(alignement) std::uint64_t mots[nombre_plans * mots_plan];
};
template <typename P>
auto* plan(P& plans, unsigned k)
{
    return plans.mots + k * mots_plan;
}

// The 64 bits of plane k from value n on, past the computed as they are.
inline std::uint64_t bits_de(const plans_de_bits& plans, unsigned k, std::size_t n)
{
    const std::uint64_t* const mots = plan(plans, k) + n / 64;
    const unsigned s = n % 64;
    return s == 0 ? mots[0] : mots[0] >> s | mots[1] << (64 - s);
}

inline char lettre_de(const plans_de_bits& plans, std::size_t n)
{
    return bases[(bits_de(plans, 1, n) & 1) | (bits_de(plans, 2, n) & 1) << 1];
}

// The planes, from the replica's next values, one at a time; they step it.
// Values [0, nombre_valeurs), a whole number of mots.
void poser_valeurs(plans_de_bits& plans, std::size_t nombre_valeurs, replique_rand& replique);

// Whether values [debut, debut + nombre_valeurs) are the replica's next
// ones, stepping it; both a whole number of mots.
bool memes_valeurs(const plans_de_bits& plans, std::size_t debut, std::size_t nombre_valeurs,
                   replique_rand& temoin);

// The correction terms of the last historique values before debut_des_calculs,
// in plane 3, from the values before them.
void amorcer_correctifs(plans_de_bits& plans);

// Moves the historique values before fin, whole tranches, to just before
// debut_des_calculs, where the next step reads them back.
void garder_historique(plans_de_bits& plans, std::size_t fin);

// The history a move overwrites, in planes 0 to 2, kept aside; then put
// back, and its correction terms made again.
struct copie_historique {
    std::uint64_t mots[nombre_plans - 1][historique / 64];
};
void copier_historique(const plans_de_bits& plans, copie_historique& copie);
void rendre_historique(plans_de_bits& plans, const copie_historique& copie);
