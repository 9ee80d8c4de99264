// SPDX-License-Identifier: MIT
// The units the writer counts in, each defined here once, and the memory
// its vectors need:
//   value    one value of the generator; it gives one letter
//   mot      64 values: one 64-bit word of each bit plane
//   tranche  512 values: one vector of 64 bytes of each plane
//   pas      32,768 values: a kernel's step (its checks take shorter ones)
//   coup     up to 4,096 letters: the most a source gives at once
//   lot      8,192 letters: what a source makes at once ahead of need
//   bloc     1 MiB of the file: what goes to the system in one write
//   dizaine  10 records: those whose numbers differ in their last digit
//   run      letters of one line, or part of one, put where they go
//   vecteur  the bytes of a vector register, 16 to 64 by instruction set
#pragma once

#include <cstddef>

inline constexpr std::size_t valeurs_par_mot = 64;
inline constexpr std::size_t valeurs_par_tranche = 512;
inline constexpr std::size_t valeurs_par_pas = 64 * valeurs_par_tranche;
inline constexpr std::size_t lettres_d_un_coup = 4096;
inline constexpr std::size_t lettres_par_lot = 8192;
inline constexpr std::size_t taille_bloc = std::size_t{1} << 20;
inline constexpr std::size_t records_par_dizaine = 10;

// Vectors of 64 bytes are stored aligned on a cache line; vector passes
// read, and write, up to a vector past the last byte they are asked for.
inline constexpr std::size_t alignement = 64;
inline constexpr std::size_t debord_vecteur = 64;
