// SPDX-License-Identifier: MIT
// Our replica of rand, against the C library's rand of this process.
#include "outils.hpp"
#include "replique.hpp"
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

TEST(Replique, LaRecurrenceParLotsDonneLesValeursModuloHuit)
{
    // Driven as the writer drives it: history, one step, the history moved
    // to the front, the next step; with every vector width.
    constexpr std::size_t lot = 65536;
    for (std::size_t largeur = 16; largeur <= 64; largeur *= 2) {
        for (std::uint32_t graine : {1u, 2147483648u, 1765200000u}) {
            replique_rand replique = semer_replique(graine);
            std::vector<std::uint8_t> valeurs(retard_maximal + lot), correctifs(retard_maximal + lot);
            for (std::size_t i = 0; i < retard_maximal; ++i)
                valeurs[i] = avancer_replique(replique) & 7;
            amorcer_correctifs(valeurs.data(), correctifs.data(), largeur);
            for (int pas = 0; pas < 24; ++pas) {
                prolonger_valeurs(valeurs.data(), correctifs.data(), lot, largeur);
                for (std::size_t i = retard_maximal; i < valeurs.size(); ++i) {
                    const unsigned attendu = avancer_replique(replique) & 7;
                    ASSERT_EQ(valeurs[i] & 7, attendu) << "width " << largeur << ", seed " << graine
                                                       << ", step " << pas << ", value "
                                                       << i - retard_maximal;
                }
                // Only the history a step reads; what is before it is stale.
                const std::size_t garde = historique(largeur);
                std::memmove(valeurs.data() + retard_maximal - garde,
                             valeurs.data() + retard_maximal + lot - garde, garde);
                std::memmove(correctifs.data() + retard_maximal - garde,
                             correctifs.data() + retard_maximal + lot - garde, garde);
            }
        }
    }
}
