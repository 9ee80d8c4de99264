// SPDX-License-Identifier: MIT
// Where the letters of the file come from, in file order: the C library's
// rand, or our replica of it, once it has proved to give the same values,
// computed by a kernel K. The source alone moves its positions and buffers;
// the writer only asks for the next letters, as a pointer or put where they
// go.
#pragma once

#include "disposition.hpp"
#include "noyau.hpp"
#include "plans.hpp"
#include "replique.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

// One call of rand; its two lowest bits pick the letter.
char tirer_base();

// The first letters of a file are drawn through rand while the replica is
// stepped beside it; the rest comes from the replica only when that many
// values agree in full. Files with fewer letters are drawn through rand.
inline constexpr std::size_t lettres_verifiees = 64;
static_assert(lettres_verifiees <= disposition::copie - disposition::lettres,
              "the copy of the history for a check leaves the letters checked");

// Letters from one word of each plane.
inline constexpr std::size_t lettres_par_mot = 64;

// What makes the letters after those checked: the kernel the source was
// prepared for, the one it falls back to when that kernel's check fails,
// or rand.
enum class calcul { noyau, repli, rand };

// The source's state; only its own functions touch it. The file's letters
// not yet given are, in this order: the letters made and waiting,
// lettres[debut, fin); then those of the values computed and waiting,
// [prises, calculees) of the planes; then the rest, drawn through rand
// when par is calcul::rand (a_tirer of them), else made from the values
// the kernel computes next. Through rand no value is computed:
// prises == calculees.
struct source_lettres {
    calcul par;
    std::int64_t a_tirer;
    std::uint64_t* plans;
    std::size_t prises;
    std::size_t calculees;
    char* lettres;
    std::size_t debut;
    std::size_t fin;
    char* brouillon;
};

// Whether no letter made waits: the next come from the values, or rand.
inline bool aucune_lettre_en_attente(const source_lettres& source)
{
    return source.debut == source.fin;
}

// A source for a file of nombre_lettres letters after srand(graine), in
// memoire (aligned on disposition::alignement), with the letters checked
// against the replica drawn through rand. When they agree, the replica's
// next values are laid in the planes: all the file needs when that is at
// most debut_des_pas (then they wait, and no kernel computes more; at least
// those a kernel's letters are checked on are laid), else the history of
// the steps, with temoin the replica's state after it.
source_lettres tirer_les_premieres(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres,
                                   replique_rand& temoin);

// Whether the source's planes hold the history of the steps, for a kernel.
inline bool pour_les_pas(const source_lettres& source)
{
    return source.par != calcul::rand && source.a_tirer > static_cast<std::int64_t>(debut_des_pas);
}

// Whether kernel K gives the values that the replica stepped one at a time
// gives: its first two steps from the history laid in the planes (a whole
// step, then the history moved and the next), against temoin, the
// replica's state right after that history. They are checked on fewer
// values than a step makes: the same code, and each value checked costs as
// much as the replica takes. Overwrites the planes.
inline constexpr std::size_t valeurs_des_pas_verifies = 8 * valeurs_par_tranche;
template <typename K>
bool deux_pas_conformes(std::uint64_t* plans, replique_rand temoin)
{
    constexpr std::size_t lot = valeurs_des_pas_verifies;
    static_assert(lot <= valeurs_par_pas, "a step the planes hold");
    amorcer_correctifs(plans);
    for (int pas = 0; pas < 2; ++pas) {
        if (pas > 0)
            garder_valeurs(plans, debut_des_pas + lot, historique);
        K::prolonger(plans, lot);
        if (!memes_valeurs(plans, debut_des_pas, lot, temoin))
            return false;
    }
    return true;
}

// Whether kernel K's letters, of one run and of many, are those of the
// values in the planes read one at a time: the letters of runs_verifies
// runs of longueur_verifiee values from value depuis + 3 (not on a word),
// then as many spread to their runs, into essai (past the letters checked
// against rand). Values [depuis, depuis + valeurs_des_lettres_verifiees)
// must be in the planes.
inline constexpr std::size_t runs_verifies = 10, longueur_verifiee = 100;
inline constexpr std::size_t valeurs_des_lettres_verifiees = 3 + 2 * runs_verifies * longueur_verifiee + 64;
template <typename K>
bool lettres_conformes(const std::uint64_t* plans, std::size_t depuis, char* essai)
{
    constexpr std::size_t longueur = longueur_verifiee, nombre = runs_verifies, pas = longueur + 1,
                          total = longueur * nombre;
    const std::size_t debut = depuis + 3;
    char* const suite = essai;
    char* const runs = suite + total + disposition::debord_vecteur;
    char* const brouillon = runs + nombre * pas;
    static_assert(2 * total + nombre * pas + 2 * disposition::debord_vecteur <=
                      disposition::copie - disposition::lettres - lettres_verifiees,
                  "the letters checked, clear of the copy of the history");
    K::en_lettres(plans, debut, suite, total);
    K::etaler(plans, debut + total, runs, pas, longueur, nombre, brouillon);
    bool memes = true;
    for (std::size_t i = 0; i < total; ++i)
        memes = memes && suite[i] == lettre_de(plans, debut + i) &&
                runs[i / longueur * pas + i % longueur] == lettre_de(plans, debut + total + i);
    return memes;
}

