// SPDX-License-Identifier: MIT
// The benchmark's writer with a chosen kernel: the same letters as
// brasse_adn, sent to /dev/null, so that only the tool's own work is timed.
// Prints the writer's time in milliseconds; with the one argument "noyaux",
// the names of the kernels this processor runs, one a line.
// brasse_adn_noyau kernel taille_seq nb_seq
#include "noyaux.hpp"
#include "sequences.hpp"

#include <fcntl.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc == 2 && std::string(argv[1]) == "noyaux") {
        for (std::size_t rang = 0; rang < nombre_noyaux; ++rang)
            if (noyau_disponible(rang))
                std::printf("%s\n", nom_du_noyau(rang));
        return 0;
    }
    if (argc != 4)
        return 1;
    std::size_t noyau = 0;
    while (noyau < nombre_noyaux && std::string(nom_du_noyau(noyau)) != argv[1])
        ++noyau;
    if (noyau == nombre_noyaux) {
        std::fprintf(stderr, "no kernel is named %s; there are:", argv[1]);
        for (std::size_t rang = 0; rang < nombre_noyaux; ++rang)
            std::fprintf(stderr, " %s", nom_du_noyau(rang));
        std::fprintf(stderr, "\n");
        return 1;
    }
    if (!noyau_disponible(noyau)) {
        std::fprintf(stderr, "this processor does not run the kernel %s\n", argv[1]);
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
    const bool ecrit = ecrire_sequences(fd, taille_seq, nb_seq, graine, memoire.data(), noyau);
    const int statut = fermer_sequences(fd, ecrit);
    const std::chrono::duration<double, std::milli> duree = std::chrono::steady_clock::now() - debut;
    std::printf("%.2f\n", duree.count());
    return statut;
}
