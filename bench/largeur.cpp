// SPDX-License-Identifier: MIT
// The benchmark's writer at a chosen vector width: the same letters as
// brasse_adn, sent to /dev/null, so that only the tool's own work is timed.
// Prints the writer's time in milliseconds.
// brasse_adn_largeur largeur taille_seq nb_seq
#include "sequences.hpp"
#include "vecteurs.hpp"

#include <fcntl.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 4)
        return 1;
    const auto largeur = static_cast<std::size_t>(std::strtoul(argv[1], nullptr, 10));
    if (largeur != 16 && largeur != 32 && largeur != 64)
        return 1;
    if (largeur > largeur_maximale()) {
        std::fprintf(stderr, "this processor holds no %zu-byte vectors: they would be split\n", largeur);
        return 2;
    }
    const auto taille_seq = static_cast<std::int32_t>(std::strtoll(argv[2], nullptr, 10));
    const auto nb_seq = static_cast<std::int32_t>(std::strtoll(argv[3], nullptr, 10));
    const auto graine = static_cast<std::uint32_t>(std::time(nullptr));
    std::srand(graine);
    const int fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return 255;
    std::vector<unsigned char> memoire(taille_memoire());
    const auto debut = std::chrono::steady_clock::now();
    const bool ecrit = ecrire_sequences(fd, taille_seq, nb_seq, graine, memoire.data(), largeur);
    const int statut = fermer_sequences(fd, ecrit);
    const std::chrono::duration<double, std::milli> duree = std::chrono::steady_clock::now() - debut;
    std::printf("%.2f\n", duree.count());
    return statut;
}
