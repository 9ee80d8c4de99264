// SPDX-License-Identifier: MIT
// The writer, driven in-process on memory and device streams.
#include "interne.hpp"
#include "outils.hpp"
#include "sequences.hpp"
#include "source_lettres.hpp"
#include "vecteurs.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// srand(graine), then the writer, told the seed graine_annoncee, with
// vectors of largeur bytes, or 0 for the writer's own choice.
std::string ecrire_en_memoire(unsigned graine, std::int32_t taille_seq, std::int32_t nb_seq,
                              unsigned graine_annoncee, std::size_t largeur = 0)
{
    std::srand(graine);
    const int fd = memfd_create("alea.seq", MFD_CLOEXEC);
    EXPECT_GE(fd, 0);
    // At an odd address: the writer aligns its buffers within what it asked
    // for (AddressSanitizer sees any byte it uses past that).
    std::vector<unsigned char> memoire(taille_memoire() + 1);
    EXPECT_TRUE(ecrire_sequences(fd, taille_seq, nb_seq, graine_annoncee, memoire.data() + 1,
                                 largeur == 0 ? largeur_maximale() : largeur));
    std::string texte(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(pread(fd, texte.data(), texte.size(), 0), static_cast<ssize_t>(texte.size()));
    EXPECT_EQ(fermer_sequences(fd, true), 0);
    return texte;
}

std::string ecrire_en_memoire(unsigned graine, std::int32_t taille_seq, std::int32_t nb_seq)
{
    return ecrire_en_memoire(graine, taille_seq, nb_seq, graine);
}

// The value rand would give next if nothing had drawn since srand(graine).
int premier_tirage(unsigned graine)
{
    std::srand(graine);
    return std::rand();
}

// Files are megabytes: on a failure, say where they part instead of
// printing both.
testing::AssertionResult memes_fichiers(const std::string& obtenu, const std::string& attendu)
{
    if (obtenu == attendu)
        return testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < obtenu.size() && i < attendu.size() && obtenu[i] == attendu[i])
        ++i;
    return testing::AssertionFailure()
           << "sizes " << obtenu.size() << " and " << attendu.size() << ", first difference at byte "
           << i << ": got \"" << obtenu.substr(i > 20 ? i - 20 : 0, 40) << "\", expected \""
           << attendu.substr(i > 20 ? i - 20 : 0, 40) << "\"";
}

} // namespace

TEST(Ecriture, LettresEtEntetesSuiventLeGenerateurDansLOrdreDuFichier)
{
    // 12 records cross from Seq9 to Seq10; 1000 letters stay on one line.
    for (auto [taille_seq, nb_seq] : {std::pair{4, 3}, {1, 12}, {57, 25}, {1000, 2}})
        EXPECT_TRUE(memes_fichiers(ecrire_en_memoire(20261208, taille_seq, nb_seq),
                                   fichier_attendu(20261208, taille_seq, nb_seq)))
            << taille_seq << " x " << nb_seq;
    EXPECT_EQ(ecrire_en_memoire(1, 4, 3).size(), 33u);
}

