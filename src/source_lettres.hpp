// SPDX-License-Identifier: MIT
// Where the letters of the file come from, in file order: our replica of
// the C library's rand, once it has proved to give the same values,
// computed by a kernel K (source_replique<K>), or rand itself
// (source_rand). Each source alone moves its positions and buffers; the
// writer only asks for the next letters, as a pointer or put where they go,
// the same way of either.
#pragma once

#include "noyau.hpp"
#include "noyaux.hpp"
#include "plans.hpp"
#include "replique.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// One call of rand; its two lowest bits pick the letter.
char tirer_base();

// Letters from one word of each plane.
inline constexpr std::size_t lettres_par_mot = 64;

// The most letters a source gives at once; it makes them lot_lettres at a
// time after those waiting, which move to the front when the next lot
// would pass en_cours: a few first-level cache pages in use.
inline constexpr std::size_t lettres_d_un_coup = 4096;
inline constexpr std::size_t lot_lettres = 8192;
inline constexpr std::size_t en_cours = lettres_d_un_coup + 2 * lot_lettres;

// A source's memory. None of it needs to be zero.
struct memoire_source {
    // The planes (plans.hpp says how they are laid out).
    alignas(alignement) std::uint64_t plans[nombre_plans * mots_plan];
    // The letters made and not yet taken; a vector may be written past them.
    alignas(alignement) char lettres[en_cours + debord_vecteur];
    // Runs of letters made together before each is copied to its place.
    alignas(alignement) char brouillon[lettres_d_un_coup + debord_vecteur];
    // While a kernel's first steps are checked, the history they overwrite:
    // planes 0 and 1, and plane 2 up to the steps (the correction terms are
    // made again).
    alignas(alignement) std::uint64_t copie[2 * mots_plan + debut_des_pas / 64];
};

// The letters made and not yet taken: lettres[debut, fin).
struct attente {
    char* lettres;
    std::size_t debut;
    std::size_t fin;
};

inline std::size_t en_attente(const attente& a)
{
    return a.fin - a.debut;
}

// Copies up to longueur of the letters waiting to destination, and takes
// them; how many. Mostly the few checked against rand: a copy of unknown
// size this small costs more than the letters, so a vector's worth may be
// written past them.
inline std::size_t prendre_en_attente(attente& a, char* destination, std::size_t longueur)
{
    const std::size_t fait = std::min(longueur, en_attente(a));
    const char* const attendues = a.lettres + a.debut;
    if (fait <= debord_vecteur)
        __builtin_memcpy(destination, attendues, debord_vecteur);
    else
        __builtin_memcpy(destination, attendues, fait);
    a.debut += fait;
    return fait;
}

// Where a lot more goes, after those waiting, which move to the front
// when it would pass en_cours.
inline char* place_d_un_lot(attente& a)
{
    if (a.fin + lot_lettres > en_cours) {
        std::memmove(a.lettres, a.lettres + a.debut, en_attente(a));
        a.fin -= a.debut;
        a.debut = 0;
    }
    return a.lettres + a.fin;
}

// The letters drawn through rand: those of the file not yet drawn,
// a_tirer, are drawn a lot at a time.
struct source_rand {
    attente a;
    std::int64_t a_tirer;
};

// The replica's values, computed by K: the file's letters not yet given
// are those waiting, then those of the values computed and waiting,
// [prises, calculees) of the planes, then those of the values K computes
// next.
template <typename K>
struct source_replique {
    attente a;
    std::uint64_t* plans;
    std::size_t prises;
    std::size_t calculees;
    char* brouillon;
};

// Draws a lot more letters, or the rest of the file when fewer.
void recharger(source_rand& source);

// placer_lettres (below) through rand.
void placer_lettres(source_rand& source, char* destination, std::size_t espacement, std::size_t longueur,
                    unsigned nombre);

// The first letters of a file are drawn through rand while the replica is
// stepped beside it; the rest comes from the replica only when that many
// values agree in full. Files with fewer letters are drawn through rand.
inline constexpr std::size_t lettres_verifiees = 64;

// What the first letters of a file showed.
struct premieres_lettres {
    std::size_t tirees;   // drawn through rand, waiting in the letters
    bool d_accord;        // the replica gave the same values
    replique_rand temoin; // when it did, its state after the history
};

// The objects that define the rand this process calls and the C library,
// as the dynamic linker finds them; nullptr where it finds none.
struct ou_est_rand {
    const void* rand;
    const void* bibliotheque;
};
ou_est_rand chercher_rand();

// Draws the first letters of a file of nombre_lettres letters after
// srand(graine) into m's letters, the replica beside, where rand, as found,
// is the C library's; when they agree, lays the replica's next values, the
// history of the steps, in the planes.
premieres_lettres tirer_les_premieres(memoire_source& m, std::uint32_t graine, std::int64_t nombre_lettres,
                                      ou_est_rand trouve);

