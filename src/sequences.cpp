// SPDX-License-Identifier: MIT
#include "sequences.hpp"

#include "interne.hpp"
#include "source_lettres.hpp"
#include "vecteurs.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

// __builtin_memcpy, not std::memcpy: with _FORTIFY_SOURCE, Clang makes the
// latter a call of the C library's checked copy even where the size is
// known, which made a header's copy cost a call.
namespace {

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

// Writes the full block when there is one. False when the write failed: the
// file is lost, no use going on.
bool envoyer_si_plein(sortie& s)
{
    if (s.ici < s.bloc + taille_tampon)
        return true;
    if (!envoyer(s.fd, s.bloc, taille_tampon))
        return false;
    const auto reste = static_cast<std::size_t>(s.ici - (s.bloc + taille_tampon));
    __builtin_memcpy(s.bloc, s.bloc + taille_tampon, reste);
    s.ici = s.bloc + reste;
    return true;
}

// The header line of a record, in a register: 16 bytes, of which those
// past the gabarit's length are overwritten by what follows.
using entete = unsigned char __attribute__((vector_size(16)));

// Every write into the block starts before its end, and runs past it by at
// most marge bytes, which go to the front of the next block:
// - a header is stored whole, as a vector;
constexpr std::size_t entete_stocke = sizeof(entete);
// - ten short records, then what the source may write past the last one's
//   letters (the record's line feed, in the next header, overwrites it);
constexpr std::size_t dix_courts = 10 * (entete_stocke + lettres_courtes) + debord_lettres;
// - a long record's letters are asked up to au_dela_du_bloc past the end,
//   so that a run is not cut for a few bytes, and the source may write
//   debord_lettres past them.
constexpr std::size_t au_dela_du_bloc = 128;
constexpr std::size_t un_long = entete_stocke + au_dela_du_bloc + debord_lettres;
// (The file's last line feed goes where a next header would.)
constexpr std::size_t marge = std::max(dix_courts, un_long);
static_assert(entete_stocke + 16 <= dix_courts,
              "a record of up to 16 letters, its header and letters copied as 16 each, fits");
static_assert(10 * lettres_courtes <= lettres_d_un_coup, "ten short records' letters at once");
static_assert(au_dela_du_bloc + debord_lettres < taille_tampon, "the bytes past fit a block");

// Room for the first record's line feed before the block, and alignment.
constexpr std::size_t avant_bloc = 64;

// 1 at byte position, 0 elsewhere: added to a header, one more at that
// digit. (Given back through a reference: returned, a vector would change
// the calling convention on 32-bit x86 without SSE.)
void un_a(entete& un, std::size_t position)
{
    un = entete{};
    un[position] = 1;
}

// The headers of the current ten records, and how to go to the next ten in
// the register: one more at the last digit of q (dix), or, when that digit
// goes from 9 to 0, one more at the digit before (retenue). Made anew from
// gabarit_de every hundred q: bytes just stored one by one, then read as a
// whole, stall the processor.
struct entetes {
    entete e;        // record 10 q's
    entete un;       // from one record's to the next's
    entete dix;
    entete retenue;
    std::size_t longueur;  // with the line feed in front
    std::uint32_t dizaine;  // q
};

[[gnu::noinline]] void refaire_entetes(entetes& h, std::uint32_t dizaine)
{
    const gabarit g = gabarit_de(dizaine);
    __builtin_memcpy(&h.e, g.texte, sizeof h.e);
    h.longueur = g.longueur;
    un_a(h.un, g.longueur - 2);
    un_a(h.dix, g.longueur - 3);
    un_a(h.retenue, g.longueur - 4);
    h.retenue -= 9 * h.dix;
    h.dizaine = dizaine;
}

// Whether the headers of the ten records after q's are q's with one added
// at q's last digit, or with a carry into the digit before. Else they have
// one digit more than q's (q is 0 or 9), or a carry past q's last two.
bool suivante_par_addition(std::uint32_t q)
{
    return q % 10 != 9 ? q > 0 : q % 100 != 99 && q >= 10;
}

[[gnu::always_inline]] inline void dizaine_suivante(entetes& h)
{
    if (!suivante_par_addition(h.dizaine))
        return refaire_entetes(h, h.dizaine + 1);
    h.e += h.dizaine % 10 != 9 ? h.dix : h.retenue;
    ++h.dizaine;
}

// How the records of a file take their letters.
enum class facon {
    sans_lettres,  // none
    par_seize,     // up to 16, copied as 16 from the letters the source gives
    en_place,      // up to lettres_courtes, put in place by the source
};

// Every record, when each has at most lettres_courtes letters: ten at a
// time, from one check of the room in the block. The loop holds its state
// in registers. Each record is its header, stored whole, then its letters.
// False when the stream has failed.
// Out of line: each way of writing records has its loop's registers to itself.
template <facon f>
[[gnu::noinline]] bool ecrire_courts(sortie& s, source_lettres& source, std::uint32_t premier,
                                     std::uint32_t nb_seq, std::size_t taille)
{
    entetes h{};
    refaire_entetes(h, premier / 10);
    char* ici = s.ici;
    for (std::uint32_t i = premier; i < nb_seq; i += 10) {
        const unsigned nombre = std::min<std::uint32_t>(10, nb_seq - i);
        if (ici >= s.bloc + taille_tampon) {
            s.ici = ici;
            if (!envoyer_si_plein(s))
                return false;
            ici = s.ici;
        }
        const char* depuis = nullptr;
        if constexpr (f == facon::par_seize)
            depuis = lettres_suivantes(source, nombre * taille);
        char* const premier = ici;
        entete e = h.e;
        const std::size_t longueur = h.longueur;
        for (unsigned j = 0; j < nombre; ++j) {
            __builtin_memcpy(ici, &e, sizeof e);
            // The bytes copied past the letters, the next header overwrites.
            if constexpr (f == facon::par_seize)
                __builtin_memcpy(ici + longueur, depuis + j * taille, 16);
            e += h.un;
            ici += longueur + taille;
        }
        // After the ten headers: each run of letters overwrites what the
        // header before it wrote past its end.
        if constexpr (f == facon::en_place)
            placer_lettres(source, premier + longueur, longueur + taille, taille, nombre);
        dizaine_suivante(h);
    }
    s.ici = ici;
    return true;
}

// Ten records of at most 16 letters, as whole vectors, from ten q on.
void preparer_dizaine(dizaine_en_vecteurs& d, std::uint32_t dizaine, std::size_t taille)
{
    const gabarit g = gabarit_de(dizaine);
    std::memset(&d, 0, sizeof d);
    d.longueur = 10 * (g.longueur + taille);
    d.vecteurs = static_cast<unsigned>((d.longueur + 63) / 64);
    d.dizaine = dizaine;
    for (unsigned r = 0; r < 10; ++r) {
        const std::size_t debut = r * (g.longueur + taille);
        __builtin_memcpy(d.texte + debut, g.texte, g.longueur);
        d.texte[debut + g.longueur - 2] = static_cast<unsigned char>('0' + r);
        for (std::size_t k = debut + g.longueur; k < debut + g.longueur + taille; ++k)
            d.lettres[k / 64] |= std::uint64_t{1} << k % 64;
        if (dizaine > 0)
            d.dix[debut + g.longueur - 3] = 1;
        if (dizaine >= 10) {
            d.retenue[debut + g.longueur - 4] = 1;
            d.retenue[debut + g.longueur - 3] = static_cast<unsigned char>(-9);
        }
    }
}

// The whole tens of records of at most 16 letters as vectors, then the
// records left with the others. False when a write failed.
bool ecrire_par_dizaines(sortie& s, source_lettres& source, std::uint32_t nb_seq,
                         std::size_t taille)
{
    static_assert(10 * (sizeof(gabarit::texte) + 16) <= vecteurs_dizaine * 64 &&
                      vecteurs_dizaine * 64 <= marge,
                  "ten records in the vectors, and the vectors past the block's end in its margin");
    dizaine_en_vecteurs d;
    preparer_dizaine(d, 0, taille);
    const std::uint32_t dizaines = nb_seq / 10;
    while (d.dizaine < dizaines) {
        if (!envoyer_si_plein(s))
            return false;
        // As many tens as end at the next that needs its text made anew,
        // as the block has room to start, and as letters are given at once.
        const std::uint32_t q = d.dizaine;
        const std::uint32_t avant_de_refaire = q == 0 ? 1 : q < 10 ? 10 - q : 100 - q % 100;
        const auto place = static_cast<std::size_t>(s.bloc + taille_tampon - s.ici) / d.longueur + 1;
        const std::size_t par_lettres = taille > 0 ? lettres_d_un_coup / (10 * taille) : place;
        const auto nombre = static_cast<unsigned>(
            std::min<std::size_t>({dizaines - q, avant_de_refaire, place, par_lettres}));
        // (Without letters, none is read, but from memory that is there.)
        const char* const lettres = taille > 0 ? lettres_suivantes(source, 10 * taille * nombre)
                                               : reinterpret_cast<const char*>(d.texte);
        ecrire_dizaines(s.ici, lettres, nombre, d);
        s.ici += nombre * d.longueur;
        if (nombre == avant_de_refaire)
            preparer_dizaine(d, d.dizaine, taille);
    }
    if (!envoyer_si_plein(s))
        return false;
    if (taille == 0)
        return ecrire_courts<facon::sans_lettres>(s, source, 10 * dizaines, nb_seq, taille);
    return ecrire_courts<facon::par_seize>(s, source, 10 * dizaines, nb_seq, taille);
}

// Records of more than lettres_courtes letters, each letter run asked up to
// au_dela_du_bloc bytes past the block. False when the stream has failed.
bool ecrire_longs(sortie& s, source_lettres& source, std::uint32_t nb_seq, std::size_t taille)
{
    entetes h{};
    refaire_entetes(h, 0);
    for (std::uint32_t i = 0; i < nb_seq; i += 10) {
        entete e = h.e;
        for (std::uint32_t j = i; j < std::min(i + 10, nb_seq); ++j, e += h.un) {
            if (!envoyer_si_plein(s))
                return false;
            __builtin_memcpy(s.ici, &e, sizeof e);
            s.ici += h.longueur;
            for (std::size_t reste = taille; reste > 0;) {
                if (!envoyer_si_plein(s))
                    return false;
                const auto place =
                    static_cast<std::size_t>(s.bloc + taille_tampon + au_dela_du_bloc - s.ici);
                const std::size_t nombre = std::min(reste, place);
                placer_lettres(source, s.ici, 0, nombre, 1);
                s.ici += nombre;
                reste -= nombre;
            }
        }
        dizaine_suivante(h);
    }
    return true;
}

} // namespace

