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

// With P(x) = x^31 - x^28 - 1, the recurrence's polynomial, and m a power of
// two: P(x)^m = P(x^m) mod 2, and A = B mod 2 implies A^4 = B^4 mod 8, so
// P(x^m)^4 = P(x)^(4m) mod 8, a multiple of P: its recurrence holds for r
// modulo 8. Expanded, with -6 = 2 and -4 = 4 mod 8:
//   r[n] = -(r[n-12m] + r[n-124m]) + 2 (r[n-6m] + r[n-62m] + r[n-68m])
//          + 4 (r[n-3m] + r[n-9m] + r[n-31m] + r[n-34m] + r[n-37m]
//               + r[n-40m] + r[n-65m] + r[n-93m] + r[n-96m])      mod 8
constexpr std::size_t moins_un[] = {12, 124};
constexpr std::size_t deux[] = {6, 62, 68};
constexpr std::size_t quatre[] = {3, 9, 31, 34, 37, 40, 65, 93, 96};

static_assert(124 * sizeof(octets_64) == retard_maximal);

// One vector of values at a time, with m the vector's width: no lag is
// shorter than the step, and every lag is a whole number of steps, so each
// load reads back exactly one earlier store (a load straddling two recent
// stores stalls, which made the loop about five times slower). The vector
// type is the parameter because GCC drops vector_size on an alias whose
// size depends on a template parameter.
template <typename octets>
[[gnu::always_inline]] inline void prolonger_par(std::uint8_t* valeurs, std::size_t nombre)
{
    constexpr std::size_t m = sizeof(octets);
    for (std::size_t n = retard_maximal; n < retard_maximal + nombre; n += m) {
        octets somme_moins_un{}, somme_deux{}, somme_quatre{}, terme;
        for (std::size_t k : moins_un) {
            std::memcpy(&terme, valeurs + n - k * m, m);
            somme_moins_un += terme;
        }
        for (std::size_t k : deux) {
            std::memcpy(&terme, valeurs + n - k * m, m);
            somme_deux += terme;
        }
        for (std::size_t k : quatre) {
            std::memcpy(&terme, valeurs + n - k * m, m);
            somme_quatre += terme;
        }
        somme_deux += somme_deux;
        somme_quatre += somme_quatre;
        somme_quatre += somme_quatre;
        const octets valeur = (somme_quatre + somme_deux - somme_moins_un) & 7;
        std::memcpy(valeurs + n, &valeur, m);
    }
}

__attribute__((target("avx512bw"))) void prolonger_64(std::uint8_t* valeurs, std::size_t nombre)
{
    prolonger_par<octets_64>(valeurs, nombre);
}

__attribute__((target("avx2"))) void prolonger_32(std::uint8_t* valeurs, std::size_t nombre)
{
    prolonger_par<octets_32>(valeurs, nombre);
}

} // namespace

std::size_t largeur_maximale()
{
    if (__builtin_cpu_supports("avx512bw"))
        return 64;
    return __builtin_cpu_supports("avx2") ? 32 : 16;
}

void prolonger_valeurs(std::uint8_t* valeurs, std::size_t nombre, std::size_t largeur)
{
    if (largeur == 64)
        prolonger_64(valeurs, nombre);
    else if (largeur == 32)
        prolonger_32(valeurs, nombre);
    else
        prolonger_par<octets_16>(valeurs, nombre);
}