// Whether kernel K gives the values that the replica stepped one at a time
// gives: its first two steps from the history laid in the planes (one,
// then the history moved as between steps, and the next), against temoin,
// the replica's state right after that history. Each is checked on
// valeurs_des_pas_verifies values, fewer than a step makes: the same code,
// and each value checked costs as much as the replica takes. Overwrites
// the planes.
inline constexpr std::size_t valeurs_des_pas_verifies = 8 * valeurs_par_tranche;
template <typename K>
bool deux_pas_conformes(std::uint64_t* plans, replique_rand temoin)
{
    constexpr std::size_t nombre = valeurs_des_pas_verifies;
    static_assert(nombre <= valeurs_par_pas, "a step the planes hold");
    amorcer_correctifs(plans);
    for (int k = 0; k < 2; ++k) {
        if (k > 0)
            garder_valeurs(plans, debut_des_pas + nombre, historique);
        K::prolonger(plans, nombre);
        if (!memes_valeurs(plans, debut_des_pas, nombre, temoin))
            return false;
    }
    return true;
}

// Whether kernel K's letters, of one run and of many, are those of the
// values in the planes read one at a time: the letters of runs_essayes
// runs of longueur_essayee values from value depuis + 3 (not on a word),
// then as many spread to their runs, into essai: one run, the runs spread,
// and the scratch of etaler, octets_essayes in all. Values [depuis, depuis
// + valeurs_essayees) must be in the planes.
inline constexpr std::size_t runs_essayes = 10, longueur_essayee = 100, lettres_essayees = runs_essayes * longueur_essayee;
inline constexpr std::size_t valeurs_essayees = 3 + 2 * lettres_essayees + 64;
inline constexpr std::size_t debut_des_runs = lettres_essayees + debord_vecteur,
                             debut_du_brouillon = debut_des_runs + runs_essayes * (longueur_essayee + 1),
                             octets_essayes = debut_du_brouillon + lettres_essayees + debord_vecteur;
template <typename K>
bool lettres_conformes(const std::uint64_t* plans, std::size_t depuis, char* essai)
{
    constexpr std::size_t longueur = longueur_essayee, nombre = runs_essayes, espacement = longueur + 1,
                          total = lettres_essayees;
    const std::size_t debut = depuis + 3;
    char* const une = essai;
    char* const runs = essai + debut_des_runs;
    char* const brouillon = essai + debut_du_brouillon;
    K::en_lettres(plans, debut, une, total);
    K::etaler(plans, debut + total, runs, espacement, longueur, nombre, brouillon);
    bool memes = true;
    for (std::size_t i = 0; i < total; ++i)
        memes = memes && une[i] == lettre_de(plans, debut + i) &&
                runs[i / longueur * espacement + i % longueur] == lettre_de(plans, debut + total + i);
    return memes;
}

// Whether K passes both checks, from the history laid in m's planes; the
// planes are then as K's steps need them either way.
template <typename K>
bool noyau_conforme(memoire_source& m, const replique_rand& temoin)
{
    static_assert(valeurs_essayees <= valeurs_des_pas_verifies, "letters of values checked");
    static_assert(lettres_verifiees + octets_essayes <= sizeof m.lettres, "the letters tried, after those drawn");
    std::memcpy(m.copie, m.plans, sizeof m.copie);
    const bool oui = deux_pas_conformes<K>(m.plans, temoin) &&
                     lettres_conformes<K>(m.plans, debut_des_pas, m.lettres + lettres_verifiees);
    std::memcpy(m.plans, m.copie, sizeof m.copie);
    amorcer_correctifs(m.plans);
    return oui;
}

// f(source) with the source of a file of nombre_lettres letters after
// srand(graine), in m, rand found where trouve says: kernel K's once the
// replica agreed with rand and K passed its checks; else the fallback
// kernel R's, when it passes them; else rand's.
template <typename K, typename R = noyau_de_repli, typename F>
auto avec_source(memoire_source& m, std::uint32_t graine, std::int64_t nombre_lettres, ou_est_rand trouve,
                 F&& f)
{
    const premieres_lettres p = tirer_les_premieres(m, graine, nombre_lettres, trouve);
    const attente tirees{m.lettres, 0, p.tirees};
    if (p.d_accord) {
        if (noyau_conforme<K>(m, p.temoin)) {
            source_replique<K> source{tirees, m.plans, 0, debut_des_pas, m.brouillon};
            return f(source);
        }
        if constexpr (!std::is_same_v<K, R>) {
            if (noyau_conforme<R>(m, p.temoin)) {
                source_replique<R> source{tirees, m.plans, 0, debut_des_pas, m.brouillon};
                return f(source);
            }
        }
    }
    source_rand source{tirees, nombre_lettres - static_cast<std::int64_t>(p.tirees)};
    return f(source);
}

