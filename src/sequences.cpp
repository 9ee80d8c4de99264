#include "sequences.hpp"

#include "replique.hpp"
#include "vecteurs.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

char tirer_base(int& tirage)
{
    tirage = std::rand();
    return bases[tirage & 3];
}

char tirer_base()
{
    int tirage;
    return tirer_base(tirage);
}

namespace {

// Where the letters of the file come from, in file order.
struct source_lettres {
    std::int64_t a_verifier;  // letters still drawn through rand beside the replica
    bool par_rand;            // every letter left comes from rand
    replique_rand replique;
    // The replica's values modulo 8: the retard_maximal values the next step
    // needs, then the latest step's taille_lot values, then room for the
    // letters made a vector at a time past the last one. The correction
    // terms the same way, beside them. Both aligned on the widest vector.
    std::vector<std::uint8_t> memoire;
    std::uint8_t* valeurs;
    std::uint8_t* correctifs;
    std::size_t curseur;  // next value to turn into a letter
    std::size_t fin;
    std::size_t largeur;  // of the vectors the values are computed with
};

source_lettres preparer_source(std::uint32_t graine, std::int64_t nombre_lettres,
                               std::size_t largeur)
{
    source_lettres source{};
    source.largeur = largeur;
    source.a_verifier = lettres_verifiees;
    source.par_rand = nombre_lettres < static_cast<std::int64_t>(lettres_verifiees);
    if (!source.par_rand)
        source.replique = semer_replique(graine);
    return source;
}

// The most letters made past those asked for.
constexpr std::size_t debordement = largeur_la_plus_grande;

// Once the replica has proved itself: its next retard_maximal values come
// from the replica stepped one at a time, and start the history that the
// steps of taille_lot values need.
void passer_a_la_replique(source_lettres& source)
{
    constexpr std::size_t taille = retard_maximal + taille_lot + debordement;
    constexpr std::size_t alignement = largeur_la_plus_grande;
    source.memoire.assign(2 * taille + alignement, 0);
    const auto adresse = reinterpret_cast<std::uintptr_t>(source.memoire.data());
    source.valeurs = source.memoire.data() + (alignement - adresse % alignement) % alignement;
    source.correctifs = source.valeurs + taille;
    for (std::size_t i = 0; i < retard_maximal; ++i)
        source.valeurs[i] = avancer_replique(source.replique) & 7;
    amorcer_correctifs(source.valeurs, source.correctifs, source.largeur);
    source.curseur = 0;
    source.fin = retard_maximal;
}

void prolonger_source(source_lettres& source)
{
    const std::size_t debut = source.fin - retard_maximal;
    std::memmove(source.valeurs, source.valeurs + debut, retard_maximal);
    std::memmove(source.correctifs, source.correctifs + debut, retard_maximal);
    prolonger_valeurs(source.valeurs, source.correctifs, taille_lot, source.largeur);
    source.curseur = retard_maximal;
    source.fin = retard_maximal + taille_lot;
}

// The next nombre letters of the file. Up to debordement bytes past them may
// be overwritten: the caller's buffer has the room, and writes there next.
void remplir_lettres(source_lettres& source, char* lettres, std::size_t nombre)
{
    while (nombre > 0) {
        if (source.par_rand) {
            for (std::size_t i = 0; i < nombre; ++i)
                lettres[i] = tirer_base();
            return;
        }
        std::size_t fait;
        if (source.a_verifier > 0) {
            fait = std::min(nombre, static_cast<std::size_t>(source.a_verifier));
            for (std::size_t i = 0; i < fait; ++i) {
                int tirage;
                lettres[i] = tirer_base(tirage);
                if (tirage != tirer_replique(source.replique))
                    source.par_rand = true;
            }
            source.a_verifier -= static_cast<std::int64_t>(fait);
            if (source.a_verifier == 0 && !source.par_rand)
                passer_a_la_replique(source);
        } else {
            if (source.curseur == source.fin)
                prolonger_source(source);
            fait = std::min(nombre, source.fin - source.curseur);
            en_lettres(source.valeurs + source.curseur, lettres, fait, source.largeur);
            source.curseur += fait;
        }
        lettres += fait;
        nombre -= fait;
    }
}

// The header line of the current record, ">Seq<i>\n", counted up in decimal
// in place of a formatted write per record.
struct entete {
    char texte[16];  // the longest, ">Seq2147483647\n", takes 15
    std::size_t longueur;
};

entete premier_entete()
{
    entete e{};
    std::memcpy(e.texte, ">Seq0\n", 6);
    e.longueur = 6;
    return e;
}

void entete_suivant(entete& e)
{
    std::size_t p = e.longueur - 2;
    while (p >= 4 && e.texte[p] == '9')
        e.texte[p--] = '0';
    if (p >= 4) {
        ++e.texte[p];
    } else {
        // All nines: a 1 and one digit more.
        e.texte[4] = '1';
        e.texte[e.longueur - 1] = '0';
        e.texte[e.longueur++] = '\n';
    }
}

// The bytes not yet written. Full blocks of taille_tampon go out as soon as
// they are complete; the few bytes of a header that run past the block wait
// at the front for the next one (letters stop at the block's end).
struct sortie {
    std::FILE* flux;
    std::vector<char> tampon;
    std::size_t rempli;
};

// False when the stream has failed: the file is lost, no use going on.
bool envoyer_si_plein(sortie& s)
{
    if (s.rempli < taille_tampon)
        return true;
    std::fwrite(s.tampon.data(), 1, taille_tampon, s.flux);
    s.rempli -= taille_tampon;
    std::memcpy(s.tampon.data(), s.tampon.data() + taille_tampon, s.rempli);
    return std::ferror(s.flux) == 0;
}

} // namespace

