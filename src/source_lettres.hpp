// SPDX-License-Identifier: MIT
// Where the letters of the file come from, in file order: the C library's
// rand, or our replica of it once it has proved to give the same values.
// The source alone moves its positions and buffers; the writer only asks
// for the next letters, as a pointer or put where they go.
#pragma once

#include "replique.hpp"
#include "vecteurs.hpp"

#include <cstddef>
#include <cstdint>

// One call of rand; its two lowest bits pick the letter.
char tirer_base();

// The most letters that lettres_suivantes gives, or placer_lettres puts in
// more than one run, at once.
inline constexpr std::size_t lettres_d_un_coup = plans_etales;

// Bytes that may be read past the letters lettres_suivantes gives, and
// written past the last run placer_lettres puts.
inline constexpr std::size_t debord_lettres = 64;

// The memory a source works in, in bytes, aligned on 64 bytes by the caller.
std::size_t taille_memoire_source();

// The source's state; only its own functions touch it.
struct source_lettres {
    // Every letter left comes from rand; else from the replica, once it
    // agreed with rand on the letters checked and its vectors with it.
    bool par_rand;
    std::int64_t a_tirer;  // through rand, letters of the file not yet drawn
    // The replica's values modulo 8, held for vectors of largeur bytes:
    // those the next step reads back, then room for a step more; the
    // correction terms beside them. Values from prises to calculees wait.
    std::uint8_t* valeurs;
    std::uint8_t* correctifs;
    std::size_t prises;
    std::size_t calculees;
    std::size_t largeur;
    // Letters made before they are asked for; those from debut to fin wait.
    char* lettres;
    std::size_t debut;
    std::size_t fin;
    char* brouillon;  // where etaler_lettres may make letters first
};

// A source for a file of nombre_lettres letters, after srand(graine), with
// vectors of largeur bytes (16, 32 or 64) or narrower ones, working in
// memoire. It draws the letters checked against the replica at once. The
// widths whose bits are set in fautes get a history with one value wrong,
// as a fault would: the tests' way to the narrower ones and to rand.
source_lettres preparer_source(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres,
                               std::size_t largeur, unsigned fautes = 0);

// The source's own slower steps, for the two functions below: makes letters
// until nombre wait; puts letters in place, whatever waits.
void attendre_lettres(source_lettres& source, std::size_t nombre);
void placer_par_etapes(source_lettres& source, char* destination, std::size_t pas,
                       std::size_t longueur, unsigned nombre);

// The next nombre letters of the file (at most lettres_d_un_coup), one after
// the other, followed by debord_lettres bytes that may be read. They stay
// there until the next call.
inline const char* lettres_suivantes(source_lettres& source, std::size_t nombre)
{
    if (source.fin - source.debut < nombre)
        attendre_lettres(source, nombre);
    const char* const lettres = source.lettres + source.debut;
    source.debut += nombre;
    return lettres;
}

// The next nombre * longueur letters of the file, in nombre runs of longueur
// letters, to destination, destination + pas, and so on. With more than one
// run, longueur is 16 or more and the letters at most lettres_d_un_coup.
// Nothing is written past a run's letters but the last's, past which up to
// debord_lettres bytes may be. Inline where the letters are made straight
// from values computed already: for short runs, a call would cost as much as
// the letters.
inline void placer_lettres(source_lettres& source, char* destination, std::size_t pas,
                           std::size_t longueur, unsigned nombre)
{
    const std::size_t total = longueur * nombre;
    // From bit planes, runs shorter than a vector are copied from letters
    // made many at once where the stores need no shift, long enough before
    // that the loads need not wait for those stores.
    if (nombre > 1 && longueur < largeur_plans && source.largeur == largeur_plans) {
        const char* const lettres = lettres_suivantes(source, total);
        for (unsigned r = 0; r < nombre; ++r)
            copier_suite(destination + r * pas, lettres + r * longueur, longueur);
        return;
    }
    if (source.debut == source.fin && source.calculees - source.prises >= total &&
        !source.par_rand) {
        if (nombre == 1)
            en_lettres(source.valeurs, source.prises, destination, longueur, source.largeur);
        else
            etaler_lettres(destination, pas, source.valeurs, source.prises, longueur, nombre,
                           source.largeur, source.brouillon);
        source.prises += total;
        return;
    }
    placer_par_etapes(source, destination, pas, longueur, nombre);
}
