// SPDX-License-Identifier: MIT
#include "source_lettres.hpp"

#include "interne.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// One call of rand, keeping the whole value it returned in tirage.
char tirer_base_et_valeur(int& tirage)
{
    tirage = std::rand();
    return bases[tirage & 3];
}

// The vectors' passes read, and en_lettres writes, up to a vector past the
// last byte they are asked for.
constexpr std::size_t debord_vecteur = 64;
constexpr std::size_t taille_valeurs = retard_maximal + taille_lot;
// The correction terms start 2 KiB off a 4 KiB boundary from the values: a
// load from one whose address looks, by its low 12 bits, like that of a
// store just made to the other waits for that store. The gap before them
// takes what is read past the values.
constexpr std::size_t ecart_correctifs = (taille_valeurs + 4095) / 4096 * 4096 + 2048;
// Room for several steps' letters: those left untaken are moved to the
// front only when the end is reached.
constexpr std::size_t taille_lettres = lettres_d_un_coup + 8 * taille_lot;

static_assert(ecart_correctifs - taille_valeurs >= debord_vecteur, "values read past, in the gap");
static_assert(debord_lettres >= debord_vecteur && debord_lettres >= 64,
              "letters made a vector past, copied as 64");
static_assert(taille_lot % 64 == 0 && retard_maximal % 64 == 0, "whole vectors, aligned");
static_assert(lettres_d_un_coup <= retard_maximal && historique(64) <= retard_maximal,
              "what calculer keeps fits before the steps");
static_assert(lettres_verifiees <= lettres_d_un_coup &&
                  lettres_d_un_coup + retard_maximal <= taille_lettres,
              "the history is copied beside the letters checked");

// Moves the last garde values before fin, and their correction terms, to
// where the next step reads them back.
void garder(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t fin, std::size_t garde)
{
    std::memmove(valeurs + retard_maximal - garde, valeurs + fin - garde, garde);
    std::memmove(correctifs + retard_maximal - garde, correctifs + fin - garde, garde);
}

// Computes taille_lot more of the replica's values, after those waiting
// (fewer than lettres_d_un_coup, moved to the front if need be).
void calculer(source_lettres& source)
{
    if (source.calculees + taille_lot > taille_valeurs) {
        const std::size_t attente = source.calculees - source.prises;
        garder(source.valeurs, source.correctifs, source.calculees,
               std::max(historique(source.largeur), attente));
        source.prises = retard_maximal - attente;
        source.calculees = retard_maximal;
    }
    const std::size_t debut = source.calculees - retard_maximal;
    prolonger_valeurs(source.valeurs + debut, source.correctifs + debut, taille_lot,
                      source.largeur);
    source.calculees += taille_lot;
}

// Once the replica has proved itself: its next retard_maximal values, one at
// a time, start the history that the steps need, and wait to be made
// letters. The steps are first tried on this processor's vectors; on a
// difference, narrower ones, and at last rand for the rest of the file.
void passer_a_la_replique(source_lettres& source)
{
    for (std::size_t i = 0; i < retard_maximal; ++i)
        source.valeurs[i] = static_cast<std::uint8_t>(avancer_replique(source.replique) & 7);
    // A file that the history covers needs no step. Else the check
    // overwrites the history: a copy of it, past the letters checked.
    if (source.a_tirer > static_cast<std::int64_t>(retard_maximal)) {
        auto* const copie = reinterpret_cast<std::uint8_t*>(source.lettres) + lettres_d_un_coup;
        std::memcpy(copie, source.valeurs, retard_maximal);
        while (!deux_pas_conformes(source.valeurs, source.correctifs, source.replique,
                                   source.largeur)) {
            if (source.largeur == 16) {
                source.par_rand = true;
                return;
            }
            source.largeur /= 2;
            std::memcpy(source.valeurs, copie, retard_maximal);
        }
        std::memcpy(source.valeurs, copie, retard_maximal);
    }
    amorcer_correctifs(source.valeurs, source.correctifs, source.largeur);
    source.prises = 0;
    source.calculees = retard_maximal;
}

