// SPDX-License-Identifier: MIT
#include "source_lettres.hpp"

#include "vecteurs.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

char tirer_base(int& tirage)
{
    tirage = std::rand();
    return bases[tirage & 3];
}

char tirer_base()
{
    int tirage;
    return tirer_base(tirage);
}

namespace {

constexpr std::size_t taille_valeurs = retard_maximal + taille_lot;
// The correction terms start 2 KiB off a 4 KiB boundary from the values: a
// load from one whose address looks, by its low 12 bits, like that of a
// store just made to the other waits for that store.
constexpr std::size_t ecart_correctifs = (taille_valeurs + 4095) / 4096 * 4096 + 2048;
// Room for several steps' letters: those left untaken are moved to the
// front only when the end is reached.
constexpr std::size_t taille_lettres = reste_maximal + 8 * taille_lot;

static_assert(taille_lot % 64 == 0 && retard_maximal % 64 == 0, "whole vectors, aligned");
static_assert(reste_maximal <= retard_maximal && historique(64) <= retard_maximal,
              "what calculer keeps fits before the steps");

// Once the replica has proved itself: its next retard_maximal values come
// from the replica stepped one at a time, and start the history that the
// steps of taille_lot values need. They wait to be made letters.
void passer_a_la_replique(source_lettres& source)
{
    for (std::size_t i = 0; i < retard_maximal; ++i)
        source.valeurs[i] = static_cast<std::uint8_t>(avancer_replique(source.replique) & 7);
    amorcer_correctifs(source.valeurs, source.correctifs, source.largeur);
    source.prises = 0;
    source.calculees = retard_maximal;
}

} // namespace

std::size_t taille_memoire_source()
{
    // Letters are read, and values turned into letters, a vector past the
    // last: the values' overrun falls in the gap before the correction terms.
    return ecart_correctifs + taille_valeurs + taille_lettres + lecture_au_dela;
}

source_lettres preparer_source(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres,
                               std::size_t largeur)
{
    source_lettres source{};
    source.a_faire = nombre_lettres;
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

void recharger(source_lettres& source, std::size_t voulues)
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
            std::min<std::int64_t>(source.a_faire, static_cast<std::int64_t>(taille_lot)));
        for (std::size_t i = 0; i < nombre; ++i)
            lettres[i] = tirer_base();
        source.fin += nombre;
        source.a_faire -= static_cast<std::int64_t>(nombre);
    } else if (source.a_verifier > 0) {
        const auto nombre = static_cast<std::size_t>(source.a_verifier);
        for (std::size_t i = 0; i < nombre; ++i) {
            int tirage;
            lettres[i] = tirer_base(tirage);
            if (tirage != tirer_replique(source.replique))
                source.par_rand = true;
        }
        source.fin += nombre;
        source.a_faire -= static_cast<std::int64_t>(nombre);
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

void calculer(source_lettres& source)
{
    if (source.calculees + taille_lot > taille_valeurs) {
        // The values waiting, and before them those the next step reads
        // back, to where the steps start.
        const std::size_t garde =
            std::max(historique(source.largeur), source.calculees - source.prises);
        const std::size_t depuis = source.calculees - garde;
        std::memmove(source.valeurs + retard_maximal - garde, source.valeurs + depuis, garde);
        std::memmove(source.correctifs + retard_maximal - garde, source.correctifs + depuis, garde);
        source.prises = retard_maximal - (source.calculees - source.prises);
        source.calculees = retard_maximal;
    }
    const std::size_t debut = source.calculees - retard_maximal;
    prolonger_valeurs(source.valeurs + debut, source.correctifs + debut, taille_lot, source.largeur);
    source.calculees += taille_lot;
}
