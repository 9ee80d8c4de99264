// SPDX-License-Identifier: MIT
// What the kernels share. A kernel is one way of computing the generator's
// values on bit planes, and their letters, on one instruction set, in a file
// of its own (noyau_*.hpp), as a struct with:
// - nom, its name, and disponible(), whether this processor runs it;
// - soixante_quatre_lettres(bits1, bits2, lettres): the letters of 64
//   values from their bits of planes 1 and 2;
// - prolonger(plans, nombre): values [debut_des_pas, debut_des_pas + nombre)
//   of the planes from plans on, from the historique values before them,
//   with their correction terms; nombre a multiple of valeurs_par_tranche;
// - en_lettres(plans, position, lettres, nombre): lettres[i] is the letter
//   of value position + i, for i < nombre; up to debord_vecteur - 1 letters
//   more may be written, and the bits of values up to 64 past the last read;
// - etaler(plans, position, destination, espacement, longueur, nombre,
//   brouillon): the letters of nombre runs of longueur values (16 or more),
//   one after the other from position, to destination, destination +
//   espacement, and so on, nothing written past a run's letters; brouillon
//   holds the letters of them all and a vector more.
// disponible, prolonger, en_lettres and etaler are written once, below: a
// kernel has them from NOYAU_DES_INSTRUCTIONS, or NOYAU_DE_BASE for the one
// every processor runs. A kernel that an architecture can't build is
// noyau_absent there; noyaux.hpp lists them.
#pragma once

#include "plans.hpp"

#include <cstddef>
#include <cstdint>

// What a kernel is where it can't be built: the list of kernels drops it.
struct noyau_absent {};

// Vectors of 64 bytes are stored aligned on a cache line; vector passes
// read, and write, up to a vector past the last byte they are asked for.
inline constexpr std::size_t alignement = 64;
inline constexpr std::size_t debord_vecteur = 64;

// A slice of one plane, 512 values, as one vector: where the processor's
// registers are narrower, the compiler splits it.
using tranche_plan = std::uint64_t __attribute__((vector_size(valeurs_par_tranche / 8)));

// Plane k of the slice retard slices before p.
[[gnu::always_inline]] inline void lire(tranche_plan& v, const unsigned char* p, std::size_t retard, unsigned k)
{
    __builtin_memcpy(&v, p - retard * sizeof(tranche_plan) + k * octets_plan, sizeof v);
}

// The recurrence as plans.hpp derives it, for a kernel's prolonger.
[[gnu::always_inline]] inline void prolonger_plans(std::uint64_t* plans, std::size_t nombre)
{
    auto* const octets = reinterpret_cast<unsigned char*>(plans);
    const unsigned char* const fin = octets + (debut_des_pas + nombre) / 8;
    for (unsigned char* p = octets + debut_des_pas / 8; p < fin; p += sizeof(tranche_plan)) {
        // Hides that one step's loads are earlier steps' stores: seeing it,
        // the compiler carries slices from step to step in registers, more
        // than there are.
        __asm__("" : "+r"(p));
        tranche_plan a0, a1, b0, b1, d0, d1, e0, e1, e2, ec, f0, f1, f2, fc;
        lire(a0, p, court, 0), lire(a1, p, court, 1);
        lire(b0, p, long_, 0), lire(b1, p, long_, 1);
        lire(d0, p, court_long, 0), lire(d1, p, court_long, 1);
        lire(e0, p, deux_courts, 0), lire(e1, p, deux_courts, 1), lire(e2, p, deux_courts, 2);
        lire(ec, p, deux_courts, 3);
        lire(f0, p, deux_longs, 0), lire(f1, p, deux_longs, 1), lire(f2, p, deux_longs, 2);
        lire(fc, p, deux_longs, 3);
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
        __builtin_memcpy(p, &z0, sizeof(tranche_plan));
        __builtin_memcpy(p + octets_plan, &r1, sizeof(tranche_plan));
        __builtin_memcpy(p + 2 * octets_plan, &r2, sizeof(tranche_plan));
        __builtin_memcpy(p + 3 * octets_plan, &c, sizeof(tranche_plan));
    }
}

// Letters from masks of value bits 1 (m1) and 2 (m2), all ones or all
// zeros in each byte, without a table: A, plus C - A where m1, plus T - A
// or G - C where m2. (A | (C - A) is A + (C - A): C - A falls in A's zero
// bits.)
inline constexpr unsigned char de_a_c = bases[1] - bases[0], de_a_t = bases[2] - bases[0],
                               de_c_g = bases[3] - bases[1];
