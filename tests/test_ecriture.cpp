// The writer, driven in-process on memory and device streams.
#include "outils.hpp"
#include "sequences.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

std::string ecrire_en_memoire(std::int32_t taille_seq, std::int32_t nb_seq)
{
    char* donnees = nullptr;
    std::size_t taille = 0;
    std::FILE* flux = open_memstream(&donnees, &taille);
    ecrire_sequences(flux, taille_seq, nb_seq);
    std::fclose(flux);
    std::string texte(donnees, taille);
    std::free(donnees);
    return texte;
}

// The value rand would give next if nothing had drawn since srand(graine).
int premier_tirage(unsigned graine)
{
    std::srand(graine);
    return std::rand();
}

} // namespace

TEST(Ecriture, LettresEtEntetesSuiventLeGenerateurDansLOrdreDuFichier)
{
    // 12 records cross from Seq9 to Seq10; 1000 letters stay on one line.
    for (auto [taille_seq, nb_seq] : {std::pair{4, 3}, {1, 12}, {57, 25}, {1000, 2}}) {
        std::srand(20261208);
        const std::string texte = ecrire_en_memoire(taille_seq, nb_seq);
        EXPECT_EQ(texte, fichier_attendu(20261208, taille_seq, nb_seq))
            << taille_seq << " x " << nb_seq;
    }
    std::srand(1);
    EXPECT_EQ(ecrire_en_memoire(4, 3).size(), 33u);
}

TEST(Ecriture, ComptesNulsOuNegatifsNeTirentAucuneLettre)
{
    for (std::int32_t taille_seq : {0, -1, INT32_MIN}) {
        std::srand(99);
        EXPECT_EQ(ecrire_en_memoire(taille_seq, 3), ">Seq0\n\n>Seq1\n\n>Seq2\n\n");
        const int suivant = std::rand();
        EXPECT_EQ(suivant, premier_tirage(99)) << "rand was called";
    }
    for (std::int32_t nb_seq : {0, -5, INT32_MIN}) {
        std::srand(99);
        EXPECT_EQ(ecrire_en_memoire(10, nb_seq), "");
        const int suivant = std::rand();
        EXPECT_EQ(suivant, premier_tirage(99)) << "rand was called";
    }
}

TEST(Fermeture, DonneZeroQuandToutEstEcrit)
{
    std::FILE* flux = std::tmpfile();
    ASSERT_NE(flux, nullptr);
    std::fputs(">Seq0\nACGT\n", flux);
    EXPECT_EQ(fermer_sequences(flux), 0);
}

TEST(Fermeture, Donne255QuandUneEcritureAEchoue)
{
    // Buffered: the data is lost when the close flushes it.
    std::FILE* flux = std::fopen("/dev/full", "w");
    ASSERT_NE(flux, nullptr);
    std::fputs(">Seq0\nACGT\n", flux);
    EXPECT_EQ(fermer_sequences(flux), 255);

    // Unbuffered: the data is lost at once and the close has nothing left
    // to fail on, so only the stream's error indicator tells.
    flux = std::fopen("/dev/full", "w");
    ASSERT_NE(flux, nullptr);
    std::setvbuf(flux, nullptr, _IONBF, 0);
    std::fputs(">Seq0\nACGT\n", flux);
    EXPECT_EQ(fermer_sequences(flux), 255);
}
