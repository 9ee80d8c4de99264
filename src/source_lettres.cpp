// SPDX-License-Identifier: MIT
#include "source_lettres.hpp"

#include "interne.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// __builtin_memcpy, not std::memcpy: with _FORTIFY_SOURCE, Clang makes the
// latter a call of the C library's checked copy even where the size is
// known, which made a header's copy cost a call.
namespace {

// One call of rand, keeping the whole value it returned in tirage.
char tirer_base_et_valeur(int& tirage)
{
    tirage = std::rand();
    return bases[tirage & 3];
}

// Values per step: bytes stay within the first-level cache with a step of
// taille_lot, bit planes, eight times denser, with one of lot_plans.
constexpr std::size_t lot_de(std::size_t largeur)
{
    return largeur == largeur_plans ? lot_plans : taille_lot;
}
constexpr std::size_t capacite(std::size_t largeur)
{
    return debut_des_pas(largeur) + lot_de(largeur);
}

// The source's memory, in bytes from its start (aligned on 64 bytes by the
// caller). The values as bytes, or, in the same place, as bit planes; the
// letters after them.
struct disposition {
    // The vectors' passes read, and en_lettres writes, up to a vector past
    // the last byte they are asked for.
    static constexpr std::size_t debord_vecteur = 64;
    static constexpr std::size_t alignement = 64;
    static constexpr std::size_t octets_valeurs = capacite(32);
    // The correction terms start 2 KiB off a 4 KiB boundary from the
    // values: a load from one whose address looks, by its low 12 bits, like
    // that of a store just made to the other waits for that store. The gap
    // before them takes what is read past the values.
    static constexpr std::size_t correctifs = (octets_valeurs + 4095) / 4096 * 4096 + 2048;
    static constexpr std::size_t octets_plans = plans_par_bloc * octets_plan;
    static constexpr std::size_t lettres =
        (std::max(correctifs + octets_valeurs, octets_plans) + alignement - 1) / alignement *
        alignement;
    // Letters are made taille_lot at a time, and those left untaken moved to
    // the front when the next would pass en_cours: a few first-level cache
    // pages in use. Past it, room for a copy of the history before a check.
    static constexpr std::size_t en_cours = lettres_d_un_coup + 2 * taille_lot;
    static constexpr std::size_t octets_lettres = lettres_d_un_coup + 2 * lot_plans;
    // Before a check, a copy of the history, past the letters checked;
    // after it, etaler_lettres's draft, past the letters in use.
    static constexpr std::size_t copie = lettres + lettres_d_un_coup;
    static constexpr std::size_t brouillon = lettres + en_cours;
    static constexpr std::size_t taille = lettres + octets_lettres + debord_lettres;
};
static_assert(disposition::correctifs - disposition::octets_valeurs >= disposition::debord_vecteur,
              "values read past, in the gap");
static_assert(debord_lettres >= disposition::debord_vecteur, "letters made a vector past");
static_assert(taille_lot % valeurs_par_bloc == 0 && debut_octets % 64 == 0 &&
                  debut_des_pas(largeur_plans) % valeurs_par_bloc == 0,
              "whole vectors, whole blocks, aligned");
static_assert(lettres_d_un_coup <= debut_octets && historique(32) <= debut_octets &&
                  lettres_d_un_coup <= historique(largeur_plans) &&
                  historique(largeur_plans) <= debut_des_pas(largeur_plans),
              "what calculer keeps fits before the steps");
static_assert(lettres_verifiees <= lettres_d_un_coup &&
                  disposition::copie + disposition::octets_plans <=
                      disposition::lettres + disposition::octets_lettres,
              "the history is copied beside the letters checked");
static_assert(disposition::en_cours <= disposition::octets_lettres,
              "letters made fit after those waiting");
static_assert(disposition::brouillon % disposition::alignement == 0 &&
                  disposition::brouillon + plans_etales + largeur_plans <=
                      disposition::lettres + disposition::octets_lettres,
              "etaler_lettres's draft after the letters in use");

// Where value n is, in bytes from the start of each plane or of the bytes.
std::size_t octets_jusqu_a(std::size_t n, std::size_t largeur)
{
    return largeur == largeur_plans ? n / 8 : n;
}

// Moves the last garde values before fin, and their correction terms, to
// where the next step reads them back.
void garder(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t fin, std::size_t garde,
            std::size_t largeur)
{
    const std::size_t debut = octets_jusqu_a(debut_des_pas(largeur), largeur);
    const std::size_t octets = octets_jusqu_a(garde, largeur), depuis = octets_jusqu_a(fin, largeur);
    if (largeur == largeur_plans) {
        for (unsigned k = 0; k < plans_par_bloc; ++k, valeurs += octets_plan)
            std::memmove(valeurs + debut - octets, valeurs + depuis - octets, octets);
        return;
    }
    std::memmove(valeurs + debut - octets, valeurs + depuis - octets, octets);
    std::memmove(correctifs + debut - octets, correctifs + depuis - octets, octets);
}

// Computes a step more of the replica's values, after those waiting (fewer
// than lettres_d_un_coup, moved to the front if need be).
void calculer(source_lettres& source)
{
    const std::size_t largeur = source.largeur, debut = debut_des_pas(largeur);
    if (source.calculees + lot_de(largeur) > capacite(largeur)) {
        const std::size_t attente = source.calculees - source.prises;
        // Bit planes' history is whole blocks, and longer than may wait.
        garder(source.valeurs, source.correctifs, source.calculees,
               std::max(historique(largeur), attente), largeur);
        source.prises = debut - attente;
        source.calculees = debut;
    }
    prolonger_valeurs(source.valeurs + octets_jusqu_a(source.calculees - debut, largeur),
                      source.correctifs + source.calculees - debut, lot_de(largeur), largeur);
    source.calculees += lot_de(largeur);
}

// Once the replica agreed with rand: its next values, one at a time, make
// the history that the steps need, and wait to be made letters. The steps
// are first tried on vectors of the source's width; on a difference,
// narrower ones, and at last rand for the rest of the file.
void passer_a_la_replique(source_lettres& source, replique_rand replique, unsigned fautes)
{
    for (;; source.largeur /= 2) {
        const std::size_t largeur = source.largeur, debut = debut_des_pas(largeur);
        replique_rand temoin = replique;
        // A file that the history covers needs no step, and only its own
        // values: they wait, and no more is ever computed.
        if (source.a_tirer <= static_cast<std::int64_t>(debut)) {
            const auto nombre = static_cast<std::size_t>(source.a_tirer + 63) / 64 * 64;
            poser_valeurs(source.valeurs, nombre, temoin, largeur);
            source.prises = 0;
            source.calculees = nombre;
            return;
        }
        // Else the check overwrites the history: a copy of it (for planes,
        // planes 0 to 2 and what lies between them).
        poser_valeurs(source.valeurs, debut, temoin, largeur);
        std::uint8_t* const copie = source.valeurs + disposition::copie;
        const std::size_t octets = octets_jusqu_a(debut, largeur);
        const std::size_t copiees = largeur == largeur_plans ? 2 * octets_plan + octets : octets;
        __builtin_memcpy(copie, source.valeurs, copiees);
        // The last value's bit 2: the last bit of the third plane's, or of
        // the last byte.
        if ((fautes & largeur) != 0)
            source.valeurs[copiees - 1] ^= largeur == largeur_plans ? 0x80 : 4;
        if (deux_pas_conformes(source.valeurs, source.correctifs, temoin, largeur)) {
            __builtin_memcpy(source.valeurs, copie, copiees);
            break;
        }
        if (largeur == 16) {
            source.par_rand = true;
            return;
        }
    }
    amorcer_correctifs(source.valeurs, source.correctifs, source.largeur);
    source.prises = 0;
    source.calculees = debut_des_pas(source.largeur);
}

// Makes more letters after those waiting (which may move to the front):
// through rand, at least one while the file needs any; from the replica's
// values, just enough for voulues to wait (at most lettres_d_un_coup), or
// up to a step's when voulues is 0.
void recharger(source_lettres& source, std::size_t voulues = 0)
{
    if (source.fin + taille_lot > disposition::en_cours) {
        const std::size_t gardees = source.fin - source.debut;
        std::memmove(source.lettres, source.lettres + source.debut, gardees);
        source.debut = 0;
        source.fin = gardees;
    }
    char* const lettres = source.lettres + source.fin;
    if (source.par_rand) {
        // Never a rand call past the file's last letter. A writer that asks
        // for more letters than the file has is at fault: it must not spin.
        if (source.a_tirer <= 0)
            std::abort();
        const auto nombre = static_cast<std::size_t>(
            std::min<std::int64_t>(source.a_tirer, static_cast<std::int64_t>(taille_lot)));
        for (std::size_t i = 0; i < nombre; ++i)
            lettres[i] = tirer_base();
        source.fin += nombre;
        source.a_tirer -= static_cast<std::int64_t>(nombre);
        return;
    }
    if (source.prises == source.calculees)
        calculer(source);
    const std::size_t attente = source.fin - source.debut;
    const std::size_t nombre =
        std::min(source.calculees - source.prises,
                 voulues > attente ? voulues - attente : voulues == 0 ? taille_lot : 0);
    en_lettres(source.valeurs, source.prises, lettres, nombre, source.largeur);
    source.prises += nombre;
    source.fin += nombre;
}

// One run of any length: the letters waiting copied, then the replica's
// values made letters straight where they go.
void placer_suite(source_lettres& source, char* destination, std::size_t longueur)
{
    while (longueur > 0) {
        std::size_t fait;
        if (source.debut < source.fin) {
            fait = std::min(longueur, source.fin - source.debut);
            // Mostly the few checked against rand: a copy of unknown size
            // this small costs more than the letters.
            if (fait <= 64)
                __builtin_memcpy(destination, source.lettres + source.debut, 64);
            else
                __builtin_memcpy(destination, source.lettres + source.debut, fait);
            source.debut += fait;
        } else if (source.par_rand) {
            recharger(source);
            continue;
        } else {
            if (source.prises == source.calculees)
                calculer(source);
            fait = std::min(longueur, source.calculees - source.prises);
            en_lettres(source.valeurs, source.prises, destination, fait, source.largeur);
            source.prises += fait;
        }
        destination += fait;
        longueur -= fait;
    }
}

} // namespace

