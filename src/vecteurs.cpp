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

namespace {

// The three passes, as types that the choice of instructions below can take.
struct passe_prolonger {
    template <typename octets>
    [[gnu::always_inline]] static void sur(std::uint8_t* valeurs, std::uint8_t* correctifs,
                                           std::size_t nombre)
    {
        prolonger_par<octets>(valeurs, correctifs, nombre);
    }
};

struct passe_lettres {
    template <typename octets>
    [[gnu::always_inline]] static void sur(const std::uint8_t* valeurs, char* lettres,
                                           std::size_t nombre)
    {
        en_lettres_par<octets>(valeurs, lettres, nombre);
    }
};

struct passe_etaler {
    template <typename octets>
    [[gnu::always_inline]] static void sur(char* destination, std::size_t pas,
                                           const std::uint8_t* valeurs, std::size_t longueur,
                                           unsigned nombre)
    {
        etaler_lettres_par<octets>(destination, pas, valeurs, longueur, nombre);
    }
};

// Vectors wider than the registers of the instructions used: split by the
// compiler, out of line, their stack frame burdening no other call.
template <typename passe, typename octets, typename... arguments>
[[gnu::noinline]] void divise(arguments... a)
{
    passe::template sur<octets>(a...);
}

#if defined(__x86_64__) || defined(__i386__)

// x86: a width is built with the instructions that hold it whole where the
// processor has them (a split vector is much slower than a narrower one),
// else with the most it has.
template <typename passe, typename octets, typename... arguments>
[[gnu::target("avx512bw")]] void avec_avx512(arguments... a)
{
    passe::template sur<octets>(a...);
}

template <typename passe, typename octets, typename... arguments>
[[gnu::target("avx2")]] void avec_avx2(arguments... a)
{
    passe::template sur<octets>(a...);
}

#endif

// The pass on vectors of largeur bytes, with the instructions this processor
// has for them: AVX-512BW for 64 bytes; AVX2 for 32, and for 64 without
// AVX-512BW; else the baseline, 16 bytes in a register (but on 32-bit ARM).
template <typename passe, typename... arguments>
void selon_largeur(std::size_t largeur, arguments... a)
{
#if defined(__x86_64__) || defined(__i386__)
    if (largeur == 64 && __builtin_cpu_supports("avx512bw"))
        return avec_avx512<passe, octets_64>(a...);
    if (largeur == 64 && __builtin_cpu_supports("avx2"))
        return avec_avx2<passe, octets_64>(a...);
    if (largeur == 32 && __builtin_cpu_supports("avx2"))
        return avec_avx2<passe, octets_32>(a...);
#endif
    if (largeur == 64)
        return divise<passe, octets_64>(a...);
    if (largeur == 32)
        return divise<passe, octets_32>(a...);
    passe::template sur<octets_16>(a...);
}

} // namespace

std::size_t largeur_maximale()
{
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx512bw"))
        return 64;
    if (__builtin_cpu_supports("avx2"))
        return 32;
#endif
    return 16;
}

void prolonger_valeurs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t nombre,
                       std::size_t largeur)
{
    selon_largeur<passe_prolonger>(largeur, valeurs, correctifs, nombre);
}

void en_lettres(const std::uint8_t* valeurs, char* lettres, std::size_t nombre, std::size_t largeur)
{
    selon_largeur<passe_lettres>(largeur, valeurs, lettres, nombre);
}

void etaler_lettres(char* destination, std::size_t pas, const std::uint8_t* valeurs,
                    std::size_t longueur, unsigned nombre, std::size_t largeur)
{
    // A run's last vector ends with it, so starts within it: no wider than it.
    while (largeur > 16 && longueur < largeur)
        largeur /= 2;
    selon_largeur<passe_etaler>(largeur, destination, pas, valeurs, longueur, nombre);
}