// Which kernel makes the letters after those checked against rand: K when
// conforme(K{}), else repli when conforme(repli{}), else rand.
template <typename K, typename repli, typename F>
void choisir(source_lettres& source, F&& conforme)
{
    if (conforme(K{}))
        source.par = calcul::noyau;
    else if (!std::is_same_v<K, repli> && conforme(repli{}))
        source.par = calcul::repli;
    else {
        source.par = calcul::rand;
        source.prises = source.calculees = 0;
    }
}

// The source of a file of nombre_lettres letters after srand(graine), in
// memoire, for kernel K (else repli, else rand). Once the replica agreed
// with rand, a kernel must pass lettres_conformes, and with the history in
// the planes deux_pas_conformes first, on a copy of the history.
template <typename K, typename repli>
source_lettres preparer_source(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres)
{
    replique_rand temoin;
    source_lettres source = tirer_les_premieres(memoire, graine, nombre_lettres, temoin);
    char* const essai = source.lettres + lettres_verifiees;
    if (pour_les_pas(source)) {
        static_assert(valeurs_des_lettres_verifiees <= valeurs_des_pas_verifies, "letters of values checked");
        auto* const copie = reinterpret_cast<unsigned char*>(source.plans) +
                            (disposition::copie - disposition::plans);
        std::memcpy(copie, source.plans, disposition::octets_copie);
        choisir<K, repli>(source, [&](auto noyau) {
            using N = decltype(noyau);
            const bool oui = deux_pas_conformes<N>(source.plans, temoin) &&
                             lettres_conformes<N>(source.plans, debut_des_pas, essai);
            std::memcpy(source.plans, copie, disposition::octets_copie);
            return oui;
        });
        if (source.par != calcul::rand) {
            amorcer_correctifs(source.plans);
            source.prises = 0;
            source.calculees = debut_des_pas;
        }
    } else if (source.par != calcul::rand) {
        choisir<K, repli>(source, [&](auto noyau) { return lettres_conformes<decltype(noyau)>(source.plans, 0, essai); });
    }
    return source;
}

// Computes a step more of the replica's values, after those waiting (fewer
// than lettres_d_un_coup), first moving the history, with them, to the
// front when the planes hold no step more.
template <typename K>
[[gnu::noinline]] void calculer(source_lettres& source)
{
    // A file of no more values than the history laid has no step: a writer
    // that asks for more letters than it has is at fault.
    if (!pour_les_pas(source))
        std::abort();
    if (source.calculees > debut_des_pas) {
        const std::size_t attente = source.calculees - source.prises;
        garder_valeurs(source.plans, source.calculees, historique);
        source.prises = debut_des_pas - attente;
        source.calculees = debut_des_pas;
    }
    K::prolonger(source.plans, valeurs_par_pas);
    source.calculees += valeurs_par_pas;
}

// Makes more letters after those waiting (which may move to the front):
// through rand, at least one while the file needs any; from the replica's
// values, just enough for voulues to wait (at most lettres_d_un_coup), or
// up to a lot when voulues is 0.
template <typename K>
[[gnu::noinline]] void recharger(source_lettres& source, std::size_t voulues = 0)
{
    if (source.fin + disposition::lot_lettres > disposition::en_cours) {
        const std::size_t gardees = source.fin - source.debut;
        std::memmove(source.lettres, source.lettres + source.debut, gardees);
        source.debut = 0;
        source.fin = gardees;
    }
    char* const lettres = source.lettres + source.fin;
    if (source.par == calcul::rand) {
        // Never a rand call past the file's last letter. A writer that asks
        // for more letters than the file has is at fault: it must not spin.
        if (source.a_tirer <= 0)
            std::abort();
        const auto nombre = static_cast<std::size_t>(std::min<std::int64_t>(
            source.a_tirer, static_cast<std::int64_t>(disposition::lot_lettres)));
        for (std::size_t i = 0; i < nombre; ++i)
            lettres[i] = tirer_base();
        source.fin += nombre;
        source.a_tirer -= static_cast<std::int64_t>(nombre);
        return;
    }
    if (source.prises == source.calculees)
        calculer<K>(source);
    const std::size_t attente = source.fin - source.debut;
    const std::size_t nombre =
        std::min(source.calculees - source.prises,
                 voulues > attente ? voulues - attente : voulues == 0 ? disposition::lot_lettres : 0);
    K::en_lettres(source.plans, source.prises, lettres, nombre);
    source.prises += nombre;
    source.fin += nombre;
}

