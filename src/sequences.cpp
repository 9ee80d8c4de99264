// SPDX-License-Identifier: MIT
#include "sequences.hpp"

#include "source_lettres.hpp"
#include "vecteurs.hpp"

#include <algorithm>
#include <cstring>

namespace {

// A batch of ten short records, or one long record's header and one step of
// its letters, starts before the end of the block and may run past it by at
// most this much; the bytes past go at the front of the next block.
constexpr std::size_t marge = 10 * (sizeof(gabarit::texte) + lettres_courtes) + 16 + 64;

static_assert(10 * lettres_courtes <= reste_maximal, "a batch's letters fit a refill");
static_assert(lecture_au_dela >= 64, "the few letters waiting are copied as 64");

// Room for the first record's line feed before the block, and alignment.
constexpr std::size_t avant_bloc = 64;

struct sortie {
    std::FILE* flux;
    char* bloc;
    char* ici;  // the next byte to write; one before bloc at the start
};

// Writes the full block when there is one. False when the stream has failed:
// the file is lost, no use going on.
bool envoyer_si_plein(sortie& s)
{
    if (s.ici < s.bloc + taille_tampon)
        return true;
    std::fwrite(s.bloc, 1, taille_tampon, s.flux);
    const auto reste = static_cast<std::size_t>(s.ici - (s.bloc + taille_tampon));
    std::memcpy(s.bloc, s.bloc + taille_tampon, reste);
    s.ici = s.bloc + reste;
    return std::ferror(s.flux) == 0;
}

// The header line of a record, in a register: 16 bytes, of which those
// past the gabarit's length are overwritten by what follows.
using entete = unsigned char __attribute__((vector_size(16)));

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
    unsigned unites;        // q's last digit
    unsigned dizaines;      // the one before, 0 when q < 10
};

[[gnu::noinline]] void refaire_entetes(entetes& h, std::uint32_t dizaine)
{
    const gabarit g = gabarit_de(dizaine);
    std::memcpy(&h.e, g.texte, sizeof h.e);
    h.longueur = g.longueur;
    un_a(h.un, g.longueur - 2);
    un_a(h.dix, g.longueur - 3);
    un_a(h.retenue, g.longueur - 4);
    h.retenue -= 9 * h.dix;
    h.dizaine = dizaine;
    h.unites = dizaine % 10;
    h.dizaines = dizaine / 10 % 10;
}

[[gnu::always_inline]] inline void dizaine_suivante(entetes& h)
{
    if (h.unites < 9 && h.dizaine > 0) {
        ++h.unites;
        h.e += h.dix;
    } else if (h.unites == 9 && h.dizaines < 9 && h.dizaine >= 10) {
        h.unites = 0;
        ++h.dizaines;
        h.e += h.retenue;
    } else {
        refaire_entetes(h, h.dizaine + 1);
        return;
    }
    ++h.dizaine;
}

// Every record, when each has at most lettres_courtes letters: ten at a
// time, from one check of the room in the block and of the letters waiting.
// The loop holds its state in registers. Each record is its header, stored
// whole, then its letters: with morceaux 0, none; with 1, up to 16 copied as
// 16, the bytes past them overwritten by the next record; with -1, those of
// the ten records made at once from the replica's values once it is in
// charge, copied from the letters waiting before. False when the stream has
// failed.
template <int morceaux>
bool ecrire_courts(sortie& s, source_lettres& source, std::uint32_t nb_seq, std::size_t lettres)
{
    entetes h{};
    refaire_entetes(h, 0);
    char* ici = s.ici;
    for (std::uint32_t i = 0; i < nb_seq; i += 10) {
        const unsigned nombre = std::min<std::uint32_t>(10, nb_seq - i);
        const std::size_t voulues = nombre * lettres;
        if (ici >= s.bloc + taille_tampon) {
            s.ici = ici;
            if (!envoyer_si_plein(s))
                return false;
            ici = s.ici;
        }
        const bool des_valeurs =
            morceaux == -1 && source.debut == source.fin && replique_en_charge(source);
        if (des_valeurs) {
            while (source.calculees - source.prises < voulues)
                calculer(source);
        } else {
            while (source.fin - source.debut < voulues)
                recharger(source, morceaux == -1 ? voulues : 0);
        }
        const char* depuis = source.lettres + source.debut;
        char* const premier = ici;
        entete e = h.e;
        const std::size_t longueur = h.longueur;
        for (unsigned j = 0; j < nombre; ++j) {
            std::memcpy(ici, &e, sizeof e);
            if (morceaux == 1)
                std::memcpy(ici + longueur, depuis, 16);
            else if (morceaux == -1 && !des_valeurs)
                std::memcpy(ici + longueur, depuis, lettres);
            depuis += lettres;
            e += h.un;
            ici += longueur + lettres;
        }
        // After the ten headers: each overwrites what the header before it
        // wrote past its end, and nothing past its own.
        if (des_valeurs) {
            etaler_lettres(premier + longueur, longueur + lettres, source.valeurs + source.prises,
                           lettres, nombre, source.largeur);
            source.prises += voulues;
        } else {
            source.debut += voulues;
        }
        dizaine_suivante(h);
    }
    s.ici = ici;
    return true;
}