// Computes a step more of the replica's values, after those waiting (fewer
// than lettres_d_un_coup), first moving the history, with them, to the
// front when the planes hold no step more.
template <typename K>
[[gnu::noinline]] void calculer(source_replique<K>& source)
{
    static_assert(lettres_d_un_coup <= historique, "the values waiting are kept with the history");
    if (source.calculees > debut_des_pas) {
        const std::size_t en_reserve = source.calculees - source.prises;
        garder_valeurs(source.plans, source.calculees, historique);
        source.prises = debut_des_pas - en_reserve;
        source.calculees = debut_des_pas;
    }
    K::prolonger(source.plans, valeurs_par_pas);
    source.calculees += valeurs_par_pas;
}

// Makes more letters after those waiting: just enough for voulues to wait
// (at most lettres_d_un_coup), or up to a lot when voulues is 0.
template <typename K>
[[gnu::noinline]] void recharger(source_replique<K>& source, std::size_t voulues = 0)
{
    char* const lettres = place_d_un_lot(source.a);
    if (source.prises == source.calculees)
        calculer(source);
    const std::size_t deja = en_attente(source.a);
    const std::size_t nombre =
        std::min(source.calculees - source.prises, voulues > deja ? voulues - deja : voulues == 0 ? lot_lettres : 0);
    K::en_lettres(source.plans, source.prises, lettres, nombre);
    source.prises += nombre;
    source.a.fin += nombre;
}

template <typename S>
[[gnu::noinline]] void attendre_lettres(S& source, std::size_t nombre)
{
    while (en_attente(source.a) < nombre)
        recharger(source);
}

// The next nombre letters of the file (at most lettres_d_un_coup), one after
// the other, followed by a vector that may be read. They stay there until
// the next call.
template <typename S>
inline const char* lettres_suivantes(S& source, std::size_t nombre)
{
    if (en_attente(source.a) < nombre)
        attendre_lettres(source, nombre);
    const char* const lettres = source.a.lettres + source.a.debut;
    source.a.debut += nombre;
    return lettres;
}

// The next nombre runs of longueur letters, to destination, destination +
// espacement, and so on, made straight from values computed and waiting.
template <typename K>
[[gnu::always_inline]] inline void depuis_les_valeurs(source_replique<K>& source, char* destination,
                                                      std::size_t espacement, std::size_t longueur,
                                                      unsigned nombre)
{
    if (nombre == 1)
        K::en_lettres(source.plans, source.prises, destination, longueur);
    else
        K::etaler(source.plans, source.prises, destination, espacement, longueur, nombre, source.brouillon);
    source.prises += longueur * nombre;
}

// placer_lettres, whatever waits: one run of any length, the letters
// waiting copied, then the rest made straight where it goes; or several,
// from values computed for them all, else from letters made for them all.
template <typename K>
[[gnu::noinline]] void placer_par_etapes(source_replique<K>& source, char* destination,
                                         std::size_t espacement, std::size_t longueur, unsigned nombre)
{
    const std::size_t total = longueur * nombre;
    if (nombre == 1) {
        while (longueur > 0) {
            std::size_t fait;
            if (en_attente(source.a) > 0) {
                fait = prendre_en_attente(source.a, destination, longueur);
            } else {
                if (source.prises == source.calculees)
                    calculer(source);
                fait = std::min(longueur, source.calculees - source.prises);
                depuis_les_valeurs(source, destination, 0, fait, 1);
            }
            destination += fait;
            longueur -= fait;
        }
    } else if (en_attente(source.a) == 0) {
        while (source.calculees - source.prises < total)
            calculer(source);
        depuis_les_valeurs(source, destination, espacement, longueur, nombre);
    } else {
        while (en_attente(source.a) < total)
            recharger(source, total);
        const char* lettres = source.a.lettres + source.a.debut;
        for (unsigned r = 0; r < nombre; ++r, destination += espacement, lettres += longueur)
            __builtin_memcpy(destination, lettres, longueur);
        source.a.debut += total;
    }
}

// The next nombre * longueur letters of the file, in nombre runs of longueur
// letters, to destination, destination + espacement, and so on. With more
// than one run, longueur is 16 or more and the letters at most
// lettres_d_un_coup. Nothing is written past a run's letters but the
// last's, past which up to a vector may be. Inline where the letters are
// made straight from values computed already: for short runs, a call would
// cost as much as the letters.
template <typename K>
inline void placer_lettres(source_replique<K>& source, char* destination, std::size_t espacement,
                           std::size_t longueur, unsigned nombre)
{
    const std::size_t total = longueur * nombre;
    // Runs shorter than a word's letters are copied from letters made many
    // at once where the stores need no shift, long enough before that the
    // loads need not wait for those stores.
    if (nombre > 1 && longueur < lettres_par_mot) {
        const char* const lettres = lettres_suivantes(source, total);
        for (unsigned r = 0; r < nombre; ++r)
            copier_run(destination + r * espacement, lettres + r * longueur, longueur);
        return;
    }
    if (en_attente(source.a) == 0 && source.calculees - source.prises >= total)
        return depuis_les_valeurs(source, destination, espacement, longueur, nombre);
    placer_par_etapes(source, destination, espacement, longueur, nombre);
}
