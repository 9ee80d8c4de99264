// SPDX-License-Identifier: MIT
// What the kernels share. A kernel computes the values on the planes, and
// their letters, on one instruction set, in a file of its own: a struct
// with its name, nom, soixante_quatre_lettres(bits1, bits2, lettres), a
// mot's letters from its bits of planes 1 and 2, and the rest written once
// below. Where an architecture can't build it, it is noyau_absent.
#pragma once

#include "format.hpp"
#include "plans.hpp"
#include "unites.hpp"

#include <cassert>
#include <cstddef>
#include <cstdint>

// What a kernel is where it can't be built: the list of kernels drops it.
struct noyau_absent {};

// A tranche of one plane as one vector: where the processor's registers are
// narrower, the compiler splits it.
using tranche_plan = std::uint64_t __attribute__((vector_size(valeurs_par_tranche / 8)));

// Plane k of the tranche retard tranches before word w of plane 0, ici.
[[gnu::always_inline]] inline void lire(tranche_plan& v, const std::uint64_t* ici, std::size_t retard, unsigned k)
{
    __builtin_memcpy(&v, ici + k * mots_plan - retard * mots_par_tranche, sizeof v);
}

// prolonger: values [debut_des_calculs, debut_des_calculs + nombre_valeurs), whole
// tranches, and their correction terms, from the history before them, by
// the recurrence as plans.hpp derives it.
[[gnu::always_inline]] inline void prolonger_plans(plans_de_bits& plans, std::size_t nombre_valeurs)
{
    std::uint64_t* const fin = plan(plans, 0) + (debut_des_calculs + nombre_valeurs) / 64;
    for (std::uint64_t* ici = plan(plans, 0) + debut_des_calculs / 64; ici < fin; ici += mots_par_tranche) {
        // Hides that one step's loads are earlier steps' stores: seeing it,
        // the compiler carries tranches from step to step in registers, more
        // than there are.
        __asm__("" : "+r"(ici));
        tranche_plan a0, a1, b0, b1, d0, d1, e0, e1, e2, ec, f0, f1, f2, fc;
        lire(a0, ici, petit, 0), lire(a1, ici, petit, 1);
        lire(b0, ici, grand, 0), lire(b1, ici, grand, 1);
        lire(d0, ici, petit_et_grand, 0), lire(d1, ici, petit_et_grand, 1);
        lire(e0, ici, deux_petits, 0), lire(e1, ici, deux_petits, 1);
        lire(e2, ici, deux_petits, 2), lire(ec, ici, deux_petits, 3);
        lire(f0, ici, deux_grands, 0), lire(f1, ici, deux_grands, 1);
        lire(f2, ici, deux_grands, 2), lire(fc, ici, deux_grands, 3);
        // x = r[n-3m] + r[n-31m] - r[n-34m], mod 4.
        const tranche_plan x0 = a0 ^ b0 ^ d0;
        const tranche_plan x1 = a1 ^ b1 ^ (a0 & b0) ^ d1 ^ (~(a0 ^ b0) & d0);
        // y = 2 x + c, mod 8, where c is 0 or 4.
        const tranche_plan c = ec ^ fc;
        const tranche_plan y2 = x1 ^ c;
        // z = r[n-6m] + r[n-62m], mod 8.
        const tranche_plan z0 = e0 ^ f0, k0 = e0 & f0;
        const tranche_plan z1 = e1 ^ f1 ^ k0;
        const tranche_plan k1 = (e1 & f1) | (k0 & (e1 ^ f1));
        const tranche_plan z2 = e2 ^ f2 ^ k1;
        // r = y - z, mod 8; y's bit 0 is 0, its bit 1 is x0.
        const tranche_plan r1 = x0 ^ z1 ^ z0;
        const tranche_plan emprunt = (~x0 & (z1 | z0)) | (z1 & z0);
        const tranche_plan r2 = y2 ^ z2 ^ emprunt;
        // Stored one by one: through an array, GCC builds it on the stack.
        static_assert(nombre_plans == 4, "bits 0, 1 and 2, and the correction term's");
        __builtin_memcpy(ici, &z0, sizeof(tranche_plan));
        __builtin_memcpy(ici + mots_plan, &r1, sizeof(tranche_plan));
        __builtin_memcpy(ici + 2 * mots_plan, &r2, sizeof(tranche_plan));
        __builtin_memcpy(ici + 3 * mots_plan, &c, sizeof(tranche_plan));
    }
}

// Letters from masks of value bits 1 (m1) and 2 (m2), all ones or all
// zeros in each byte, without a table: A, plus C - A where m1 (which falls
// in A's zero bits), plus T - A or G - C where m2.
inline constexpr unsigned char de_a_c = bases[1] - bases[0], de_a_t = bases[2] - bases[0],
                               de_c_g = bases[3] - bases[1];
