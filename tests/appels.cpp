// SPDX-License-Identifier: MIT
// Defined here, these calls are the ones the code under test makes (and the
// rest of the process); each goes on to the C library's own. Built with the
// tool's 64-bit offsets and times, each has the name the tool's code calls
// on every machine.
#include "appels.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool dans_un_crochet = false;

template <typename F, typename... A>
auto sous_crochet(const F& crochet, A... arguments)
{
    dans_un_crochet = true;
    const auto reponse = crochet(arguments...);
    dans_un_crochet = false;
    return reponse;
}

// The test's answer for call a: 0, or errno set and -1.
int refus(appel a)
{
    if (!appels::tenir || dans_un_crochet)
        return 0;
    const int erreur = sous_crochet(appels::tenir, a);
    errno = erreur;
    return erreur == 0 ? 0 : -1;
}

template <typename F>
F suivante(const char* nom)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, nom));
}

} // namespace

extern "C" int stat(const char* nom, struct stat* etat) noexcept
{
    if (std::strcmp(nom, "alea.seq") == 0 && refus(appel::etat_du_nom) != 0)
        return -1;
    return fstatat(AT_FDCWD, nom, etat, 0);
}

extern "C" int fstat(int fd, struct stat* etat) noexcept
{
    return refus(appel::etat_du_fichier) != 0 ? -1 : fstatat(fd, "", etat, AT_EMPTY_PATH);
}

extern "C" int ftruncate(int fd, off_t taille) noexcept
{
    // (The C library's name for it where off_t is wider than long.)
    static const auto vraie = suivante<int (*)(int, off_t)>(sizeof(off_t) > sizeof(long) ? "ftruncate64" : "ftruncate");
    return refus(appel::vidage) != 0 ? -1 : vraie(fd, taille);
}

extern "C" int flock(int fd, int operation) noexcept
{
    static const auto vraie = suivante<int (*)(int, int)>("flock");
    return operation == LOCK_EX && refus(appel::verrou) != 0 ? -1 : vraie(fd, operation);
}

extern "C" ssize_t write(int fd, const void* octets, std::size_t nombre)
{
    static const auto vraie = suivante<ssize_t (*)(int, const void*, std::size_t)>("write");
    if (appels::ecrire && !dans_un_crochet) {
        const ssize_t permis = sous_crochet(appels::ecrire, nombre);
        if (permis <= 0)
            return permis;
        nombre = static_cast<std::size_t>(permis);
    }
    return vraie(fd, octets, nombre);
}

// Hidden, not exported: looked up by name, "rand" is still the C library's,
// as in the tool, so the writer checks its replica against these values.
extern "C" __attribute__((visibility("hidden"))) int rand() noexcept
{
    static const auto vraie = suivante<int (*)()>("rand");
    const int valeur = vraie();
    return appels::tirer && !dans_un_crochet ? sous_crochet(appels::tirer, valeur) : valeur;
}
