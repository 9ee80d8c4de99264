// SPDX-License-Identifier: MIT
// brasse_adn taille_seq nb_seq: writes "alea.seq", nb_seq random DNA
// sequences of taille_seq letters each, in FASTA layout.
#include "sequences.hpp"

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#if defined(__GLIBC__)
#include <libintl.h>
#endif
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

// How many times a run opens "alea.seq" again when, once it holds the lock,
// the name gives another file than the one it locked, or none: each time,
// another run replaced or removed the file while this one waited. More
// would be a name that never settles, not runs taking turns.
constexpr int ouvertures_max = 8;

// The file opened for writing, or -1 and what failed, in the words of the
// message, with errno set when the system said why.
struct ouverture {
    int fd;
    const char* echec;
};

// Gives up a file half opened: closes it, and returns the failure, errno
// kept. A file this run made at the name goes with it only while it is
// certain to be this run's alone: no other run holds its lock, it still
// holds no byte, and the name still gives it itself, not through a link.
ouverture renoncer(int fd, bool cree, const char* echec)
{
    const int erreur = errno;
    struct stat ouvert {}, nomme {};
    if (cree && flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &ouvert) == 0 &&
        ouvert.st_size == 0 && lstat("alea.seq", &nomme) == 0 && S_ISREG(nomme.st_mode) &&
        nomme.st_dev == ouvert.st_dev && nomme.st_ino == ouvert.st_ino)
        unlink("alea.seq");
    close(fd);
    errno = erreur;
    return {-1, echec};
}

// "alea.seq" opened for writing, emptied, as fopen with "wt" would, through
// a link too, but only once no other run writes it: two runs started
// together would otherwise each write at its own offset, and leave a file
// that is neither's. A run waits for the one writing to close the file,
// then replaces it whole; the lock goes with the close. Pipes and devices
// are written as they are, without a lock, and so is a file where the file
// system offers none.
ouverture ouvrir_alea()
{
    for (int essai = 0; essai < ouvertures_max; ++essai) {
        // Whether this run made the file at the name: then it may remove it
        // if the run can't go on. Anything else there, a file, a link or a
        // link to nothing (whose target this open creates), is opened as it
        // is.
        bool cree = true;
        int fd = open("alea.seq", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            cree = false;
            fd = open("alea.seq", O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        }
        if (fd < 0)
            return {-1, "impossible d'ouvrir alea.seq en écriture"};
        struct stat ouvert {};
        if (fstat(fd, &ouvert) != 0)
            return renoncer(fd, cree, "impossible de lire l'état de alea.seq");
        if (!S_ISREG(ouvert.st_mode))
            return {fd, nullptr};
        int verrou;
        while ((verrou = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        // The file waited for may have been removed or replaced meanwhile:
        // what is to be written is the one the name now gives.
        if (verrou == 0) {
            struct stat nomme {};
            const bool lu = stat("alea.seq", &nomme) == 0;
            if (!lu && errno != ENOENT)
                return renoncer(fd, cree, "impossible de lire l'état de alea.seq");
            if (!lu || nomme.st_dev != ouvert.st_dev || nomme.st_ino != ouvert.st_ino) {
                renoncer(fd, cree, nullptr);
                continue;
            }
        }
        // Its size now that no run writes it: emptying a file that is
        // already empty is not free, ext4 then flushes the whole new file
        // at the close.
        if (fstat(fd, &ouvert) != 0)
            return renoncer(fd, cree, "impossible de lire l'état de alea.seq");
        if (ouvert.st_size > 0 && ftruncate(fd, 0) != 0)
            return renoncer(fd, cree, "impossible de vider alea.seq");
        return {fd, nullptr};
    }
    errno = 0;
    return {-1, "alea.seq a été remplacé par un autre fichier à chaque ouverture"};
}

// The system's reason for a failure in the user's language, where the
// system has it: only the messages' locale, so that numbers are read the
// same in every locale; in UTF-8, as the rest of the line.
const char* raison(int erreur)
{
    std::setlocale(LC_MESSAGES, "");
#if defined(__GLIBC__)
    bind_textdomain_codeset("libc", "UTF-8");
#endif
    return std::strerror(erreur);
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
        return statut_echec;
    }

    const ouverture o = ouvrir_alea();
    if (o.fd < 0) {
        if (errno != 0)
            std::fprintf(stderr, "brasse_adn : %s : %s\n", o.echec, raison(errno));
        else
            std::fprintf(stderr, "brasse_adn : %s\n", o.echec);
        std::free(memoire);
        return statut_echec;
    }
    const bool ecrit =
        ecrire_sequences(o.fd, taille_seq, nb_seq, graine, memoire, noyau_du_processeur());
    std::free(memoire);
    return fermer_sequences(o.fd, ecrit);
}