TEST(Ecriture, ChaqueLimiteDeBlocFranchieDonneLeMemeFichier)
{
    // Where the file changes hands: after the letters checked against rand,
    // after the replica's single steps, at every step of values, and where
    // a block of output ends inside a header (- 10), right after a line
    // (- 7), before a line feed (- 6) or inside letters. Records of each
    // length that changes how they are written (none, one copy, ten at a
    // time in vectors of 16, 32 or 64, one by one), on both sides of it.
    constexpr auto verifiees = static_cast<std::int32_t>(lettres_verifiees);
    constexpr auto bloc = static_cast<std::int32_t>(taille_tampon);
    constexpr auto lot = static_cast<std::int32_t>(taille_lot);
    constexpr auto courtes = static_cast<std::int32_t>(lettres_courtes);
    // Where the replica's values one at a time end, for bytes and for planes.
    constexpr auto fin_pas_a_pas = static_cast<std::int32_t>(lettres_verifiees + debut_octets);
    constexpr auto fin_plans =
        static_cast<std::int32_t>(lettres_verifiees + debut_des_pas(largeur_plans));
    const std::pair<std::int32_t, std::int32_t> formes[] = {
        {1, 200},           {verifiees - 1, 1},    {verifiees - 1, 2},   {verifiees, 1},
        {verifiees + 1, 1}, {fin_pas_a_pas - 1, 1}, {fin_pas_a_pas, 1},  {fin_pas_a_pas + 1, 3},
        {fin_plans - 1, 1}, {fin_plans, 1},        {fin_plans + 1, 3},
        {bloc - 10, 3},     {bloc - 7, 3},         {bloc - 6, 3},        {bloc - 1, 2},
        {bloc, 2},          {bloc + 1, 2},         {3, 120000},          {100, 50000},
        {16, 70000},        {17, 60000},           {31, 40000},          {32, 40000},
        {33, 40000},        {63, 20000},           {64, 20000},          {65, 20000},
        {courtes, 5000},    {courtes + 1, 5000},   {lot - 1, 150},       {lot + 1, 150},
        // Ten records at a time, up to where their headers change width.
        {2, 100001},        {9, 999},              {15, 10001},
        {20'000'000, 1},
    };
    unsigned graine = 1765200000;
    for (auto [taille_seq, nb_seq] : formes) {
        ++graine;
        const std::string attendu = fichier_attendu(graine, taille_seq, nb_seq);
        // Every vector width, whether this processor holds it or not.
        for (std::size_t largeur = 16; largeur <= 64; largeur *= 2)
            EXPECT_TRUE(memes_fichiers(ecrire_en_memoire(graine, taille_seq, nb_seq, graine, largeur),
                                       attendu))
                << taille_seq << " x " << nb_seq << ", width " << largeur;
    }
}

TEST(Ecriture, UnRandQueLaRepliqueNeSuitPasDonneSesPropresLettres)
{
    // The writer is told another seed than rand's: its replica disagrees from
    // the first value, so every letter must come from rand.
    for (auto [taille_seq, nb_seq] : {std::pair{1000, 300},
                                      {static_cast<int>(taille_tampon) + 5, 2},
                                      {10, 30000},
                                      {100, 3000}})
        EXPECT_TRUE(memes_fichiers(ecrire_en_memoire(4242, taille_seq, nb_seq, 4243),
                                   fichier_attendu(4242, taille_seq, nb_seq)))
            << taille_seq << " x " << nb_seq;
}

TEST(Ecriture, UneVerificationRateeSeRabatSurPlusEtroitPuisSurRand)
{
    if (!rand_de_glibc)
        GTEST_SKIP() << "this C library's rand is not the GNU one: the replica never takes over";
    // With the history of the widths in fautes wrong, the check refuses
    // them: the source takes the next narrower, at last rand, and its
    // letters are rand's all the same.
    struct cas {
        unsigned fautes;
        std::size_t largeur;
        bool par_rand;
    };
    constexpr std::int64_t nombre = 150000;
    const std::string attendu = fichier_attendu(77, static_cast<int>(nombre), 1).substr(6, nombre);
    std::vector<unsigned char> memoire(taille_memoire() + 64);
    auto* const alignee = memoire.data() + (64 - reinterpret_cast<std::uintptr_t>(memoire.data()) % 64);
    for (const cas c : {cas{0, 64, false}, cas{64, 32, false}, cas{64 | 32, 16, false},
                        cas{64 | 32 | 16, 16, true}}) {
        std::srand(77);
        source_lettres source = preparer_source(alignee, 77, nombre, 64, c.fautes);
        EXPECT_EQ(source.largeur, c.largeur) << "faults " << c.fautes;
        EXPECT_EQ(source.par_rand, c.par_rand) << "faults " << c.fautes;
        std::string lettres(nombre + debord_lettres, '\0');
        for (std::int64_t fait = 0; fait < nombre; fait += 1000)
            placer_lettres(source, lettres.data() + fait, 0, 1000, 1);
        EXPECT_TRUE(memes_fichiers(lettres.substr(0, nombre), attendu)) << "faults " << c.fautes;
    }
}

