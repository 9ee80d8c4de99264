// SPDX-License-Identifier: MIT
// The file "alea.seq" as its readers see it: its letters, in the order that
// decides which letter each generator value gives, and the text that begins
// each record's header line.
#pragma once

#include <cstddef>

// A, C, T, G, not alphabetical: the k-th value v that rand returns gives the
// file's k-th letter, bases[v & 3].
inline constexpr char bases[4] = {'A', 'C', 'T', 'G'};
inline char lettre_du_tirage(int valeur)
{
    return bases[valeur & 3];
}

// A header line is this text, then the record's number counted from 0.
inline constexpr char texte_entete[] = ">Seq";
inline constexpr std::size_t longueur_texte_entete = sizeof texte_entete - 1;