char tirer_base()
{
    int tirage;
    return tirer_base_et_valeur(tirage);
}

bool deux_pas_conformes(std::uint8_t* valeurs, std::uint8_t* correctifs, replique_rand temoin,
                        std::size_t largeur)
{
    // Planes' steps are checked on fewer values than they make: the same
    // code, and each value checked costs as much as the replica takes.
    const std::size_t debut = debut_des_pas(largeur);
    const std::size_t lot = largeur == largeur_plans ? 8 * valeurs_par_bloc : lot_de(largeur);
    amorcer_correctifs(valeurs, correctifs, largeur);
    for (int pas = 0; pas < 2; ++pas) {
        if (pas > 0)
            garder(valeurs, correctifs, debut + lot, historique(largeur), largeur);
        prolonger_valeurs(valeurs, correctifs, lot, largeur);
        if (!memes_valeurs(valeurs, debut, lot, temoin, largeur))
            return false;
    }
    return true;
}

std::size_t taille_memoire_source()
{
    return disposition::taille;
}

source_lettres preparer_source(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres,
                               std::size_t largeur, unsigned fautes)
{
    source_lettres source{};
    source.par_rand = true;
    source.a_tirer = nombre_lettres;
    source.valeurs = static_cast<std::uint8_t*>(memoire);
    source.correctifs = source.valeurs + disposition::correctifs;
    source.lettres = reinterpret_cast<char*>(source.valeurs + disposition::lettres);
    source.brouillon = reinterpret_cast<char*>(source.valeurs + disposition::brouillon);
    source.largeur = largeur;
    // Files with fewer letters than are checked are drawn through rand.
    if (nombre_lettres < static_cast<std::int64_t>(lettres_verifiees))
        return source;
    replique_rand replique = semer_replique(graine);
    bool d_accord = true;
    for (std::size_t i = 0; i < lettres_verifiees; ++i) {
        int tirage;
        source.lettres[i] = tirer_base_et_valeur(tirage);
        d_accord = d_accord && tirage == tirer_replique(replique);
    }
    source.fin = lettres_verifiees;
    source.a_tirer -= static_cast<std::int64_t>(lettres_verifiees);
    if (d_accord) {
        source.par_rand = false;
        passer_a_la_replique(source, replique, fautes);
    }
    return source;
}

void attendre_lettres(source_lettres& source, std::size_t nombre)
{
    while (source.fin - source.debut < nombre)
        recharger(source);
}

void placer_par_etapes(source_lettres& source, char* destination, std::size_t pas,
                       std::size_t longueur, unsigned nombre)
{
    if (nombre == 1)
        return placer_suite(source, destination, longueur);
    const std::size_t total = longueur * nombre;
    if (source.debut == source.fin && !source.par_rand) {
        while (source.calculees - source.prises < total)
            calculer(source);
        return placer_lettres(source, destination, pas, longueur, nombre);
    }
    while (source.fin - source.debut < total)
        recharger(source, total);
    for (unsigned r = 0; r < nombre; ++r, destination += pas, source.debut += longueur)
        __builtin_memcpy(destination, source.lettres + source.debut, longueur);
}
