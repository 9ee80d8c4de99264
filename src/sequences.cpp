// SPDX-License-Identifier: MIT
#include "sequences.hpp"

#include "disposition.hpp"
#include "entetes.hpp"
#include "noyaux.hpp"
#include "source_lettres.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

// (__builtin_memcpy, not std::memcpy, for copies of a known size on the
// writer's paths: with _FORTIFY_SOURCE, Clang makes the latter a call of
// the C library's checked copy.)
namespace {

using disposition::taille_bloc;

struct sortie {
    int fd;
    char* bloc;
    char* ici;  // the next byte to write; one before bloc at the start
};

// Writes the bytes whole, however the kernel splits them or a signal
// interrupts it. False, with errno set, when a write fails.
bool envoyer(int fd, const char* octets, std::size_t nombre)
{
    while (nombre > 0) {
        const ssize_t ecrits = write(fd, octets, nombre);
        if (ecrits < 0 && errno == EINTR)
            continue;
        if (ecrits <= 0) {
            if (ecrits == 0)
                errno = EIO;
            return false;
        }
        octets += ecrits;
        nombre -= static_cast<std::size_t>(ecrits);
    }
    return true;
}

// Writes the full block when there is one, and moves what ran past it to
// the front. False when the write failed: the file is lost, no use going on.
bool envoyer_si_plein(sortie& s)
{
    if (s.ici < s.bloc + taille_bloc)
        return true;
    if (!envoyer(s.fd, s.bloc, taille_bloc))
        return false;
    const auto reste = static_cast<std::size_t>(s.ici - (s.bloc + taille_bloc));
    __builtin_memcpy(s.bloc, s.bloc + taille_bloc, reste);
    s.ici = s.bloc + reste;
    return true;
}

// Records of at most this many letters take them in one copy of as many;
// longer runs are copied in vectors of 16 bytes or more (copier_suite).
constexpr std::size_t lettres_en_une_copie = 16;
static_assert(lettres_en_une_copie + 1 >= 16, "runs of at least a vector");

// How the records of a file take their letters.
enum class facon {
    sans_lettres,  // none
    par_seize,     // up to 16, copied as 16 from the letters the source gives
    en_place,      // up to lettres_courtes, put in place by the source
};

// Every record, from record premier on, when each has at most
// lettres_courtes letters: ten at a time, from one check of the room in the
// block. The loop holds its state in registers. Each record is its header,
// stored whole, then its letters. False when a write failed. Out of line:
// each way of writing records has its loop's registers to itself.
template <facon f, typename K>
[[gnu::noinline]] bool ecrire_courts(sortie& s, source_lettres& source, std::uint32_t premier,
                                     std::uint32_t nb_seq, std::size_t taille)
{
    entetes h{};
    refaire_entetes(h, premier / 10);
    char* ici = s.ici;
    for (std::uint32_t i = premier; i < nb_seq; i += 10) {
        const unsigned nombre = std::min<std::uint32_t>(10, nb_seq - i);
        if (ici >= s.bloc + taille_bloc) {
            s.ici = ici;
            if (!envoyer_si_plein(s))
                return false;
            ici = s.ici;
        }
        const char* depuis = nullptr;
        if constexpr (f == facon::par_seize)
            depuis = lettres_suivantes<K>(source, nombre * taille);
        char* const dix = ici;
        // In locals: h's address is given away, and every byte stored could
        // then be in it.
        entete e = h.e;
        const entete un = h.un;
        const std::size_t longueur = h.longueur;
        for (unsigned j = 0; j < nombre; ++j) {
            __builtin_memcpy(ici, &e, sizeof e);
            // The bytes copied past the letters, the next header overwrites.
            if constexpr (f == facon::par_seize)
                __builtin_memcpy(ici + longueur, depuis + j * taille, lettres_en_une_copie);
            e += un;
            ici += longueur + taille;
        }
        // After the ten headers: each run of letters overwrites what the
        // header before it wrote past its end.
        if constexpr (f == facon::en_place)
            placer_lettres<K>(source, dix + longueur, longueur + taille, taille, nombre);
        dizaine_suivante(h);
    }
    s.ici = ici;
    return true;
}

// Records of more than lettres_courtes letters, each letter run asked up to
// au_dela_du_bloc bytes past the block. False when a write failed.
template <typename K>
bool ecrire_longs(sortie& s, source_lettres& source, std::uint32_t nb_seq, std::size_t taille)
{
    entetes h{};
    refaire_entetes(h, 0);
    for (std::uint32_t i = 0; i < nb_seq; i += 10) {
        entete e = h.e;
        const entete un = h.un;
        for (std::uint32_t j = i; j < std::min(i + 10, nb_seq); ++j, e += un) {
            if (!envoyer_si_plein(s))
                return false;
            __builtin_memcpy(s.ici, &e, sizeof e);
            s.ici += h.longueur;
            for (std::size_t reste = taille; reste > 0;) {
                if (!envoyer_si_plein(s))
                    return false;
                const auto place = static_cast<std::size_t>(s.bloc + taille_bloc +
                                                            disposition::au_dela_du_bloc - s.ici);
                const std::size_t nombre = std::min(reste, place);
                placer_lettres<K>(source, s.ici, 0, nombre, 1);
                s.ici += nombre;
                reste -= nombre;
            }
        }
        dizaine_suivante(h);
    }
    return true;
}

// Every record, with kernel K's letters (or rand's, through its source).
// False when a write failed.
template <typename K>
bool ecrire_avec(sortie& s, source_lettres& source, std::uint32_t nb_seq, std::size_t taille)
{
    const std::uint32_t premier = 0;
    if (taille == 0)
        return ecrire_courts<facon::sans_lettres, K>(s, source, premier, nb_seq, taille);
    if (taille <= lettres_en_une_copie)
        return ecrire_courts<facon::par_seize, K>(s, source, premier, nb_seq, taille);
    if (taille <= disposition::lettres_courtes)
        return ecrire_courts<facon::en_place, K>(s, source, premier, nb_seq, taille);
    return ecrire_longs<K>(s, source, nb_seq, taille);
}

} // namespace

