// SPDX-License-Identifier: MIT
// brasse_adn taille_seq nb_seq: writes "alea.seq", nb_seq random DNA
// sequences of taille_seq letters each, in FASTA layout.
#include "sequences.hpp"
#include "vecteurs.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// The build asks for 64-bit file offsets and times on 32-bit machines: a file
// of 2 GiB or more must be writable, and a 32-bit time fails from 2038 on,
// giving every run the same seed.
#if defined(__GLIBC__)
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");
#if __GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34)
static_assert(sizeof(std::time_t) == 8, "build with _TIME_BITS=64");
#endif
#endif

namespace {

// A count as the command line gives it: base 10, leniently (scripts may rely
// on "12abc" meaning 12), read as 64 bits on every machine, then its low 32
// bits as a two's-complement number. strtol would stop at 32 bits where long
// has 32, and the same arguments would make another file there.
std::int32_t lire_compte(const char* texte)
{
    const auto bas = static_cast<std::uint32_t>(std::strtoll(texte, nullptr, 10));
    if (bas <= 0x7fffffffu)
        return static_cast<std::int32_t>(bas);
    return static_cast<std::int32_t>(bas - 0x80000000u) + INT32_MIN;
}

// Gives up a file half opened: closes it, and returns -1 with the errno of
// the failure.
int renoncer(int fd)
{
    const int erreur = errno;
    close(fd);
    errno = erreur;
    return -1;
}

// "alea.seq" opened for writing, emptied, as fopen with "wt" would, but only
// once no other run writes it: two runs started together would otherwise
// each write at its own offset, and leave a file that is neither's. A run
// waits for the one writing to close the file, then replaces it whole; the
// lock goes with the close. Pipes and devices are written as they are,
// without a lock, and so is a file where the file system offers none. -1
// with errno set when the file can't be opened.
int ouvrir_alea()
{
    for (;;) {
        const int fd = open("alea.seq", O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return -1;
        struct stat ouvert {};
        if (fstat(fd, &ouvert) != 0)
            return renoncer(fd);
        if (S_ISREG(ouvert.st_mode)) {
            int verrou;
            while ((verrou = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            // The file waited for may have been removed or replaced meanwhile:
            // what is to be written is the one the name now gives.
            struct stat nomme {};
            if (verrou == 0 && (stat("alea.seq", &nomme) != 0 || nomme.st_dev != ouvert.st_dev ||
                                nomme.st_ino != ouvert.st_ino)) {
                close(fd);
                continue;
            }
            // Its size now that no run writes it: emptying a file that is
            // already empty is not free, ext4 then flushes the whole new
            // file at the close.
            if (fstat(fd, &ouvert) != 0)
                return renoncer(fd);
            if (ouvert.st_size > 0 && ftruncate(fd, 0) != 0)
                return renoncer(fd);
        }
        return fd;
    }
}

} // namespace

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
        std::fputs("brasse_adn : mémoire insuffisante, alea.seq n'a pas été touché\n", stderr);
        return 255;
    }

    const int fd = ouvrir_alea();
    if (fd < 0) {
        std::fprintf(stderr, "brasse_adn : impossible d'ouvrir alea.seq en écriture : %s\n",
                     std::strerror(errno));
        std::free(memoire);
        return 255;
    }
    const bool ecrit = ecrire_sequences(fd, taille_seq, nb_seq, graine, memoire, largeur_maximale());
    std::free(memoire);
    return fermer_sequences(fd, ecrit);
}
