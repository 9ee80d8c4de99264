// SPDX-License-Identifier: MIT
// Helpers shared by the tests.
#pragma once

#include "format.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The writer's replica is of the GNU C library's rand; with another C library
// every letter comes from rand, and the replica has nothing to agree with.
#if defined(__GLIBC__) && !defined(__UCLIBC__)
inline constexpr bool rand_de_glibc = true;
#else
inline constexpr bool rand_de_glibc = false;
#endif

// From value depuis on, rand's values xor masque (see rand_deviant.cpp).
struct ecart {
    long depuis;
    int masque;
};

// The first nombre letters that rand gives after srand(graine), built
// independently of the writer: letter k is "ACTG"[r & 3] for the k-th value
// r, xor the mask of the last of ecarts that starts at k or before, as the
// test library's rand gives them. Those of any file for that seed, whatever
// its shape.
inline std::string lettres_de_rand(unsigned graine, std::size_t nombre,
                                   const std::vector<ecart>& ecarts = {})
{
    std::srand(graine);
    std::string lettres(nombre, '\0');
    std::size_t e = 0;
    int masque = 0;
    for (std::size_t k = 0; k < nombre; ++k) {
        for (; e < ecarts.size() && ecarts[e].depuis <= static_cast<long>(k); ++e)
            masque = ecarts[e].masque;
        lettres[k] = "ACTG"[(std::rand() ^ masque) & 3];
    }
    return lettres;
}

// The bytes of a file of nb_seq records of taille_seq letters.
inline std::size_t taille_de_fichier(std::size_t taille_seq, std::size_t nb_seq)
{
    std::size_t taille = 0;
    for (std::size_t i = 0, dizaine = 10, largeur = 1; i < nb_seq; ++i) {
        if (i == dizaine)
            ++largeur, dizaine *= 10;
        taille += longueur_texte_entete + largeur + 1 + taille_seq + 1;
    }
    return taille;
}

// The file of nb_seq records of taille_seq of those letters: headers
// numbered from 0. (The numbers counted in the text itself: a library call
// a record is slow under some emulators.)
inline std::string fichier_de(const std::string& lettres, std::size_t taille_seq, std::size_t nb_seq)
{
    char numero[12] = "0";
    std::size_t chiffres = 1;
    std::string texte(taille_de_fichier(taille_seq, nb_seq), '\0');
    char* ici = texte.data();
    for (std::size_t i = 0; i < nb_seq; ++i) {
        for (std::size_t c = 0; c < longueur_texte_entete; ++c)
            *ici++ = texte_entete[c];
        for (std::size_t c = 0; c < chiffres; ++c)
            *ici++ = numero[c];
        *ici++ = '\n';
        for (std::size_t j = 0; j < taille_seq; ++j)
            *ici++ = lettres[i * taille_seq + j];
        *ici++ = '\n';
        // One more, carried from the last digit.
        std::size_t c = chiffres;
        while (c > 0 && numero[c - 1] == '9')
            numero[--c] = '0';
        if (c == 0) {
            for (std::size_t d = chiffres; d > 0; --d)
                numero[d] = numero[d - 1];
            numero[0] = '1';
            ++chiffres;
        } else {
            ++numero[c - 1];
        }
    }
    return texte;
}

// The file as it must be for a seed, for a rand that departs so.
inline std::string fichier_attendu(unsigned graine, int taille_seq, int nb_seq,
                                   const std::vector<ecart>& ecarts = {})
{
    const std::size_t taille = taille_seq > 0 ? static_cast<std::size_t>(taille_seq) : 0;
    const std::size_t nombre = nb_seq > 0 ? static_cast<std::size_t>(nb_seq) : 0;
    return fichier_de(lettres_de_rand(graine, taille * nombre, ecarts), taille, nombre);
}

inline std::string lire_fichier(const std::string& chemin)
{
    std::ifstream entree(chemin, std::ios::binary);
    return {std::istreambuf_iterator<char>(entree), std::istreambuf_iterator<char>()};
}

// A new folder for a test, removed with all it holds when the test ends.
struct dossier_temporaire {
    std::filesystem::path chemin;
    dossier_temporaire()
    {
        std::string modele = (std::filesystem::temp_directory_path() / "brasse_adn.XXXXXX").string();
        EXPECT_NE(mkdtemp(modele.data()), nullptr);
        chemin = modele;
    }
    ~dossier_temporaire() { std::filesystem::remove_all(chemin); }
};