TEST(Ecriture, ComptesNulsOuNegatifsNeTirentAucuneLettre)
{
    for (std::int32_t taille_seq : {0, -1, INT32_MIN}) {
        EXPECT_EQ(ecrire_en_memoire(99, taille_seq, 3), ">Seq0\n\n>Seq1\n\n>Seq2\n\n");
        const int suivant = std::rand();
        EXPECT_EQ(suivant, premier_tirage(99)) << "rand was called";
    }
    for (std::int32_t nb_seq : {0, -5, INT32_MIN}) {
        EXPECT_EQ(ecrire_en_memoire(99, 10, nb_seq), "");
        const int suivant = std::rand();
        EXPECT_EQ(suivant, premier_tirage(99)) << "rand was called";
    }
    // Headers alone, through every width up to seven digits.
    EXPECT_TRUE(memes_fichiers(ecrire_en_memoire(99, 0, 1'000'001), fichier_attendu(99, 0, 1'000'001)));
}

TEST(Ecriture, LesGabaritsDEntetesVontJusquAuDernierNumero)
{
    // Ten records from each, to the last a 32-bit count can number.
    for (std::uint32_t dizaine : {0u, 1u, 9u, 10u, 99u, 100u, 12345678u, 99999999u, 100000000u,
                                  214748364u}) {
        const gabarit g = gabarit_de(dizaine);
        const std::string attendu = "\n>Seq" + (dizaine > 0 ? std::to_string(dizaine) : "") + "0\n";
        ASSERT_LE(attendu.size(), sizeof g.texte);
        EXPECT_EQ(std::string(g.texte, g.longueur), attendu);
    }
}

TEST(Ecriture, SArreteALaPremiereEcritureRatee)
{
    // About 4.6e18 letters: only stopping at the first failed write ends it,
    // which the child must do well before the deadline.
    const pid_t enfant = fork();
    if (enfant == 0) {
        const int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
        std::srand(5);
        std::vector<unsigned char> memoire(taille_memoire());
        const bool ecrit =
            ecrire_sequences(fd, INT32_MAX, INT32_MAX, 5, memoire.data(), largeur_maximale());
        const bool plein = errno == ENOSPC;
        _exit(fd >= 0 && !ecrit && plein && fermer_sequences(fd, ecrit) == 255 ? 0 : 1);
    }
    ASSERT_GT(enfant, 0);
    int etat = 0;
    for (int dixiemes = 0; dixiemes < 100 && waitpid(enfant, &etat, WNOHANG) == 0; ++dixiemes)
        usleep(100000);
    if (waitpid(enfant, &etat, WNOHANG) == 0) {
        kill(enfant, SIGKILL);
        waitpid(enfant, &etat, 0);
        FAIL() << "the writer went on after its writes failed";
    }
    EXPECT_TRUE(WIFEXITED(etat) && WEXITSTATUS(etat) == 0)
        << "the writer did not report the failed write, with its errno, as 255";
}

TEST(Ecriture, DemanderPlusDeLettresQueLeFichierNEnAArreteLeProcessus)
{
    // Drawn through rand, a file of 10 letters has no eleventh: a writer
    // asking for it is at fault, and must not spin.
    std::vector<unsigned char> memoire(taille_memoire() + 64);
    auto* const alignee = memoire.data() + (64 - reinterpret_cast<std::uintptr_t>(memoire.data()) % 64);
    EXPECT_DEATH(
        {
            source_lettres source = preparer_source(alignee, 7, 10, 64);
            lettres_suivantes(source, 11);
        },
        "");
}

TEST(Fermeture, DonneZeroSeulementQuandToutEstEcritEtFerme)
{
    EXPECT_EQ(fermer_sequences(memfd_create("alea.seq", MFD_CLOEXEC), true), 0);
    // A write that failed earlier, and a close that fails.
    EXPECT_EQ(fermer_sequences(memfd_create("alea.seq", MFD_CLOEXEC), false), 255);
    EXPECT_EQ(fermer_sequences(-1, true), 255);
}
