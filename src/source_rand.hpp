// SPDX-License-Identifier: MIT
// The letters of the file drawn through rand, one call a letter: the
// source where the replica can't stand for rand.
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

// Draws a lot more letters after those waiting, or the rest of the file
// when fewer. Never a rand call past the file's last letter: a writer that
// asks for more letters than the file has is at fault, and must not spin.
void recharger(source_rand& source);

// placer_lettres (source_replique.hpp) through rand.
void placer_lettres(source_rand& source, char* destination, std::size_t espacement, std::size_t longueur,
                    unsigned nombre_runs);
