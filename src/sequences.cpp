// SPDX-License-Identifier: MIT
#include "sequences.hpp"

#include "choix_source.hpp"
#include "ecrivain.hpp"
#include "entetes.hpp"
#include "noyaux.hpp"
#include "unites.hpp"

#include <algorithm>
#include <cassert>
#include <cerrno>

#include <unistd.h>

// (__builtin_memcpy for copies of a known size: with _FORTIFY_SOURCE, Clang
// makes std::memcpy a call of the C library's checked copy.)
namespace {

struct sortie {
    int fd;
    char* bloc;
    char* ici;  // the next byte to write; one before bloc at the start
};

// Writes the bytes whole, however the kernel splits them or a signal
// interrupts it. False, with errno set, when a write fails.
bool envoyer(int fd, const char* donnees, std::size_t octets)
{
    while (octets > 0) {
        const ssize_t ecrits = write(fd, donnees, octets);
        if (ecrits < 0 && errno == EINTR)
            continue;
        if (ecrits <= 0) {
            if (ecrits == 0)
                errno = EIO;
            return false;
        }
        donnees += ecrits;
        octets -= static_cast<std::size_t>(ecrits);
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
    assert(reste <= marge);
    __builtin_memcpy(s.bloc, s.bloc + taille_bloc, reste);
    s.ici = s.bloc + reste;
    return true;
}

// Records of at most this many letters take them in one copy of as many;
// longer ones by copier_run.
constexpr std::size_t lettres_en_une_copie = 16;
static_assert(lettres_en_une_copie + 1 >= run_le_plus_court, "the longer runs as copier_run takes them");

// How the records of a file take their letters.
enum class facon {
    sans_lettres,  // none
    par_seize,     // up to 16, copied as 16 from the letters the source gives
    en_place,      // up to lettres_courtes, put in place by the source
};

// Every record, when each has at most lettres_courtes letters: a dizaine at
// a time, from one check of the room in the block, each its header stored
// whole, then its letters. False when a write failed. Out of line: each
// way of writing records has its loop's registers to itself.
template <facon f, typename S>
[[gnu::noinline]] bool ecrire_courts(sortie& s, S& source, std::uint32_t nb_seq, std::size_t lettres_seq)
{
    entetes h{};
    refaire_entetes(h, 0);
    char* ici = s.ici;
    for (std::uint32_t i = 0; i < nb_seq; i += records_par_dizaine) {
        const auto records = static_cast<unsigned>(std::min<std::uint32_t>(records_par_dizaine, nb_seq - i));
        if (ici >= s.bloc + taille_bloc) {
            s.ici = ici;
            if (!envoyer_si_plein(s))
                return false;
            ici = s.ici;
        }
        const char* depuis = nullptr;
        if constexpr (f == facon::par_seize)
            depuis = lettres_suivantes(source, records * lettres_seq);
        char* const debut_de_la_dizaine = ici;
        // In locals: h's address is given away, and every byte stored could
        // then be in it.
        entete e = h.e;
        const entete un = h.un;
        const std::size_t longueur = h.longueur;
        for (unsigned j = 0; j < records; ++j) {
            __builtin_memcpy(ici, &e, sizeof e);
            // The bytes copied past the letters, the next header overwrites.
            if constexpr (f == facon::par_seize)
                __builtin_memcpy(ici + longueur, depuis + j * lettres_seq, lettres_en_une_copie);
            e += un;
            ici += longueur + lettres_seq;
        }
        // After the dizaine's headers: each run of letters overwrites what the
        // header before it wrote past its end.
        if constexpr (f == facon::en_place)
            placer_lettres(source, debut_de_la_dizaine + longueur, longueur + lettres_seq, lettres_seq, records);
        dizaine_suivante(h);
    }
    s.ici = ici;
    return true;
}

// Records of more than lettres_courtes letters, each letter run asked up to
// au_dela_du_bloc bytes past the block. False when a write failed.
template <typename S>
bool ecrire_longs(sortie& s, S& source, std::uint32_t nb_seq, std::size_t lettres_seq)
{
    entetes h{};
    refaire_entetes(h, 0);
    for (std::uint32_t i = 0; i < nb_seq; i += records_par_dizaine) {
        entete e = h.e;
        const entete un = h.un;
        for (std::uint32_t j = i; j < std::min<std::uint32_t>(i + records_par_dizaine, nb_seq); ++j, e += un) {
            if (!envoyer_si_plein(s))
                return false;
            __builtin_memcpy(s.ici, &e, sizeof e);
            s.ici += h.longueur;
            for (std::size_t reste = lettres_seq; reste > 0;) {
                if (!envoyer_si_plein(s))
                    return false;
                const auto place = static_cast<std::size_t>(s.bloc + taille_bloc + au_dela_du_bloc - s.ici);
                const std::size_t nombre_lettres = std::min(reste, place);
                placer_lettres(source, s.ici, 0, nombre_lettres, 1);
                s.ici += nombre_lettres;
                reste -= nombre_lettres;
            }
        }
        dizaine_suivante(h);
    }
    return true;
}

// Every record, with the source's letters. False when a write failed.
template <typename S>
bool ecrire_avec(sortie& s, S& source, std::uint32_t nb_seq, std::size_t lettres_seq)
{
    if (lettres_seq == 0)
        return ecrire_courts<facon::sans_lettres>(s, source, nb_seq, lettres_seq);
    if (lettres_seq <= lettres_en_une_copie)
        return ecrire_courts<facon::par_seize>(s, source, nb_seq, lettres_seq);
    if (lettres_seq <= lettres_courtes)
        return ecrire_courts<facon::en_place>(s, source, nb_seq, lettres_seq);
    return ecrire_longs(s, source, nb_seq, lettres_seq);
}

} // namespace

std::size_t taille_memoire()
{
    return octets_memoire;
}

bool ecrire_sequences(int fd, std::int32_t taille_seq, std::int32_t nb_seq, std::uint32_t graine,
                      void* memoire, std::size_t rang_noyau)
{
    if (!noyau_disponible(rang_noyau)) {
        errno = EINVAL;
        return false;
    }
    if (nb_seq <= 0)
        return true;
    const auto lettres_seq = static_cast<std::size_t>(std::max(taille_seq, 0));
    memoire_sequences& m = memoire_dans(memoire);
    char* const bloc = bloc_de(m);
    sortie s{fd, bloc, bloc - 1};
    const auto n = static_cast<std::uint32_t>(nb_seq);
    const auto nombre_lettres = static_cast<std::int64_t>(lettres_seq) * nb_seq;

    const bool ecrit = selon_noyau(rang_noyau, [&](auto k) {
        return avec_source<decltype(k)>(m.source, graine, nombre_lettres, chercher_rand(),
                                        [&](auto& source) { return ecrire_avec(s, source, n, lettres_seq); });
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
