// SPDX-License-Identifier: MIT
// The letters of the file from the replica's values, computed by kernel K
// a pas at a time, once the replica has proved to give rand's values: the
// letters waiting, and those made straight where they go.
#pragma once

#include "attente.hpp"
#include "noyau.hpp"
#include "plans.hpp"
#include "unites.hpp"

#include <algorithm>
#include <cassert>
#include <cstddef>

// The file's letters not yet given are those waiting, then those of the
// values computed and not yet taken, [valeurs_prises, valeurs_calculees)
// of the planes, then those of the values K computes next.
template <typename K>
struct source_replique {
    attente a;
    plans_de_bits* plans;
    std::size_t valeurs_prises;
    std::size_t valeurs_calculees;
    char* brouillon;
};

// The letters waiting are where they can be, and the values not yet taken
// are in the planes, at or after the history's start, computed.
template <typename K>
bool en_ordre(const source_replique<K>& source)
{
    return en_ordre(source.a) && source.valeurs_prises <= source.valeurs_calculees &&
           source.valeurs_calculees >= debut_des_pas && source.valeurs_calculees <= debut_des_pas + valeurs_par_pas;
}

// Computes a pas more of the replica's values, first moving the history,
// with the values not yet taken, to the front when the planes hold no pas
// more.
template <typename K>
[[gnu::noinline]] void calculer(source_replique<K>& source)
{
    assert(en_ordre(source));
    if (source.valeurs_calculees > debut_des_pas) {
        const std::size_t en_reserve = source.valeurs_calculees - source.valeurs_prises;
        assert(en_reserve <= historique);
        garder_historique(*source.plans, source.valeurs_calculees);
        source.valeurs_prises = debut_des_pas - en_reserve;
        source.valeurs_calculees = debut_des_pas;
    }
    K::prolonger(*source.plans, valeurs_par_pas);
    source.valeurs_calculees += valeurs_par_pas;
}

// Makes up to nombre_lettres letters more after those waiting, fewer where
// the values computed end.
template <typename K>
inline void faire_lettres(source_replique<K>& source, std::size_t nombre_lettres)
{
    assert(en_ordre(source));
    char* const lettres = place_d_un_lot(source.a);
    if (source.valeurs_prises == source.valeurs_calculees)
        calculer(source);
    const std::size_t nombre = std::min({nombre_lettres, lettres_par_lot, source.valeurs_calculees - source.valeurs_prises});
    K::en_lettres(*source.plans, source.valeurs_prises, lettres, nombre);
    source.valeurs_prises += nombre;
    source.a.fin_lettres += nombre;
}

// A lot more letters after those waiting.
template <typename K>
[[gnu::noinline]] void recharger(source_replique<K>& source)
{
    faire_lettres(source, lettres_par_lot);
}

// Just enough letters more for nombre_lettres to wait, at most a coup: the
// letters waiting are then all taken together, and the next runs made
// straight from the values.
template <typename K>
void faire_attendre(source_replique<K>& source, std::size_t nombre_lettres)
{
    while (en_attente(source.a) < nombre_lettres)
        faire_lettres(source, nombre_lettres - en_attente(source.a));
}

// The next nombre_runs runs of longueur letters, to destination,
// destination + espacement, and so on, made straight from values computed
// and not yet taken.
template <typename K>
[[gnu::always_inline]] inline void depuis_les_valeurs(source_replique<K>& source, char* destination,
                                                      std::size_t espacement, std::size_t longueur,
                                                      unsigned nombre_runs)
{
    if (nombre_runs == 1)
        K::en_lettres(*source.plans, source.valeurs_prises, destination, longueur);
    else
        K::etaler(*source.plans, source.valeurs_prises, destination, espacement, longueur, nombre_runs,
                  source.brouillon);
    source.valeurs_prises += longueur * nombre_runs;
}

// placer_lettres, whatever waits: one run of any length, the letters
// waiting copied, then the rest made straight where it goes; or several,
// from values computed for them all, else from letters made for them all.
template <typename K>
[[gnu::noinline]] void placer_par_etapes(source_replique<K>& source, char* destination,
                                         std::size_t espacement, std::size_t longueur, unsigned nombre_runs)
{
    const std::size_t total = longueur * nombre_runs;
    if (nombre_runs == 1) {
        while (longueur > 0) {
            std::size_t fait;
            if (en_attente(source.a) > 0) {
                fait = prendre_en_attente(source.a, destination, longueur);
            } else {
                if (source.valeurs_prises == source.valeurs_calculees)
                    calculer(source);
                fait = std::min(longueur, source.valeurs_calculees - source.valeurs_prises);
                depuis_les_valeurs(source, destination, 0, fait, 1);
            }
            destination += fait;
            longueur -= fait;
        }
    } else if (en_attente(source.a) == 0) {
        while (source.valeurs_calculees - source.valeurs_prises < total)
            calculer(source);
        depuis_les_valeurs(source, destination, espacement, longueur, nombre_runs);
    } else {
        faire_attendre(source, total);
        const char* lettres = prendre_lettres(source.a, total);
        for (unsigned r = 0; r < nombre_runs; ++r, destination += espacement, lettres += longueur)
            __builtin_memcpy(destination, lettres, longueur);
    }
}

// The next nombre_runs * longueur letters of the file, in nombre_runs runs
// of longueur letters, to destination, destination + espacement, and so on.
// Nothing is written past a run's letters but the last's, past which up to
// a vector may be. Inline where the letters are made straight from values
// computed already: for short runs, a call would cost as much as the
// letters.
template <typename K>
inline void placer_lettres(source_replique<K>& source, char* destination, std::size_t espacement,
                           std::size_t longueur, unsigned nombre_runs)
{
    const std::size_t total = longueur * nombre_runs;
    // Several runs are made together, in a coup, and each copied whole.
    assert(nombre_runs == 1 || (total <= lettres_d_un_coup && longueur >= run_le_plus_court));
    // Runs shorter than a mot's letters are copied from letters made many
    // at once where the stores need no shift, long enough before that the
    // loads need not wait for those stores.
    if (nombre_runs > 1 && longueur < valeurs_par_mot) {
        const char* const lettres = lettres_suivantes(source, total);
        for (unsigned r = 0; r < nombre_runs; ++r)
            copier_run(destination + r * espacement, lettres + r * longueur, longueur);
        return;
    }
    if (en_attente(source.a) == 0 && source.valeurs_calculees - source.valeurs_prises >= total)
        return depuis_les_valeurs(source, destination, espacement, longueur, nombre_runs);
    placer_par_etapes(source, destination, espacement, longueur, nombre_runs);
}
