// SPDX-License-Identifier: MIT
// Our replica of rand, against the C library's rand of this process.
#include "outils.hpp"
#include "replique.hpp"
#include "source_lettres.hpp"
#include "interne.hpp"
#include "vecteurs.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
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

TEST(Replique, LesVecteursSuiventLaRepliqueEtSontVerifies)
{
    // From the replica's history, two steps on vectors agree with it at
    // every width, whatever the seed; with one value of the history wrong,
    // they do not.
    std::vector<std::uint8_t> memoire(taille_memoire_source() + 64);
    std::uint8_t* const valeurs = memoire.data() + (64 - reinterpret_cast<std::uintptr_t>(memoire.data()) % 64);
    for (std::size_t largeur = 16; largeur <= 64; largeur *= 2) {
        for (std::uint32_t graine : {1u, 2147483648u, 1765200000u}) {
            for (const bool faute : {false, true}) {
                replique_rand replique = semer_replique(graine);
                const std::size_t debut = debut_des_pas(largeur);
                poser_valeurs(valeurs, debut, replique, largeur);
                // The last value's bit 2, in its byte or in its plane.
                if (faute && largeur == largeur_plans)
                    valeurs[2 * octets_plan + debut / 8 - 1] ^= 0x80;
                else if (faute)
                    valeurs[debut - 1] ^= 4;
                // The correction terms well past the values (of either kind).
                EXPECT_EQ(deux_pas_conformes(valeurs, valeurs + taille_memoire_source() / 2, replique,
                                             largeur),
                          !faute)
                    << "width " << largeur << ", seed " << graine << (faute ? ", one value wrong" : "");
            }
        }
    }
}

TEST(Replique, LesLettresDesPlansSontCellesDesValeurs)
{
    // Every way to make letters from bit planes, from any position, against
    // the replica's values one at a time.
    constexpr std::size_t nombre = 3 * valeurs_par_bloc;
    std::vector<std::uint8_t> plans(plans_par_bloc * octets_plan);
    replique_rand replique = semer_replique(1765200000u);
    replique_rand temoin = replique;
    poser_valeurs(plans.data(), nombre, replique, largeur_plans);
    std::string attendu;
    for (std::size_t i = 0; i < nombre; ++i)
        attendu += bases[avancer_replique(temoin) >> 1 & 3];
    for (const bool processeur : {true, false}) {
        for (std::size_t position : {0u, 1u, 63u, 64u, 511u, 700u}) {
            std::string lettres(nombre + 64, '\0');
            plans_en_lettres(plans.data(), position, lettres.data(), nombre - position - 64, processeur);
            EXPECT_EQ(lettres.substr(0, nombre - position - 64), attendu.substr(position, nombre - position - 64))
                << "from " << position << (processeur ? "" : ", baseline");
        }
    }
}
