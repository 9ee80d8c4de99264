// SPDX-License-Identifier: MIT
// The memory a letter source works in, each region its own, none zeroed.
#pragma once

#include "attente.hpp"
#include "plans.hpp"
#include "unites.hpp"

#include <cstddef>

// A kernel's letter trial: one run of lettres_essayees letters, as many in
// runs one byte apart, and etaler's scratch.
inline constexpr std::size_t runs_essayes = 10, longueur_essayee = 100,
                             lettres_essayees = runs_essayes * longueur_essayee;
struct essai_de_lettres {
    char une[lettres_essayees + debord_vecteur];
    char runs[runs_essayes * (longueur_essayee + 1)];
    char brouillon[lettres_essayees + debord_vecteur];
};

struct memoire_source {
    plans_de_bits plans;
    // The letters waiting, and a vector written past them.
    alignas(alignement) char lettres[en_cours + debord_vecteur];
    // Runs of letters made together before each is copied to its place.
    alignas(alignement) char brouillon[lettres_d_un_coup + debord_vecteur];
    essai_de_lettres essai;
    copie_historique copie;
};
