// SPDX-License-Identifier: MIT
#include "vecteurs.hpp"

#include <cstring>

namespace {

using octets_16 = std::uint8_t __attribute__((vector_size(16)));
using octets_32 = std::uint8_t __attribute__((vector_size(32)));
using octets_64 = std::uint8_t __attribute__((vector_size(64)));

// somme += the vectors that start the given numbers of vectors before n.
template <std::size_t... retards, typename octets>
[[gnu::always_inline]] inline void sommer(octets& somme, const std::uint8_t* n)
{
    octets terme;
    ((std::memcpy(&terme, n - retards * sizeof(octets), sizeof(octets)), somme += terme), ...);
}

// With P(x) = x^31 - x^28 - 1, the recurrence's polynomial, and m a power of
// two: P(x)^m = P(x^m) mod 2, and A = B mod 2 implies A^2 = B^2 mod 4 and
// A^4 = B^4 mod 8. So P(x^m)^2 = P(x)^(2m) mod 4 and P(x^m)^4 = P(x)^(4m)
// mod 8, multiples of P: both annihilate r, modulo 4 and 8. Hence, with
//   c[n] = (P(x^m)^2 r)[n - 62m]
//        = r[n] - 2 r[n-3m] + r[n-6m] - 2 r[n-31m] + 2 r[n-34m] + r[n-62m],
// c is 0 mod 4, and since P(x^m)^2 c = 0 mod 8, c/4 mod 2 follows
// P(x^m)^2 = x^62m + x^56m + 1 mod 2. Modulo 8:
//   c[n] = c[n-6m] + c[n-62m]
//   r[n] = c[n] + 2 (r[n-3m] + r[n-31m] - r[n-34m]) - r[n-6m] - r[n-62m]
// Every lag is a whole number of vectors of m values, none shorter than one:
// a whole vector is computed at once, and each load reads back exactly one
// earlier store (a load straddling two recent stores stalls, which made the
// loop about five times slower). The vector type is the parameter because
// GCC drops vector_size on an alias whose size depends on a template
// parameter.
template <typename octets>
[[gnu::always_inline]] inline void prolonger_par(std::uint8_t* valeurs, std::uint8_t* correctifs,
                                                 std::size_t nombre)
{
    const std::uint8_t* const fin = valeurs + retard_maximal + nombre;
    constexpr std::size_t m = sizeof(octets);
    std::uint8_t* c = correctifs + retard_maximal;
    for (std::uint8_t* n = valeurs + retard_maximal; n < fin; n += m, c += m) {
        // Hides that one step's loads are earlier steps' loads and stores.
        // Seeing it, GCC carries the vectors from step to step in registers,
        // more than there are at 16 bytes: through the stack, ten times slower.
        __asm__("" : "+r"(n), "+r"(c));
        octets correctif{}, plus{}, moins{}, reste{};
        sommer<6, 62>(correctif, c);
        std::memcpy(c, &correctif, sizeof correctif);
        sommer<3, 31>(plus, n);
        sommer<34>(moins, n);
        sommer<6, 62>(reste, n);
        octets valeur = plus - moins;
        valeur = valeur + valeur + correctif - reste;
        std::memcpy(n, &valeur, sizeof valeur);
    }
}

template <typename octets>
[[gnu::always_inline]] inline void en_lettres_par(const std::uint8_t* valeurs, char* lettres,
                                                  std::size_t nombre)
{
    // Without a table or shifts (a byte shift takes three instructions on
    // x86): with t = v & 6, 'A' + t gives A, C, E or G, and T is E + 15.
    for (std::size_t i = 0; i < nombre; i += sizeof(octets)) {
        octets t;
        std::memcpy(&t, valeurs + i, sizeof t);
        t &= 6;
        const octets lettre = 'A' + t + (reinterpret_cast<octets>(t == 4) & 15);
        std::memcpy(lettres + i, &lettre, sizeof lettre);
    }
}

// Each run's letters made a whole vector at a time, the last vector ending
// with the run: at this length the stores are what counts.
template <typename octets>
[[gnu::always_inline]] inline void etaler_lettres_par(char* destination, std::size_t pas,
                                                      const std::uint8_t* valeurs,
                                                      std::size_t longueur, unsigned nombre)
{
    constexpr std::size_t m = sizeof(octets);
    for (unsigned r = 0; r < nombre; ++r, destination += pas, valeurs += longueur) {
        for (std::size_t k = 0; k + m < longueur; k += m)
            en_lettres_par<octets>(valeurs + k, destination + k, m);
        en_lettres_par<octets>(valeurs + longueur - m, destination + longueur - m, m);
    }
}

} // namespace

