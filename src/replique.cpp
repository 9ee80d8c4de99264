#include "replique.hpp"

#include <cstring>

replique_rand semer_replique(std::uint32_t graine)
{
    replique_rand etat{};
    // The seed 0 would leave every value 0.
    std::int32_t mot = static_cast<std::int32_t>(graine == 0 ? 1 : graine);
    etat.anneau[0] = static_cast<std::uint32_t>(mot);
    for (unsigned i = 1; i < 31; ++i) {
        // 16807 * mot mod 2147483647 without overflow (Schrage); C++ division
        // truncates toward zero as C's does, which matters for negative seeds.
        const std::int64_t haut = mot / 127773;
        const std::int64_t bas = mot % 127773;
        std::int64_t suivant = 16807 * bas - 2836 * haut;
        if (suivant < 0)
            suivant += 2147483647;
        mot = static_cast<std::int32_t>(suivant);
        etat.anneau[i] = static_cast<std::uint32_t>(mot);
    }
    // r[31..33] repeat r[0..2], which leaves the ring as it is; the first
    // value computed is r[34], and rand returns r[344] first.
    etat.position = 34 % 31;
    for (int i = 34; i < 344; ++i)
        avancer_replique(etat);
    return etat;
}

std::uint32_t avancer_replique(replique_rand& etat)
{
    // r[n-31] is at position, r[n-3] 28 places further round the ring.
    const unsigned p = etat.position;
    const unsigned p3 = p + 28 < 31 ? p + 28 : p + 28 - 31;
    etat.anneau[p] += etat.anneau[p3];
    etat.position = p + 1 < 31 ? p + 1 : 0;
    return etat.anneau[p];
}

namespace {

// With P(x) = x^31 - x^28 - 1, the recurrence's polynomial, and m = 32:
// P(x)^m = P(x^m) mod 2, and A = B mod 2 implies A^4 = B^4 mod 8, so
// P(x^m)^4 = P(x)^(4m) mod 8, a multiple of P: its recurrence holds for r
// modulo 8. Expanded, with -6 = 2 and -4 = 4 mod 8:
//   r[n] = -(r[n-12m] + r[n-124m]) + 2 (r[n-6m] + r[n-62m] + r[n-68m])
//          + 4 (r[n-3m] + r[n-9m] + r[n-31m] + r[n-34m] + r[n-37m]
//               + r[n-40m] + r[n-65m] + r[n-93m] + r[n-96m])      mod 8
// m = 32 rather than 16 makes every lag a multiple of the 32-byte step, so
// each load reads back exactly one earlier store; a load straddling two
// recent stores stalls, and made the whole loop about five times slower.
constexpr std::size_t m = 32;
constexpr std::size_t retards_moins_un[] = {12 * m, 124 * m};
constexpr std::size_t retards_deux[] = {6 * m, 62 * m, 68 * m};
constexpr std::size_t retards_quatre[] = {3 * m,  9 * m,  31 * m, 34 * m, 37 * m,
                                          40 * m, 65 * m, 93 * m, 96 * m};
static_assert(3 * m == retard_minimal && 124 * m == retard_maximal);

using octets = std::uint8_t __attribute__((vector_size(32)));

} // namespace

// 32 values at a time: none of them depends on another of the same step.
// Built twice, for AVX2 and for the baseline, the better one chosen at start.
__attribute__((target_clones("avx2", "default")))
void prolonger_valeurs(std::uint8_t* valeurs, std::size_t nombre)
{
    for (std::size_t n = retard_maximal; n < retard_maximal + nombre; n += sizeof(octets)) {
        octets moins_un{}, deux{}, quatre{}, terme;
        for (std::size_t retard : retards_moins_un) {
            std::memcpy(&terme, valeurs + n - retard, sizeof terme);
            moins_un += terme;
        }
        for (std::size_t retard : retards_deux) {
            std::memcpy(&terme, valeurs + n - retard, sizeof terme);
            deux += terme;
        }
        for (std::size_t retard : retards_quatre) {
            std::memcpy(&terme, valeurs + n - retard, sizeof terme);
            quatre += terme;
        }
        deux += deux;
        quatre += quatre;
        quatre += quatre;
        const octets valeur = (quatre + deux - moins_un) & 7;
        std::memcpy(valeurs + n, &valeur, sizeof valeur);
    }
}