// One long record's letters: those waiting as letters copied, then the
// replica's values made letters straight where they go. False when the
// stream has failed.
bool ecrire_lettres_longues(sortie& s, std::int64_t lettres, source_lettres& source)
{
    while (lettres > 0) {
        if (!envoyer_si_plein(s))
            return false;
        // Up to 128 bytes past the block, and a vector more.
        const auto place = static_cast<std::size_t>(s.bloc + taille_tampon + 128 - s.ici);
        const auto voulu = static_cast<std::size_t>(std::min<std::int64_t>(lettres, taille_lot));
        std::size_t fait;
        if (source.debut == source.fin && replique_en_charge(source)) {
            if (source.prises == source.calculees)
                calculer(source);
            fait = std::min({voulu, source.calculees - source.prises, place});
            en_lettres(source.valeurs + source.prises, s.ici, fait, source.largeur);
            source.prises += fait;
        } else {
            if (source.debut == source.fin)
                recharger(source);
            fait = std::min({voulu, source.fin - source.debut, place});
            // Mostly the few checked against rand; a copy of unknown size
            // this small costs more than the letters. The bytes copied past
            // them are overwritten next.
            if (fait <= 64)
                std::memcpy(s.ici, source.lettres + source.debut, 64);
            else
                std::memcpy(s.ici, source.lettres + source.debut, fait);
            source.debut += fait;
        }
        s.ici += fait;
        lettres -= static_cast<std::int64_t>(fait);
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
    std::memcpy(g.texte, "\n>Seq", 5);
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

void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq,
                      std::uint32_t graine, void* memoire, std::size_t largeur)
{
    if (nb_seq <= 0)
        return;
    const std::size_t lettres = taille_seq > 0 ? static_cast<std::size_t>(taille_seq) : 0;
    auto* const base = static_cast<unsigned char*>(memoire);
    auto* const alignee = base + (64 - reinterpret_cast<std::uintptr_t>(base) % 64) % 64;
    source_lettres source = preparer_source(alignee, graine,
                                            static_cast<std::int64_t>(lettres) * nb_seq, largeur);
    char* const bloc = reinterpret_cast<char*>(alignee + taille_memoire_source() + avant_bloc);
    sortie s{flux, bloc, bloc - 1};

    const auto nombre_seq = static_cast<std::uint32_t>(nb_seq);
    if (lettres == 0) {
        if (!ecrire_courts<0>(s, source, nombre_seq, lettres))
            return;
    } else if (lettres <= 16) {
        if (!ecrire_courts<1>(s, source, nombre_seq, lettres))
            return;
    } else if (lettres <= lettres_courtes) {
        if (!ecrire_courts<-1>(s, source, nombre_seq, lettres))
            return;
    } else {
        entetes h{};
        refaire_entetes(h, 0);
        for (std::uint32_t i = 0; i < nombre_seq; i += 10) {
            entete e = h.e;
            for (std::uint32_t j = i; j < std::min(i + 10, nombre_seq); ++j, e += h.un) {
                if (!envoyer_si_plein(s))
                    return;
                std::memcpy(s.ici, &e, sizeof e);
                s.ici += h.longueur;
                if (!ecrire_lettres_longues(s, static_cast<std::int64_t>(lettres), source))
                    return;
            }
            dizaine_suivante(h);
        }
    }
    *s.ici++ = '\n';
    if (!envoyer_si_plein(s))
        return;
    std::fwrite(s.bloc, 1, static_cast<std::size_t>(s.ici - s.bloc), flux);
}

int fermer_sequences(std::FILE* flux)
{
    // The close alone can succeed after an earlier buffered write was lost
    // (disk full, file size limit, I/O error): the error indicator remembers it.
    const bool erreur = std::ferror(flux) != 0;
    const bool fermeture_ratee = std::fclose(flux) != 0;
    return erreur || fermeture_ratee ? 255 : 0;
}