template <typename K>
[[gnu::noinline]] void attendre_lettres(source_lettres& source, std::size_t nombre)
{
    while (source.fin - source.debut < nombre)
        recharger<K>(source);
}

// The next nombre letters of the file (at most lettres_d_un_coup), one after
// the other, followed by a vector that may be read. They stay there until
// the next call.
template <typename K>
inline const char* lettres_suivantes(source_lettres& source, std::size_t nombre)
{
    if (source.fin - source.debut < nombre)
        attendre_lettres<K>(source, nombre);
    const char* const lettres = source.lettres + source.debut;
    source.debut += nombre;
    return lettres;
}

// The next nombre runs of longueur letters, to destination, destination +
// pas, and so on, made straight from values computed and waiting.
template <typename K>
[[gnu::always_inline]] inline void depuis_les_valeurs(source_lettres& source, char* destination,
                                                      std::size_t pas, std::size_t longueur, unsigned nombre)
{
    if (nombre == 1)
        K::en_lettres(source.plans, source.prises, destination, longueur);
    else
        K::etaler(source.plans, source.prises, destination, pas, longueur, nombre, source.brouillon);
    source.prises += longueur * nombre;
}

// placer_lettres, whatever waits: one run of any length, the letters
// waiting copied, then the rest made straight where it goes; or several,
// from values computed for them all, else from letters made for them all.
template <typename K>
[[gnu::noinline]] void placer_par_etapes(source_lettres& source, char* destination, std::size_t pas,
                                         std::size_t longueur, unsigned nombre)
{
    const std::size_t total = longueur * nombre;
    if (nombre == 1) {
        while (longueur > 0) {
            std::size_t fait;
            if (!aucune_lettre_en_attente(source)) {
                fait = std::min(longueur, source.fin - source.debut);
                // Mostly the few checked against rand: a copy of unknown size
                // this small costs more than the letters; a vector's worth
                // may be written past a run.
                if (fait <= disposition::debord_vecteur)
                    __builtin_memcpy(destination, source.lettres + source.debut, disposition::debord_vecteur);
                else
                    __builtin_memcpy(destination, source.lettres + source.debut, fait);
                source.debut += fait;
            } else if (source.par == calcul::rand) {
                recharger<K>(source);
                continue;
            } else {
                if (source.prises == source.calculees)
                    calculer<K>(source);
                fait = std::min(longueur, source.calculees - source.prises);
                depuis_les_valeurs<K>(source, destination, 0, fait, 1);
            }
            destination += fait;
            longueur -= fait;
        }
    } else if (aucune_lettre_en_attente(source) && source.par != calcul::rand) {
        while (source.calculees - source.prises < total)
            calculer<K>(source);
        depuis_les_valeurs<K>(source, destination, pas, longueur, nombre);
    } else {
        while (source.fin - source.debut < total)
            recharger<K>(source, total);
        for (unsigned r = 0; r < nombre; ++r, destination += pas, source.debut += longueur)
            __builtin_memcpy(destination, source.lettres + source.debut, longueur);
    }
}

// The next nombre * longueur letters of the file, in nombre runs of longueur
// letters, to destination, destination + pas, and so on. With more than one
// run, longueur is 16 or more and the letters at most lettres_d_un_coup.
// Nothing is written past a run's letters but the last's, past which up to
// a vector may be. Inline where the letters are made straight from values
// computed already: for short runs, a call would cost as much as the
// letters.
template <typename K>
inline void placer_lettres(source_lettres& source, char* destination, std::size_t pas,
                           std::size_t longueur, unsigned nombre)
{
    const std::size_t total = longueur * nombre;
    // Runs shorter than a word's letters are copied from letters made many
    // at once where the stores need no shift, long enough before that the
    // loads need not wait for those stores.
    if (nombre > 1 && longueur < lettres_par_mot) {
        const char* const lettres = lettres_suivantes<K>(source, total);
        for (unsigned r = 0; r < nombre; ++r)
            copier_suite(destination + r * pas, lettres + r * longueur, longueur);
        return;
    }
    // (Through rand, no value waits.)
    if (aucune_lettre_en_attente(source) && source.calculees - source.prises >= total)
        return depuis_les_valeurs<K>(source, destination, pas, longueur, nombre);
    placer_par_etapes<K>(source, destination, pas, longueur, nombre);
}