std::size_t taille_memoire()
{
    return disposition::taille;
}

std::size_t nombre_de_noyaux()
{
    return nombre_noyaux;
}

const char* nom_du_noyau(std::size_t rang)
{
    const char* nom = nullptr;
    selon_noyau(rang, [&](auto noyau) {
        nom = decltype(noyau)::nom;
        return true;
    });
    return nom;
}

bool noyau_disponible(std::size_t rang)
{
    return selon_noyau(rang, [](auto noyau) { return decltype(noyau)::disponible(); });
}

std::size_t noyau_nomme(const char* nom)
{
    std::size_t rang = 0;
    while (rang < nombre_noyaux && std::strcmp(nom_du_noyau(rang), nom) != 0)
        ++rang;
    return rang;
}

std::size_t noyau_du_processeur()
{
    // The last runs on any.
    std::size_t rang = 0;
    while (rang + 1 < nombre_noyaux && !noyau_disponible(rang))
        ++rang;
    return rang;
}

bool ecrire_sequences(int fd, std::int32_t taille_seq, std::int32_t nb_seq, std::uint32_t graine,
                      void* memoire, std::size_t noyau)
{
    if (!noyau_disponible(noyau)) {
        errno = EINVAL;
        return false;
    }
    if (nb_seq <= 0)
        return true;
    const std::size_t taille = taille_seq > 0 ? static_cast<std::size_t>(taille_seq) : 0;
    auto* const base = static_cast<unsigned char*>(memoire);
    const std::size_t decalage = reinterpret_cast<std::uintptr_t>(base) % disposition::alignement;
    auto* const alignee = base + (disposition::alignement - decalage) % disposition::alignement;
    char* const bloc = reinterpret_cast<char*>(alignee + disposition::bloc);
    sortie s{fd, bloc, bloc - 1};
    const auto n = static_cast<std::uint32_t>(nb_seq);
    const auto lettres = static_cast<std::int64_t>(taille) * nb_seq;

    const bool ecrit = selon_noyau(noyau, [&](auto k) {
        using K = decltype(k);
        source_lettres source = preparer_source<K, noyau_de_repli>(alignee, graine, lettres);
        if (source.par == calcul::repli)
            return ecrire_avec<noyau_de_repli>(s, source, n, taille);
        return ecrire_avec<K>(s, source, n, taille);
    });
    if (!ecrit)
        return false;
    *s.ici++ = '\n';
    return envoyer_si_plein(s) && envoyer(fd, s.bloc, static_cast<std::size_t>(s.ici - s.bloc));
}

int fermer_sequences(int fd, bool ecrit)
{
    // The close can report a write lost after it was accepted (on a network
    // file system); a failed write earlier is not cured by a close that works.
    const bool ferme = close(fd) == 0;
    return ecrit && ferme ? 0 : statut_echec;
}