std::size_t taille_memoire()
{
    return 64 + taille_memoire_source() + avant_bloc + taille_tampon + marge;
}

gabarit gabarit_de(std::uint32_t dizaine)
{
    gabarit g{};
    __builtin_memcpy(g.texte, "\n>Seq", 5);
    std::size_t n = 5;
    if (dizaine > 0) {
        char chiffres[10];
        std::size_t k = 0;
        for (; dizaine > 0; dizaine /= 10)
            chiffres[k++] = static_cast<char>('0' + dizaine % 10);
        while (k > 0)
            g.texte[n++] = chiffres[--k];
    }
    g.texte[n++] = '0';
    g.texte[n++] = '\n';
    g.longueur = n;
    return g;
}

bool ecrire_sequences(int fd, std::int32_t taille_seq, std::int32_t nb_seq, std::uint32_t graine,
                      void* memoire, std::size_t largeur)
{
    if (nb_seq <= 0)
        return true;
    const std::size_t taille = taille_seq > 0 ? static_cast<std::size_t>(taille_seq) : 0;
    auto* const base = static_cast<unsigned char*>(memoire);
    auto* const alignee = base + (64 - reinterpret_cast<std::uintptr_t>(base) % 64) % 64;
    source_lettres source = preparer_source(alignee, graine,
                                            static_cast<std::int64_t>(taille) * nb_seq, largeur);
    char* const bloc = reinterpret_cast<char*>(alignee + taille_memoire_source() + avant_bloc);
    sortie s{fd, bloc, bloc - 1};

    const auto n = static_cast<std::uint32_t>(nb_seq);
    bool ecrit;
    if (taille <= 16 && largeur == largeur_plans && dizaines_vectorielles())
        ecrit = ecrire_par_dizaines(s, source, n, taille);
    else if (taille == 0)
        ecrit = ecrire_courts<facon::sans_lettres>(s, source, 0, n, taille);
    else if (taille <= 16)
        ecrit = ecrire_courts<facon::par_seize>(s, source, 0, n, taille);
    else if (taille <= lettres_courtes)
        ecrit = ecrire_courts<facon::en_place>(s, source, 0, n, taille);
    else
        ecrit = ecrire_longs(s, source, n, taille);
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
    return ecrit && ferme ? 0 : 255;
}
