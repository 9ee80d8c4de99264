// SPDX-License-Identifier: MIT
// The letters of the file drawn through rand, one call a letter.
#pragma once

#include "attente.hpp"
#include "format.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

inline char tirer_base()
{
    return lettre_du_tirage(std::rand());
}

// The letters waiting, then those of the file not yet drawn.
struct source_rand {
    attente a;
    std::int64_t lettres_a_tirer;
};

// Draws a lot more letters, or the rest of the file. Past the file's last
// letter, the writer is at fault: the process stops rather than spin.
[[gnu::noinline]] inline void recharger(source_rand& source)
{
    if (source.lettres_a_tirer <= 0)
        std::abort();
    char* const lettres = place_d_un_lot(source.a);
    const auto nombre_lettres = static_cast<std::size_t>(
        std::min<std::int64_t>(source.lettres_a_tirer, static_cast<std::int64_t>(lettres_par_lot)));
    for (std::size_t i = 0; i < nombre_lettres; ++i)
        lettres[i] = tirer_base();
    source.a.fin_lettres += nombre_lettres;
    source.lettres_a_tirer -= static_cast<std::int64_t>(nombre_lettres);
}

// placer_lettres (source_replique.hpp) through rand.
[[gnu::noinline]] inline void placer_lettres(source_rand& source, char* destination, std::size_t espacement,
                                             std::size_t longueur, unsigned nombre_runs)
{
    if (nombre_runs > 1) {
        const char* lettres = lettres_suivantes(source, longueur * nombre_runs);
        for (unsigned r = 0; r < nombre_runs; ++r, destination += espacement, lettres += longueur)
            std::memcpy(destination, lettres, longueur);
        return;
    }
    while (longueur > 0) {
        if (en_attente(source.a) == 0)
            recharger(source);
        const std::size_t fait = prendre_en_attente(source.a, destination, longueur);
        destination += fait;
        longueur -= fait;
    }
}
