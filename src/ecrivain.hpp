// SPDX-License-Identifier: MIT
// The writer's block of output and its memory: records are put in the
// block, and the block sent to the file when it is full.
#pragma once

#include "entetes.hpp"
#include "memoire_source.hpp"
#include "unites.hpp"

#include <algorithm>
#include <cstddef>
#include <memory>

// Records of at most this many letters are written a dizaine at a time.
inline constexpr std::size_t lettres_courtes = 256;

// Every write into the block starts before its end, and runs past it by at
// most marge bytes, which go to the front of the next block:
// - a dizaine of short records, each header stored whole, then what may be
//   written past the last one's letters (the next header overwrites it);
inline constexpr std::size_t dix_courts = records_par_dizaine * (sizeof(entete) + lettres_courtes) + debord_vecteur;
// - a long record's letters, asked up to au_dela_du_bloc past the end, so
//   that a run is not cut for a few bytes, and a vector written past them.
inline constexpr std::size_t au_dela_du_bloc = 128;
inline constexpr std::size_t un_long = sizeof(entete) + au_dela_du_bloc + debord_vecteur;
inline constexpr std::size_t marge = std::max(dix_courts, un_long);

static_assert(taille_bloc % 4096 == 0, "the file written in whole pages");
static_assert(marge <= taille_bloc, "what runs past the block fits the next");
static_assert(records_par_dizaine * lettres_courtes <= lettres_d_un_coup, "a dizaine's letters at once");

// All the writer works in.
struct memoire_sequences {
    memoire_source source;
    // The block from byte alignement on, its margin after it; the byte
    // before it takes the line feed in front of the first header.
    alignas(alignement) char tampon[alignement + taille_bloc + marge];
};

// The bytes the writer is given, its memory wherever they start; the
// memory in them, and its block.
inline constexpr std::size_t octets_memoire = sizeof(memoire_sequences) + alignof(memoire_sequences) - 1;
inline memoire_sequences& memoire_dans(void* debut)
{
    std::size_t place = octets_memoire;
    return *static_cast<memoire_sequences*>(
        std::align(alignof(memoire_sequences), sizeof(memoire_sequences), debut, place));
}

inline char* bloc_de(memoire_sequences& m)
{
    return m.tampon + alignement;
}
