// SPDX-License-Identifier: MIT
// Where everything the writer works with lies, in the memory its caller
// gives it, and why: the letter source's planes and letters, then the block
// of output and its margins. Offsets are in bytes from the first address of
// that memory aligned on `alignement`.
#pragma once

#include "entetes.hpp"
#include "plans.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace disposition {

// Everything starts on a cache line, where vectors of 64 bytes are stored
// aligned.
inline constexpr std::size_t alignement = 64;

// Vector passes read, and write, up to a vector past the last byte they are
// asked for.
inline constexpr std::size_t debord_vecteur = 64;

constexpr std::size_t aligne(std::size_t octets, std::size_t sur = alignement)
{
    return (octets + sur - 1) / sur * sur;
}

// The planes (plans.hpp says how they are laid out).
inline constexpr std::size_t plans = 0;

// The letters made and not yet taken: at most lettres_d_un_coup given at
// once, made lot_lettres at a time after those waiting, which are moved to
// the front when the next lot would pass en_cours: a few first-level cache
// pages in use. A vector may be written past them.
inline constexpr std::size_t lettres = plans + nombre_plans * octets_plan;
inline constexpr std::size_t lettres_d_un_coup = 4096;
inline constexpr std::size_t lot_lettres = 8192;
inline constexpr std::size_t en_cours = lettres_d_un_coup + 2 * lot_lettres;

// Runs of letters made together before each is copied to its place, past
// the letters in use.
inline constexpr std::size_t brouillon = lettres + en_cours + debord_vecteur;
inline constexpr std::size_t octets_brouillon = lettres_d_un_coup + debord_vecteur;

// While a kernel's first steps are checked, before any letter but the first
// few is made: a copy of the history they overwrite, planes 0 to 2 (the
// correction terms are made again), past those few letters.
inline constexpr std::size_t copie = lettres + lettres_d_un_coup;
inline constexpr std::size_t octets_copie = 2 * octets_plan + debut_des_pas / 8;

inline constexpr std::size_t fin_source =
    aligne(std::max(brouillon + octets_brouillon, copie + octets_copie));

// The file goes to the descriptor in writes of a block (the last shorter),
// a multiple of the page size. Before it, room for the first record's line
// feed, which the header in front of the first record writes.
inline constexpr std::size_t taille_bloc = std::size_t{1} << 20;
inline constexpr std::size_t bloc = fin_source + alignement;

// Records of at most this many letters are written ten at a time.
inline constexpr std::size_t lettres_courtes = 256;

// Every write into the block starts before its end, and runs past it by at
// most marge bytes, which go to the front of the next block:
// - ten short records, each header stored whole, then what may be written
//   past the last one's letters (the next header overwrites it);
inline constexpr std::size_t dix_courts = 10 * (sizeof(entete) + lettres_courtes) + debord_vecteur;
// - a long record's letters, asked up to au_dela_du_bloc past the end, so
//   that a run is not cut for a few bytes, and a vector written past them.
inline constexpr std::size_t au_dela_du_bloc = 128;
inline constexpr std::size_t un_long = sizeof(entete) + au_dela_du_bloc + debord_vecteur;
inline constexpr std::size_t marge = std::max(dix_courts, un_long);

// All of it, with room to align its start.
inline constexpr std::size_t taille = alignement + bloc + taille_bloc + marge;

static_assert(debut_des_pas % valeurs_par_tranche == 0 && valeurs_par_pas % valeurs_par_tranche == 0 &&
                  historique % valeurs_par_tranche == 0,
              "the planes move and step by whole blocks");
static_assert(octets_plan % alignement == 0 && lettres % alignement == 0 &&
                  brouillon % alignement == 0 && bloc % alignement == 0,
              "aligned");
static_assert(lettres_d_un_coup <= historique,
              "the values waiting to be made letters are kept with the history");
static_assert(lot_lettres % 64 == 0 && lettres_d_un_coup % 64 == 0,
              "letters are made from whole words of the planes");
static_assert(10 * lettres_courtes <= lettres_d_un_coup, "ten short records' letters at once");
static_assert(marge <= taille_bloc, "what runs past the block fits the next");
static_assert(taille_bloc % 4096 == 0, "whole pages");

} // namespace disposition