void amorcer_correctifs(const std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t largeur)
{
    const std::uint8_t* r = valeurs;
    const std::size_t m = largeur;
    for (std::size_t n = retard_maximal - 62 * m; n < retard_maximal; ++n)
        correctifs[n] = static_cast<std::uint8_t>(r[n] - 2 * r[n - 3 * m] + r[n - 6 * m] -
                                                  2 * r[n - 31 * m] + 2 * r[n - 34 * m] +
                                                  r[n - 62 * m]);
}

#if defined(__x86_64__) || defined(__i386__)

// x86: each width built with the instructions that hold it whole (a vector
// wider than those is emulated, and much slower than a narrower one), and
// the widest chosen once, at run time, for the processor at hand.
namespace {

__attribute__((target("avx512bw"))) void prolonger_64(std::uint8_t* valeurs,
                                                       std::uint8_t* correctifs, std::size_t nombre)
{
    prolonger_par<octets_64>(valeurs, correctifs, nombre);
}

__attribute__((target("avx2"))) void prolonger_32(std::uint8_t* valeurs, std::uint8_t* correctifs,
                                                   std::size_t nombre)
{
    prolonger_par<octets_32>(valeurs, correctifs, nombre);
}

__attribute__((target("avx512bw"))) void en_lettres_64(const std::uint8_t* valeurs, char* lettres,
                                                       std::size_t nombre)
{
    en_lettres_par<octets_64>(valeurs, lettres, nombre);
}

__attribute__((target("avx2"))) void en_lettres_32(const std::uint8_t* valeurs, char* lettres,
                                                   std::size_t nombre)
{
    en_lettres_par<octets_32>(valeurs, lettres, nombre);
}

__attribute__((target("avx512bw"))) void etaler_lettres_64(char* destination, std::size_t pas,
                                                            const std::uint8_t* valeurs,
                                                            std::size_t longueur, unsigned nombre)
{
    etaler_lettres_par<octets_64>(destination, pas, valeurs, longueur, nombre);
}

__attribute__((target("avx2"))) void etaler_lettres_32(char* destination, std::size_t pas,
                                                        const std::uint8_t* valeurs,
                                                        std::size_t longueur, unsigned nombre)
{
    etaler_lettres_par<octets_32>(destination, pas, valeurs, longueur, nombre);
}

} // namespace

std::size_t largeur_maximale()
{
    if (__builtin_cpu_supports("avx512bw"))
        return 64;
    return __builtin_cpu_supports("avx2") ? 32 : 16;
}

void prolonger_valeurs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t nombre,
                       std::size_t largeur)
{
    if (largeur == 64)
        prolonger_64(valeurs, correctifs, nombre);
    else if (largeur == 32)
        prolonger_32(valeurs, correctifs, nombre);
    else
        prolonger_par<octets_16>(valeurs, correctifs, nombre);
}

void en_lettres(const std::uint8_t* valeurs, char* lettres, std::size_t nombre, std::size_t largeur)
{
    if (largeur == 64)
        en_lettres_64(valeurs, lettres, nombre);
    else if (largeur == 32)
        en_lettres_32(valeurs, lettres, nombre);
    else
        en_lettres_par<octets_16>(valeurs, lettres, nombre);
}

void etaler_lettres(char* destination, std::size_t pas, const std::uint8_t* valeurs,
                    std::size_t longueur, unsigned nombre, std::size_t largeur)
{
    if (largeur == 64 && longueur >= 64)
        etaler_lettres_64(destination, pas, valeurs, longueur, nombre);
    else if (largeur >= 32 && longueur >= 32)
        etaler_lettres_32(destination, pas, valeurs, longueur, nombre);
    else
        etaler_lettres_par<octets_16>(destination, pas, valeurs, longueur, nombre);
}

#else

// Elsewhere, 16-byte vectors: NEON on aarch64, the compiler's own lowering
// where the processor has none.
std::size_t largeur_maximale()
{
    return 16;
}

void prolonger_valeurs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t nombre,
                       std::size_t)
{
    prolonger_par<octets_16>(valeurs, correctifs, nombre);
}

void en_lettres(const std::uint8_t* valeurs, char* lettres, std::size_t nombre, std::size_t)
{
    en_lettres_par<octets_16>(valeurs, lettres, nombre);
}

void etaler_lettres(char* destination, std::size_t pas, const std::uint8_t* valeurs,
                    std::size_t longueur, unsigned nombre, std::size_t)
{
    etaler_lettres_par<octets_16>(destination, pas, valeurs, longueur, nombre);
}

#endif