static_assert(bases[1] > bases[0] && bases[2] > bases[0] && bases[3] > bases[1] &&
                  (bases[0] & de_a_c) == 0,
              "the letters as this arithmetic makes them");
// (Through references: a vector wider than the baseline's registers, passed
// by value, would change the calling convention.)
template <typename octets>
[[gnu::always_inline]] inline void lettres_des_masques(octets& lettres, const octets& m1, const octets& m2)
{
    lettres = (bases[0] | (m1 & de_a_c)) + (m2 & (de_a_t ^ (m1 & (de_a_t ^ de_c_g))));
}

// From a value not aligned on 64, the first 64 letters from shifted words;
// then, from the next aligned value on, those letters again where they go
// and the rest from whole words, which need no shift.
template <typename K>
[[gnu::always_inline]] inline void en_lettres_plans(const std::uint64_t* plans, std::size_t position,
                                                    char* lettres, std::size_t nombre)
{
    std::size_t i = 0;
    if (position % 64 != 0) {
        K::soixante_quatre_lettres(bits_de(plans, 1, position), bits_de(plans, 2, position), lettres);
        i = 64 - position % 64;
    }
    for (; i < nombre; i += 64) {
        const std::size_t w = (position + i) / 64;
        K::soixante_quatre_lettres(mot_de(plans, 1, w), mot_de(plans, 2, w), lettres + i);
    }
}

// A copy of a run of 16 letters or more: in one or two vectors of 16 bytes
// up to 32 letters, of 32 up to 64, else in vectors of 64; the last vector
// ends with the run, so nothing is written past it.
template <std::size_t octets>
[[gnu::always_inline]] inline void copier_par(char* destination, const char* lettres,
                                              std::size_t longueur)
{
    for (std::size_t k = 0; k + octets < longueur; k += octets)
        __builtin_memcpy(destination + k, lettres + k, octets);
    __builtin_memcpy(destination + longueur - octets, lettres + longueur - octets, octets);
}

[[gnu::always_inline]] inline void copier_run(char* destination, const char* lettres,
                                                std::size_t longueur)
{
    if (longueur <= 32)
        return copier_par<16>(destination, lettres, longueur);
    if (longueur <= 64)
        return copier_par<32>(destination, lettres, longueur);
    copier_par<64>(destination, lettres, longueur);
}

// The runs all made at once where the stores need no shift, then each
// copied where it goes.
template <typename K>
[[gnu::always_inline]] inline void etaler_plans(const std::uint64_t* plans, std::size_t position,
                                                char* destination, std::size_t espacement,
                                                std::size_t longueur, unsigned nombre, char* brouillon)
{
    K::en_lettres(plans, position, brouillon, longueur * nombre);
    for (unsigned r = 0; r < nombre; ++r, destination += espacement)
        copier_run(destination, brouillon + r * longueur, longueur);
}

// A kernel's three operations, the code above built with the instructions
// that cible's attribute names (flatten: K's soixante_quatre_lettres is
// inlined into them).
#define OPERATIONS_DU_NOYAU(K, cible)                                                                \
    cible [[gnu::noinline]] static void prolonger(std::uint64_t* plans, std::size_t nombre)         \
    {                                                                                                \
        prolonger_plans(plans, nombre);                                                              \
    }                                                                                                \
    cible [[gnu::noinline, gnu::flatten]] static void en_lettres(const std::uint64_t* plans,         \
                                                                 std::size_t position, char* lettres, \
                                                                 std::size_t nombre)                 \
    {                                                                                                \
        en_lettres_plans<K>(plans, position, lettres, nombre);                                       \
    }                                                                                                \
    cible [[gnu::noinline, gnu::flatten]] static void etaler(                                        \
        const std::uint64_t* plans, std::size_t position, char* destination, std::size_t espacement, \
        std::size_t longueur, unsigned nombre, char* brouillon)                                      \
    {                                                                                                \
        etaler_plans<K>(plans, position, destination, espacement, longueur, nombre, brouillon);      \
    }

// The kernel K of the x86 instructions jeu ("avx2"), named once: its code is
// built for them, and a processor runs it when it has them.
#define NOYAU_DES_INSTRUCTIONS(K, jeu)                                 \
    static bool disponible() { return __builtin_cpu_supports(jeu); } \
    OPERATIONS_DU_NOYAU(K, [[gnu::target(jeu)]])

// The kernel K of the baseline instructions, which every processor runs.
#define NOYAU_DE_BASE(K)                      \
    static bool disponible() { return true; } \
    OPERATIONS_DU_NOYAU(K, )
