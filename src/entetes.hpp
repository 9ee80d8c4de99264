// SPDX-License-Identifier: MIT
// The header lines of the records, a dizaine at a time: their text, and
// how the next dizaine's follow from them.
#pragma once

#include "format.hpp"

#include <cstddef>
#include <cstdint>

// The last record a file can number: nb_seq is at most INT32_MAX.
inline constexpr std::uint32_t dernier_numero = INT32_MAX - 1;

constexpr std::size_t chiffres_de(std::uint32_t n) { return n < 10 ? 1 : 1 + chiffres_de(n / 10); }

// The least power of two from p on that is at least n.
constexpr std::size_t puissance_de_deux(std::size_t n, std::size_t p = 1)
{
    return p < n ? puissance_de_deux(n, 2 * p) : p;
}

// Records 10 q to 10 q + 9 share one header text: "\n" (ending the record
// before, or in a byte before the block), the header's text, the digits of
// q (none for q = 0), the record's last digit, "\n".
inline constexpr std::size_t longueur_entete_max = 1 + longueur_texte_entete + chiffres_de(dernier_numero) + 1;

// A header as a register holds it: the longest a file can have, and bytes
// past its length, which what follows overwrites.
using entete = unsigned char __attribute__((vector_size(puissance_de_deux(longueur_entete_max))));

struct gabarit {
    char texte[sizeof(entete)];
    std::size_t longueur;
};
constexpr gabarit gabarit_de(std::uint32_t dizaine)
{
    gabarit g{};
    g.texte[0] = '\n';
    std::size_t n = 1;
    for (std::size_t i = 0; i < longueur_texte_entete; ++i)
        g.texte[n++] = texte_entete[i];
    char chiffres[sizeof g.texte] = {};
    std::size_t k = 0;
    for (; dizaine > 0; dizaine /= 10)
        chiffres[k++] = static_cast<char>('0' + dizaine % 10);
    while (k > 0)
        g.texte[n++] = chiffres[--k];
    g.texte[n++] = '0';
    g.texte[n++] = '\n';
    g.longueur = n;
    return g;
}
static_assert(gabarit_de(dernier_numero / 10).longueur == longueur_entete_max, "the longest header");

// Dizaine q + 1's headers from q's: one more at q's last digit; when it goes
// from 9 to 0, nine less there and one more before; or a new text, when q +
// 1 has a digit more (q = 0 has none), or a carry goes past q's last two.
enum class passage { ajout, retenue, nouveau_texte };
constexpr passage passage_de(std::uint32_t dizaine)
{
    if (dizaine % 10 != 9)
        return dizaine > 0 ? passage::ajout : passage::nouveau_texte;
    return dizaine % 100 != 99 && dizaine >= 10 ? passage::retenue : passage::nouveau_texte;
}

// The headers of a dizaine, and what takes one record's to the next's, and
// to the next dizaine's by ajout or retenue.
struct entetes {
    entete e;  // record 10 q's
    entete un;
    entete dix;
    entete retenue;
    std::size_t longueur;  // with the line feed in front
    std::uint32_t dizaine;  // q
};

// 1 at byte position, 0 elsewhere (through a reference: returned, a vector
// would change the calling convention on 32-bit x86 without SSE).
inline void un_a(entete& un, std::size_t position)
{
    un = entete{};
    un[position] = 1;
}

// The headers of ten records from q, their text made anew. Out of line, but
// seen where it is called: the compiler then knows that h's address goes no
// further, and keeps the writer's headers in registers.
[[gnu::noinline]] inline void refaire_entetes(entetes& h, std::uint32_t dizaine)
{
    const gabarit g = gabarit_de(dizaine);
    __builtin_memcpy(&h.e, g.texte, sizeof h.e);
    h.longueur = g.longueur;
    // The digits before the line feed: the record's own, then q's last two.
    un_a(h.un, g.longueur - 2);
    un_a(h.dix, g.longueur - 3);
    un_a(h.retenue, g.longueur - 4);
    h.retenue -= 9 * h.dix;
    h.dizaine = dizaine;
}

// From a dizaine's headers to the next's; made anew when the text changes
// (bytes stored one by one, then read whole, stall, but rarely).
[[gnu::always_inline]] inline void dizaine_suivante(entetes& h)
{
    switch (passage_de(h.dizaine)) {
    case passage::ajout:
        h.e += h.dix;
        break;
    case passage::retenue:
        h.e += h.retenue;
        break;
    case passage::nouveau_texte:
        return refaire_entetes(h, h.dizaine + 1);
    }
    ++h.dizaine;
}
