// SPDX-License-Identifier: MIT
// What a kernel must show before the file's letters come from it: its steps
// and its letters are those of the replica computed one value at a time.
#pragma once

#include "memoire_source.hpp"
#include "plans.hpp"
#include "replique.hpp"
#include "unites.hpp"

#include <cstddef>

// Each step checked computes fewer values than a pas: the same code, and
// each value checked costs as much as the replica takes.
inline constexpr std::size_t valeurs_verifiees = 8 * valeurs_par_tranche;
static_assert(valeurs_verifiees <= valeurs_par_pas, "a step the planes hold");

// Whether kernel K's two steps of valeurs_verifiees values from the history
// in the planes, moved between them, give those of temoin, the replica
// right after that history. Overwrites the planes.
template <typename K>
bool deux_prolongements_conformes(plans_de_bits& plans, replique_rand temoin)
{
    amorcer_correctifs(plans);
    for (int k = 0; k < 2; ++k) {
        if (k > 0)
            garder_historique(plans, debut_des_calculs + valeurs_verifiees);
        K::prolonger(plans, valeurs_verifiees);
        if (!memes_valeurs(plans, debut_des_calculs, valeurs_verifiees, temoin))
            return false;
    }
    return true;
}

// Whether K's letters of a run from inside a word (value depuis + 3), then
// of as many values in runs, are those of the planes read one at a time.
inline constexpr std::size_t valeurs_essayees = 3 + 2 * lettres_essayees + 64;
template <typename K>
bool lettres_conformes(const plans_de_bits& plans, std::size_t depuis, essai_de_lettres& essai)
{
    constexpr std::size_t longueur = longueur_essayee, espacement = longueur + 1;
    const std::size_t debut = depuis + 3;
    K::en_lettres(plans, debut, essai.une, lettres_essayees);
    K::etaler(plans, debut + lettres_essayees, essai.runs, espacement, longueur, runs_essayes, essai.brouillon);
    bool memes = true;
    for (std::size_t i = 0; i < lettres_essayees; ++i)
        memes = memes && essai.une[i] == lettre_de(plans, debut + i) &&
                essai.runs[i / longueur * espacement + i % longueur] ==
                    lettre_de(plans, debut + lettres_essayees + i);
    return memes;
}

// Whether K passes both checks, from the history laid in m's planes; the
// planes are then as K's steps need them either way.
template <typename K>
bool noyau_conforme(memoire_source& m, const replique_rand& temoin)
{
    static_assert(valeurs_essayees <= valeurs_verifiees, "letters of values checked");
    copier_historique(m.plans, m.copie);
    const bool oui = deux_prolongements_conformes<K>(m.plans, temoin) &&
                     lettres_conformes<K>(m.plans, debut_des_calculs, m.essai);
    rendre_historique(m.plans, m.copie);
    return oui;
}
