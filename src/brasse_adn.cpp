// brasse_adn taille_seq nb_seq: writes "alea.seq", nb_seq random DNA
// sequences of taille_seq letters each, in FASTA layout.
#include "sequences.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::puts(" Utilisation :");
        std::puts(" brasse_adn taille_seq nb_seq");
        return 1;
    }

    // Lenient on purpose: strtol's value, whatever the text, kept to its low
    // 32 bits. Scripts may rely on "12abc" meaning 12.
    const auto taille_seq = static_cast<std::int32_t>(std::strtol(argv[1], nullptr, 10));
    const auto nb_seq = static_cast<std::int32_t>(std::strtol(argv[2], nullptr, 10));

    // Whole seconds: runs started within the same second write the same file.
    const auto graine = static_cast<std::uint32_t>(std::time(nullptr));
    std::srand(graine);

    std::FILE* flux = std::fopen("alea.seq", "wt");
    if (flux == nullptr) {
        std::fprintf(stderr, "brasse_adn : impossible d'ouvrir alea.seq en écriture : %s\n",
                     std::strerror(errno));
        return 255;
    }
    ecrire_sequences(flux, taille_seq, nb_seq, graine);
    return fermer_sequences(flux);
}
