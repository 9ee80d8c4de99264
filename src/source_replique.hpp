// SPDX-License-Identifier: MIT
// The letters of the file from the replica's values, computed by kernel K
// a pas at a time: the letters waiting, and those made where they go.
#pragma once

#include "attente.hpp"
#include "noyau.hpp"
#include "plans.hpp"
#include "unites.hpp"

#include <algorithm>
#include <cassert>
#include <cstddef>

// The file's letters not yet given: those waiting, then those of values
// [valeurs_prises, valeurs_calculees) of the planes, then of those to come.
template <typename K>
struct source_replique {
    attente a;
    plans_de_bits* plans;
    std::size_t valeurs_prises;
    std::size_t valeurs_calculees;
    char* brouillon;
};

// The source's invariant: its letters waiting, and its values computed and
// not yet taken, where the planes hold them.
template <typename K>
bool en_ordre(const source_replique<K>& source)
{
    return en_ordre(source.a) && source.valeurs_prises <= source.valeurs_calculees &&
           source.valeurs_calculees >= debut_des_calculs && source.valeurs_calculees <= debut_des_calculs + valeurs_par_pas;
}

// A pas more of values, after the history, moved to the front with the
// values not yet taken when the planes hold no pas more.
template <typename K>
[[gnu::noinline]] void calculer(source_replique<K>& source)
{
    assert(en_ordre(source));
    if (source.valeurs_calculees > debut_des_calculs) {
        const std::size_t en_reserve = source.valeurs_calculees - source.valeurs_prises;
        assert(en_reserve <= historique);
        garder_historique(*source.plans, source.valeurs_calculees);
        source.valeurs_prises = debut_des_calculs - en_reserve;
        source.valeurs_calculees = debut_des_calculs;
    }
    K::prolonger(*source.plans, valeurs_par_pas);
    source.valeurs_calculees += valeurs_par_pas;
}

// Up to nombre_lettres letters more, fewer where the values computed end.
template <typename K>
inline void faire_lettres(source_replique<K>& source, std::size_t nombre_lettres)
{
    assert(en_ordre(source));
    char* const lettres = place_d_un_lot(source.a);
    if (source.valeurs_prises == source.valeurs_calculees)
        calculer(source);
    const std::size_t faites =
        std::min({nombre_lettres, lettres_par_lot, source.valeurs_calculees - source.valeurs_prises});
    K::en_lettres(*source.plans, source.valeurs_prises, lettres, faites);
    source.valeurs_prises += faites;
    source.a.fin_lettres += faites;
}

// A lot more letters after those waiting.
template <typename K>
[[gnu::noinline]] void recharger(source_replique<K>& source)
{
    faire_lettres(source, lettres_par_lot);
}

// Just enough letters more for nombre_lettres to wait: once they are all
// taken, the next runs are made straight from the values.
template <typename K>
void faire_attendre(source_replique<K>& source, std::size_t nombre_lettres)
{
    while (en_attente(source.a) < nombre_lettres)
        faire_lettres(source, nombre_lettres - en_attente(source.a));
}

// The next nombre_runs runs, made straight from the values computed.
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

// The next nombre_runs runs of longueur letters of the file, to destination,
// destination + espacement, and so on; nothing written past a run's but the
// last's, past which a vector may be. Inline where they are made from the
// values computed: for short runs a call costs as much as the letters.
template <typename K>
inline void placer_lettres(source_replique<K>& source, char* destination, std::size_t espacement,
                           std::size_t longueur, unsigned nombre_runs)
{
    const std::size_t total = longueur * nombre_runs;
    // Several runs are made together, in a coup, and each copied whole.
    assert(nombre_runs == 1 || (total <= lettres_d_un_coup && longueur >= run_le_plus_court));
    // Runs shorter than a mot are copied from letters made many at once,
    // where the stores need no shift, long before the loads.
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