// Makes more letters after those waiting (which may move to the front):
// through rand, at least one while the file needs any; from the replica's
// values, just enough for voulues to wait (at most lettres_d_un_coup), or
// up to a step's when voulues is 0.
void recharger(source_lettres& source, std::size_t voulues = 0)
{
    if (source.fin + taille_lot > taille_lettres) {
        const std::size_t gardees = source.fin - source.debut;
        std::memmove(source.lettres, source.lettres + source.debut, gardees);
        source.debut = 0;
        source.fin = gardees;
    }
    char* const lettres = source.lettres + source.fin;
    if (source.par_rand) {
        // Never a rand call past the file's last letter.
        const auto nombre = static_cast<std::size_t>(
            std::min<std::int64_t>(source.a_tirer, static_cast<std::int64_t>(taille_lot)));
        for (std::size_t i = 0; i < nombre; ++i)
            lettres[i] = tirer_base();
        source.fin += nombre;
        source.a_tirer -= static_cast<std::int64_t>(nombre);
    } else if (source.a_verifier > 0) {
        const auto nombre = static_cast<std::size_t>(source.a_verifier);
        for (std::size_t i = 0; i < nombre; ++i) {
            int tirage;
            lettres[i] = tirer_base_et_valeur(tirage);
            if (tirage != tirer_replique(source.replique))
                source.par_rand = true;
        }
        source.fin += nombre;
        source.a_tirer -= static_cast<std::int64_t>(nombre);
        source.a_verifier = 0;
        if (!source.par_rand)
            passer_a_la_replique(source);
    } else {
        if (source.prises == source.calculees)
            calculer(source);
        const std::size_t attente = source.fin - source.debut;
        const std::size_t nombre = std::min(
            source.calculees - source.prises,
            voulues > attente ? voulues - attente : voulues == 0 ? taille_lot : 0);
        en_lettres(source.valeurs + source.prises, lettres, nombre, source.largeur);
        source.prises += nombre;
        source.fin += nombre;
    }
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
                std::memcpy(destination, source.lettres + source.debut, 64);
            else
                std::memcpy(destination, source.lettres + source.debut, fait);
            source.debut += fait;
        } else if (!replique_en_charge(source)) {
            recharger(source);
            continue;
        } else {
            if (source.prises == source.calculees)
                calculer(source);
            fait = std::min(longueur, source.calculees - source.prises);
            en_lettres(source.valeurs + source.prises, destination, fait, source.largeur);
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
    amorcer_correctifs(valeurs, correctifs, largeur);
    for (int pas = 0; pas < 2; ++pas) {
        if (pas > 0)
            garder(valeurs, correctifs, taille_valeurs, historique(largeur));
        prolonger_valeurs(valeurs, correctifs, taille_lot, largeur);
        unsigned ecarts = 0;
        for (std::size_t i = retard_maximal; i < taille_valeurs; ++i)
            ecarts |= (valeurs[i] ^ avancer_replique(temoin)) & 7;
        if (ecarts != 0)
            return false;
    }
    return true;
}

std::size_t taille_memoire_source()
{
    return ecart_correctifs + taille_valeurs + taille_lettres + debord_lettres;
}

source_lettres preparer_source(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres,
                               std::size_t largeur)
{
    source_lettres source{};
    source.a_tirer = nombre_lettres;
    source.a_verifier = lettres_verifiees;
    source.par_rand = nombre_lettres < static_cast<std::int64_t>(lettres_verifiees);
    if (!source.par_rand)
        source.replique = semer_replique(graine);
    source.valeurs = static_cast<std::uint8_t*>(memoire);
    source.correctifs = source.valeurs + ecart_correctifs;
    source.lettres = reinterpret_cast<char*>(source.correctifs + taille_valeurs);
    source.largeur = largeur;
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
    if (source.debut == source.fin && replique_en_charge(source)) {
        while (source.calculees - source.prises < total)
            calculer(source);
        return placer_lettres(source, destination, pas, longueur, nombre);
    }
    while (source.fin - source.debut < total)
        recharger(source, total);
    for (unsigned r = 0; r < nombre; ++r, destination += pas, source.debut += longueur)
        std::memcpy(destination, source.lettres + source.debut, longueur);
}
