// SPDX-License-Identifier: MIT
// Our replica of rand, against the C library's rand of this process.
#include "chaque_noyau.hpp"
#include "memoire_source.hpp"
#include "outils.hpp"
#include "plans.hpp"
#include "replique.hpp"
#include "verification_noyau.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The first k at which the replica and rand part, or -1.
long premier_ecart(std::uint32_t graine, long nombre)
{
    std::srand(graine);
    replique_rand replique = semer_replique(graine);
    for (long k = 0; k < nombre; ++k)
        if (std::rand() != tirer_replique(replique))
            return k;
    return -1;
}

} // namespace

TEST(Replique, DonneLesValeursDeRandPourToutesLesGraines)
{
    if (!rand_de_glibc)
        GTEST_SKIP() << "this C library's rand is not the GNU one: nothing to compare the replica with";
    // 0 is taken as 1; from 2^31 on the seed is a negative 32-bit value.
    for (std::uint32_t graine : {0u, 1u, 2147483647u, 2147483648u, 4294967295u, 1765200000u})
        EXPECT_EQ(premier_ecart(graine, 2'000'000), -1) << "seed " << graine;

    // Seeds spread over the whole 32-bit range, and clock seeds of today.
    for (std::uint32_t i = 0; i < 3000; ++i) {
        const std::uint32_t graine = i * 1431655u + 7u * (i >> 3);
        ASSERT_EQ(premier_ecart(graine, 1000), -1) << "seed " << graine;
        ASSERT_EQ(premier_ecart(1765000000u + 97u * i, 1000), -1) << "seed " << 1765000000u + 97u * i;
    }
}

TEST(Noyaux, ChacunSuitLaRepliqueDePartoutEtSaVerificationVoitUneFaute)
{
    // From the replica's history, each kernel's steps give the replica's
    // values, which its check sees, and a history with one value wrong is
    // refused. Its letters from any position, one run or many, are those of
    // the replica's values, and nothing is written past a run.
    const auto memoire = std::make_unique<memoire_source>();
    plans_de_bits& plans = memoire->plans;
    char* const brouillon = memoire->brouillon;
    pour_chaque_noyau([&](auto noyau) {
        using K = decltype(noyau);
        for (std::uint32_t graine : {1u, 2147483648u, 1765200000u}) {
            for (const bool faute : {false, true}) {
                replique_rand replique = semer_replique(graine);
                poser_valeurs(plans, debut_des_calculs, replique);
                // The last value's bit 2.
                if (faute)
                    plan(plans, 2)[debut_des_calculs / 64 - 1] ^= std::uint64_t{1} << 63;
                EXPECT_EQ(deux_prolongements_conformes<K>(plans, replique), !faute)
                    << "seed " << graine << (faute ? ", one value wrong" : "");
            }
        }
        // A step from a history, and the letters of all those values.
        replique_rand replique = semer_replique(1765200000u), une_a_une = replique;
        poser_valeurs(plans, debut_des_calculs, replique);
        std::string attendu;
        for (std::size_t i = 0; i < debut_des_calculs + valeurs_par_pas; ++i)
            attendu += "ACTG"[avancer_replique(une_a_une) >> 1 & 3];
        amorcer_correctifs(plans);
        K::prolonger(plans, valeurs_par_pas);
        const std::size_t dernier = debut_des_calculs + valeurs_par_pas - 64;
        for (std::size_t position : {std::size_t{0}, std::size_t{1}, std::size_t{63}, std::size_t{64},
                                     std::size_t{511}, debut_des_calculs - 1, debut_des_calculs + 700}) {
            std::string lettres(4096 + 64, '\0');
            const std::size_t nombre = std::min<std::size_t>(4096, dernier - position);
            K::en_lettres(plans, position, lettres.data(), nombre);
            EXPECT_EQ(lettres.substr(0, nombre), attendu.substr(position, nombre)) << "from " << position;
        }
        for (std::size_t longueur : {16u, 17u, 63u, 64u, 100u, 256u}) {
            const auto nombre = static_cast<unsigned>(std::min<std::size_t>(10, 4096 / longueur));
            const std::size_t espacement = longueur + 3, position = debut_des_calculs + 9;
            std::string runs(nombre * espacement, '-');
            K::etaler(plans, position, runs.data(), espacement, longueur, nombre, brouillon);
            std::string voulu;
            for (unsigned r = 0; r < nombre; ++r)
                voulu += attendu.substr(position + r * longueur, longueur) + "---";
            EXPECT_EQ(runs, voulu) << nombre << " runs of " << longueur;
        }
    });
}