static_assert(bases[1] > bases[0] && bases[2] > bases[0] && bases[3] > bases[1] &&
                  (bases[0] & de_a_c) == 0,
              "the letters as this arithmetic makes them");
// (Through references: a vector wider than the baseline's registers, passed
// by value, would change the calling convention.)
template <typename vecteur>
[[gnu::always_inline]] inline void lettres_des_masques(vecteur& lettres, const vecteur& m1, const vecteur& m2)
{
    lettres = (bases[0] | (m1 & de_a_c)) + (m2 & (de_a_t ^ (m1 & (de_a_t ^ de_c_g))));
}

// en_lettres: lettres[i] is the letter of value position + i, for i <
// nombre_lettres, and up to debord_vecteur - 1 more; the bits of values up
// to a mot past the last are read. From inside a mot, its letters from
// shifted words, then those from the next mot on from whole words.
template <typename K>
[[gnu::always_inline]] inline void en_lettres_plans(const plans_de_bits& plans, std::size_t position,
                                                    char* lettres, std::size_t nombre_lettres)
{
    std::size_t i = 0;
    if (position % 64 != 0) {
        K::soixante_quatre_lettres(bits_de(plans, 1, position), bits_de(plans, 2, position), lettres);
        i = 64 - position % 64;
    }
    for (; i < nombre_lettres; i += 64) {
        const std::size_t w = (position + i) / 64;
        K::soixante_quatre_lettres(plan(plans, 1)[w], plan(plans, 2)[w], lettres + i);
    }
}

// A run of letters copied in vectors of 16, 32 or 64 bytes, the last ending
// with it: nothing is written past it, nor, if it is a vector long at
// least, before it.
inline constexpr std::size_t run_le_plus_court = 16;
template <std::size_t largeur>
[[gnu::always_inline]] inline void copier_par(char* destination, const char* lettres, std::size_t longueur)
{
    for (std::size_t k = 0; k + largeur < longueur; k += largeur)
        __builtin_memcpy(destination + k, lettres + k, largeur);
    __builtin_memcpy(destination + longueur - largeur, lettres + longueur - largeur, largeur);
}

[[gnu::always_inline]] inline void copier_run(char* destination, const char* lettres, std::size_t longueur)
{
    assert(longueur >= run_le_plus_court);
    if (longueur <= 32)
        return copier_par<run_le_plus_court>(destination, lettres, longueur);
    if (longueur <= 64)
        return copier_par<32>(destination, lettres, longueur);
    copier_par<64>(destination, lettres, longueur);
}

// etaler: the letters of nombre_runs runs of longueur values from position,
// to destination, destination + espacement, and so on, nothing written past
// a run's; made together in brouillon (their letters and a vector), where
// the stores need no shift, then each copied where it goes.
template <typename K>
[[gnu::always_inline]] inline void etaler_plans(const plans_de_bits& plans, std::size_t position,
                                                char* destination, std::size_t espacement,
                                                std::size_t longueur, unsigned nombre_runs, char* brouillon)
{
    K::en_lettres(plans, position, brouillon, longueur * nombre_runs);
    for (unsigned r = 0; r < nombre_runs; ++r, destination += espacement)
        copier_run(destination, brouillon + r * longueur, longueur);
}

// A kernel's three operations, the code above built with the instructions
// that cible's attribute names (flatten: K's soixante_quatre_lettres is
// inlined into them).
#define OPERATIONS_DU_NOYAU(K, cible)                                                                      \
    cible [[gnu::noinline]] static void prolonger(plans_de_bits& plans, std::size_t nombre_valeurs)       \
    { prolonger_plans(plans, nombre_valeurs); }                                                            \
    cible [[gnu::noinline, gnu::flatten]] static void en_lettres(                                          \
        const plans_de_bits& plans, std::size_t position, char* lettres, std::size_t nombre_lettres)      \
    { en_lettres_plans<K>(plans, position, lettres, nombre_lettres); }                                     \
    cible [[gnu::noinline, gnu::flatten]] static void etaler(                                              \
        const plans_de_bits& plans, std::size_t position, char* destination, std::size_t espacement,       \
        std::size_t longueur, unsigned nombre_runs, char* brouillon)                                       \
    { etaler_plans<K>(plans, position, destination, espacement, longueur, nombre_runs, brouillon); }

// The kernel K of the x86 instructions jeu ("avx2"), named once: its code is
// built for them, and a processor runs it when it has them.
#define NOYAU_DES_INSTRUCTIONS(K, jeu)                                 \
    static bool disponible() { return __builtin_cpu_supports(jeu); } \
    OPERATIONS_DU_NOYAU(K, [[gnu::target(jeu)]])

// The kernel K of the baseline instructions, which every processor runs.
#define NOYAU_DE_BASE(K)                      \
    static bool disponible() { return true; } \
    OPERATIONS_DU_NOYAU(K, )
