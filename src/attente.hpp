// SPDX-License-Identifier: MIT
// The letters a source has made and not yet given, whatever made them, and
// how a source gives them as a pointer to the next ones.
#pragma once

#include "unites.hpp"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

// Room for a coup and two lots: a few first-level cache pages in use.
inline constexpr std::size_t en_cours = lettres_d_un_coup + 2 * lettres_par_lot;

// The letters waiting: lettres[debut_lettres, fin_lettres).
struct attente {
    char* lettres;
    std::size_t debut_lettres;
    std::size_t fin_lettres;
};

inline std::size_t en_attente(const attente& a)
{
    return a.fin_lettres - a.debut_lettres;
}

inline bool en_ordre(const attente& a)
{
    return a.debut_lettres <= a.fin_lettres && a.fin_lettres <= en_cours;
}

// The next nombre_lettres letters waiting, taken.
inline const char* prendre_lettres(attente& a, std::size_t nombre_lettres)
{
    assert(nombre_lettres <= en_attente(a));
    a.debut_lettres += nombre_lettres;
    return a.lettres + a.debut_lettres - nombre_lettres;
}

// Copies up to longueur of the letters waiting to destination, and takes
// them; how many. Mostly the few checked against rand: a copy of unknown
// size this small costs more than the letters, so a vector may be written.
inline std::size_t prendre_en_attente(attente& a, char* destination, std::size_t longueur)
{
    const std::size_t fait = std::min(longueur, en_attente(a));
    const char* const lettres = prendre_lettres(a, fait);
    if (fait <= debord_vecteur)
        __builtin_memcpy(destination, lettres, debord_vecteur);
    else
        __builtin_memcpy(destination, lettres, fait);
    return fait;
}

// Where a lot more goes, after those waiting, which move to the front
// when it would pass en_cours.
inline char* place_d_un_lot(attente& a)
{
    assert(en_ordre(a));
    if (a.fin_lettres + lettres_par_lot > en_cours) {
        std::memmove(a.lettres, a.lettres + a.debut_lettres, en_attente(a));
        a.fin_lettres -= a.debut_lettres;
        a.debut_lettres = 0;
    }
    return a.lettres + a.fin_lettres;
}

// Source S's letters made ahead, a lot at a time, until nombre_lettres wait.
template <typename S>
[[gnu::noinline]] void attendre_lettres(S& source, std::size_t nombre_lettres)
{
    while (en_attente(source.a) < nombre_lettres)
        recharger(source);
}

// The next nombre_lettres letters of the file, at most a coup, followed by
// a vector that may be read. They stay there until the next call.
template <typename S>
inline const char* lettres_suivantes(S& source, std::size_t nombre_lettres)
{
    assert(nombre_lettres <= lettres_d_un_coup);
    if (en_attente(source.a) < nombre_lettres)
        attendre_lettres(source, nombre_lettres);
    return prendre_lettres(source.a, nombre_lettres);
}