void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq,
                      std::uint32_t graine)
{
    ecrire_sequences(flux, taille_seq, nb_seq, graine, largeur_maximale());
}

void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq,
                      std::uint32_t graine, std::size_t largeur)
{
    if (nb_seq <= 0)
        return;
    const std::int64_t lettres_par_seq = taille_seq > 0 ? taille_seq : 0;
    source_lettres source = preparer_source(graine, lettres_par_seq * nb_seq, largeur);
    entete e = premier_entete();
    // Room past the block for the letters made a vector at a time, and for
    // a whole header's 16 bytes.
    sortie s{flux, std::vector<char>(taille_tampon + debordement + sizeof e.texte), 0};

    for (std::int32_t i = 0; i < nb_seq; ++i) {
        // A fixed-size copy, the bytes past the header overwritten next.
        std::memcpy(s.tampon.data() + s.rempli, e.texte, sizeof e.texte);
        s.rempli += e.longueur;
        // The next header is made now, a whole record before it is read:
        // reading it right after its digits were stored one by one stalls.
        if (i + 1 < nb_seq)
            entete_suivant(e);
        if (!envoyer_si_plein(s))
            return;
        for (std::int64_t reste = lettres_par_seq; reste > 0;) {
            const auto fait = static_cast<std::size_t>(
                std::min<std::int64_t>(reste, static_cast<std::int64_t>(taille_tampon - s.rempli)));
            remplir_lettres(source, s.tampon.data() + s.rempli, fait);
            s.rempli += fait;
            reste -= static_cast<std::int64_t>(fait);
            if (!envoyer_si_plein(s))
                return;
        }
        s.tampon[s.rempli++] = '\n';
        if (!envoyer_si_plein(s))
            return;
    }
    std::fwrite(s.tampon.data(), 1, s.rempli, flux);
}

int fermer_sequences(std::FILE* flux)
{
    // The close alone can succeed after an earlier buffered write was lost
    // (disk full, file size limit, I/O error): the error indicator remembers it.
    const bool erreur = std::ferror(flux) != 0;
    const bool fermeture_ratee = std::fclose(flux) != 0;
    return erreur || fermeture_ratee ? 255 : 0;
}
