// SPDX-License-Identifier: MIT
// brasse_adn taille_seq nb_seq: writes "alea.seq", nb_seq random DNA
// sequences of taille_seq letters each, in FASTA layout.
#include "noyaux.hpp"
#include "ouverture.hpp"
#include "sequences.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <sys/types.h>

// The build asks for 64-bit file offsets and times on 32-bit machines: a file
// of 2 GiB or more must be writable, and a 32-bit time fails from 2038 on,
// giving every run the same seed.
#if defined(__GLIBC__)
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");
#if __GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34)
static_assert(sizeof(std::time_t) == 8, "build with _TIME_BITS=64");
#endif
#endif

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::puts(" Utilisation :");
        std::puts(" brasse_adn taille_seq nb_seq");
        return 1;
    }

    const std::int32_t taille_seq = lire_compte(argv[1]);
    const std::int32_t nb_seq = lire_compte(argv[2]);

    // Whole seconds: runs started within the same second write the same file.
    const auto graine = static_cast<std::uint32_t>(std::time(nullptr));
    std::srand(graine);

    // Everything the writer needs, before the open empties a previous file.
    void* const memoire = std::calloc(1, taille_memoire());
    if (memoire == nullptr) {
        signaler(stderr, "mémoire insuffisante, alea.seq n'a pas été touché", 0);
        return statut_echec;
    }

    const ouverture o = ouvrir_alea();
    if (o.fd < 0) {
        signaler(stderr, o.echec, errno);
        std::free(memoire);
        return statut_echec;
    }
    const bool ecrit =
        ecrire_sequences(o.fd, taille_seq, nb_seq, graine, memoire, noyau_du_processeur());
    std::free(memoire);
    return fermer_sequences(o.fd, ecrit);
}
