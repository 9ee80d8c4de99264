// SPDX-License-Identifier: MIT
// The letters of the file drawn through rand, one call a letter.
#pragma once

#include "attente.hpp"

#include <cstddef>
#include <cstdint>

// One call of rand; its value gives the letter.
char tirer_base();

// The letters waiting, then those of the file not yet drawn.
struct source_rand {
    attente a;
    std::int64_t lettres_a_tirer;
};

// Draws a lot more letters, or the rest of the file. Past the file's last
// letter, the writer is at fault: the process stops rather than spin.
void recharger(source_rand& source);

// placer_lettres (source_replique.hpp) through rand.
void placer_lettres(source_rand& source, char* destination, std::size_t espacement, std::size_t longueur,
                    unsigned nombre_runs);
