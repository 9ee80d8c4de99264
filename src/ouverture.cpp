// SPDX-License-Identifier: MIT
#include "ouverture.hpp"

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#if defined(__GLIBC__)
#include <libintl.h>
#endif
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

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

} // namespace

// (Scripts may rely on the leniency. strtol would stop at 32 bits where long
// has 32, and the same arguments would make another file there.)
std::int32_t lire_compte(const char* texte)
{
    const auto bas = static_cast<std::uint32_t>(std::strtoll(texte, nullptr, 10));
    if (bas <= 0x7fffffffu)
        return static_cast<std::int32_t>(bas);
    return static_cast<std::int32_t>(bas - 0x80000000u) + INT32_MIN;
}

// Two runs started together would otherwise each write at its own offset,
// and leave a file that is neither's; the lock goes with the close. Pipes
// and devices are written as they are, without a lock, and so is a file
// where the file system offers none.
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

// The messages' locale alone: a locale named for another category that the
// system lacks would make setlocale of them all fail, and leave the C one.
const char* raison(int erreur)
{
    std::setlocale(LC_MESSAGES, "");
#if defined(__GLIBC__)
    bind_textdomain_codeset("libc", "UTF-8");
#endif
    return std::strerror(erreur);
}


void signaler(std::FILE* erreurs, const char* echec, int erreur)
{
    if (erreur != 0)
        std::fprintf(erreurs, "brasse_adn : %s : %s\n", echec, raison(erreur));
    else
        std::fprintf(erreurs, "brasse_adn : %s\n", echec);
}
