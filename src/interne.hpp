// SPDX-License-Identifier: MIT
// What the writer's own files share with each other and with the tests, and
// no caller needs: sizes, the header templates, the check of the vectors.
#pragma once

#include "replique.hpp"

#include <cstddef>
#include <cstdint>

// The file goes to the stream in writes of this many bytes (the last one
// shorter), a multiple of the page size.
inline constexpr std::size_t taille_tampon = std::size_t{1} << 20;

// Records of at most this many letters are written ten at a time.
inline constexpr std::size_t lettres_courtes = 256;

// The first letters of a file are drawn through rand while the replica is
// stepped beside it; the rest comes from the replica only when that many
// values agree in full. Files with fewer letters are drawn through rand.
inline constexpr std::size_t lettres_verifiees = 64;

// Values the replica computes per step on vectors, and its buffer holds past
// the history the steps need: small enough for the first-level cache.
inline constexpr std::size_t taille_lot = std::size_t{1} << 13;

// The headers of ten records at once, records 10 q to 10 q + 9: "\n>Seq",
// the digits of q (none for q = 0), the last digit 0, "\n". The line feed in
// front ends the record before (the first record's goes to a byte before the
// block's start).
struct gabarit {
    char texte[16];  // the longest, "\n>Seq2147483640\n", takes 16
    std::size_t longueur;
};

gabarit gabarit_de(std::uint32_t dizaine);

// Whether vectors of largeur bytes, on this processor, give the values that
// the replica stepped one at a time gives: their first two steps (a whole
// step, then the history moved and the next) from the history of
// debut_des_pas(largeur) values in valeurs, against temoin, the replica's
// state right after that history. Overwrites both buffers.
bool deux_pas_conformes(std::uint8_t* valeurs, std::uint8_t* correctifs, replique_rand temoin,
                        std::size_t largeur);
