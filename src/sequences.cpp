#include "sequences.hpp"

#include "replique.hpp"

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
    // needs, then the latest step's taille_lot values.
    std::vector<std::uint8_t> valeurs;
    std::size_t curseur;  // next value to turn into a letter
    std::size_t fin;
};

source_lettres preparer_source(std::uint32_t graine, std::int64_t nombre_lettres)
{
    source_lettres source{};
    source.a_verifier = lettres_verifiees;
    source.par_rand = nombre_lettres < static_cast<std::int64_t>(lettres_verifiees);
    if (!source.par_rand)
        source.replique = semer_replique(graine);
    return source;
}

// Once the replica has proved itself: its next retard_maximal values come
// from the replica stepped one at a time, and start the history that the
// steps of taille_lot values need.
void passer_a_la_replique(source_lettres& source)
{
    source.valeurs.assign(retard_maximal + taille_lot, 0);
    for (std::size_t i = 0; i < retard_maximal; ++i)
        source.valeurs[i] = avancer_replique(source.replique) & 7;
    source.curseur = 0;
    source.fin = retard_maximal;
}

void prolonger_source(source_lettres& source)
{
    std::uint8_t* valeurs = source.valeurs.data();
    std::memmove(valeurs, valeurs + source.fin - retard_maximal, retard_maximal);
    prolonger_valeurs(valeurs, taille_lot);
    source.curseur = retard_maximal;
    source.fin = retard_maximal + taille_lot;
}

using octets = std::uint8_t __attribute__((vector_size(32)));

__attribute__((target_clones("avx2", "default")))
void en_lettres(const std::uint8_t* valeurs, char* lettres, std::size_t nombre)
{
    // Branch-free bases[(v >> 1) & 3]: with b1 and b2 bits 1 and 2 of v,
    // 'A' + 2 b1 gives A or C, and b2 adds 19 (T) or, with b1, 4 (G).
    std::size_t i = 0;
    for (; i + sizeof(octets) <= nombre; i += sizeof(octets)) {
        octets v;
        std::memcpy(&v, valeurs + i, sizeof v);
        const octets b1 = (v >> 1) & 1;
        const octets b2 = (v >> 2) & 1;
        const octets lettre = 'A' + (b1 + b1) + (-b2 & (19 - (-b1 & 15)));
        std::memcpy(lettres + i, &lettre, sizeof lettre);
    }
    for (; i < nombre; ++i)
        lettres[i] = bases[index_de_valeur(valeurs[i])];
}

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
            en_lettres(source.valeurs.data() + source.curseur, lettres, fait);
            source.curseur += fait;
        }
        lettres += fait;
        nombre -= fait;
    }
}

// The header line of the current record, ">Seq<i>\n", kept right-aligned in
// texte and counted up in decimal in place of a formatted write per record.
struct entete {
    char texte[20];
    unsigned debut;
};

entete premier_entete()
{
    entete e{};
    e.debut = sizeof e.texte - 6;
    std::memcpy(e.texte + e.debut, ">Seq0\n", 6);
    return e;
}

void entete_suivant(entete& e)
{
    unsigned p = sizeof e.texte - 2;
    while (p >= e.debut + 4 && e.texte[p] == '9')
        e.texte[p--] = '0';
    if (p >= e.debut + 4) {
        ++e.texte[p];
    } else {
        // All nines: one digit more, so the prefix moves left by one.
        --e.debut;
        std::memcpy(e.texte + e.debut, ">Seq", 4);
        e.texte[p] = '1';
    }
}

// The bytes not yet written. Full blocks of taille_tampon go out as soon as
// they are complete; the small overflow of a header or line feed past the
// block waits at the front for the next one.
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
    if (nb_seq <= 0)
        return;
    const std::int64_t lettres_par_seq = taille_seq > 0 ? taille_seq : 0;
    source_lettres source = preparer_source(graine, lettres_par_seq * nb_seq);
    entete e = premier_entete();
    // Room past the block for one header and a line feed.
    sortie s{flux, std::vector<char>(taille_tampon + sizeof e.texte + 1), 0};

    for (std::int32_t i = 0; i < nb_seq; ++i) {
        const std::size_t longueur = sizeof e.texte - e.debut;
        std::memcpy(s.tampon.data() + s.rempli, e.texte + e.debut, longueur);
        s.rempli += longueur;
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
        entete_suivant(e);
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
