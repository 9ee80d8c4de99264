// SPDX-License-Identifier: MIT
// Helpers shared by the tests.
#pragma once

#include "noyaux.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <iostream>
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

// AddressSanitizer reserves terabytes of address space for its shadow.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sous_asan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sous_asan = true;
#else
inline constexpr bool sous_asan = false;
#endif
#else
inline constexpr bool sous_asan = false;
#endif

// From value depuis on, rand's values xor masque (see rand_deviant.cpp).
struct ecart {
    long depuis;
    int masque;
};

// The file as it must be for a seed, built independently of the writer:
// headers numbered from 0, and letter k of the file is "ACTG"[r & 3] for the
// k-th value r that rand returns after srand(graine), xor the mask of the
// last of ecarts that starts at k or before, as the test library's rand
// gives them.
inline std::string fichier_attendu(unsigned graine, int taille_seq, int nb_seq,
                                   const std::vector<ecart>& ecarts = {})
{
    std::srand(graine);
    std::string texte;
    if (taille_seq > 0 && nb_seq > 0)
        texte.reserve(static_cast<std::size_t>(taille_seq + 16) * static_cast<std::size_t>(nb_seq));
    long k = 0;
    std::size_t e = 0;
    int masque = 0;
    for (int i = 0; i < nb_seq; ++i) {
        texte += ">Seq" + std::to_string(i) + "\n";
        for (int j = 0; j < taille_seq; ++j, ++k) {
            for (; e < ecarts.size() && ecarts[e].depuis <= k; ++e)
                masque = ecarts[e].masque;
            texte += "ACTG"[(std::rand() ^ masque) & 3];
        }
        texte += '\n';
    }
    return texte;
}

inline std::string lire_fichier(const std::string& chemin)
{
    std::ifstream entree(chemin, std::ios::binary);
    return {std::istreambuf_iterator<char>(entree), std::istreambuf_iterator<char>()};
}

// Memory for the writer, and where it starts aligned as the writer aligns it.
struct memoire_ecrivain {
    std::vector<unsigned char> octets;
    explicit memoire_ecrivain(std::size_t taille) : octets(taille + 64) {}
    unsigned char* alignee()
    {
        return octets.data() + (64 - reinterpret_cast<std::uintptr_t>(octets.data()) % 64);
    }
};

// f(K{}) for each kernel K of the build that this processor runs, with its
// name in every failure's trace; a note for each it can't.
template <typename F>
void pour_chaque_noyau(F&& f)
{
    for (std::size_t rang = 0; rang < nombre_noyaux; ++rang)
        selon_noyau(rang, [&](auto noyau) {
            using K = decltype(noyau);
            if (!K::disponible()) {
                std::cout << "[ NOTE ] kernel " << K::nom << " not tried: this processor lacks its instructions\n";
                return true;
            }
            SCOPED_TRACE(std::string("kernel ") + K::nom);
            f(noyau);
            return true;
        });
}
