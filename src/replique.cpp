// SPDX-License-Identifier: MIT
#include "replique.hpp"

replique_rand semer_replique(std::uint32_t graine)
{
    replique_rand etat{};
    // The seed 0 would leave every value 0.
    std::int32_t germe = static_cast<std::int32_t>(graine == 0 ? 1 : graine);
    etat.anneau[0] = static_cast<std::uint32_t>(germe);
    for (unsigned i = 1; i < grand_retard; ++i) {
        // 16807 * germe mod 2147483647 without overflow (Schrage); C++ division
        // truncates toward zero as C's does, which matters for negative seeds.
        const std::int64_t haut = germe / 127773;
        const std::int64_t bas = germe % 127773;
        std::int64_t suivant = 16807 * bas - 2836 * haut;
        if (suivant < 0)
            suivant += 2147483647;
        germe = static_cast<std::int32_t>(suivant);
        etat.anneau[i] = static_cast<std::uint32_t>(germe);
    }
    // r[31..33] repeat r[0..2], which leaves the ring as it is; the first
    // value computed is r[34]. srand then draws and drops 310 values: rand
    // returns r[344] first.
    constexpr unsigned premier_calcule = grand_retard + petit_retard;
    constexpr unsigned premier_rendu = 344;
    etat.position = premier_calcule % grand_retard;
    for (unsigned i = premier_calcule; i < premier_rendu; ++i)
        avancer_replique(etat);
    return etat;
}
