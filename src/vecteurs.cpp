// SPDX-License-Identifier: MIT
#include "vecteurs.hpp"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

// __builtin_memcpy, not std::memcpy: with _FORTIFY_SOURCE, Clang makes the
// latter a call of the C library's checked copy even where the size is
// known, which made a header's copy cost a call.
namespace {

using octets_16 = std::uint8_t __attribute__((vector_size(16)));
using octets_32 = std::uint8_t __attribute__((vector_size(32)));
using plan = std::uint64_t __attribute__((vector_size(largeur_plans)));

// The lags of the recurrences on m values, in m values: see prolonger_par.
constexpr std::size_t court = retard_court, long_ = retard_long;
constexpr std::size_t court_long = court + long_, deux_courts = 2 * court, deux_longs = 2 * long_;
static_assert(historique(16) == deux_longs * 16, "the longest lag is the history");

constexpr std::size_t mots_plan = octets_plan / sizeof(std::uint64_t);

// Word w of plane k.
inline std::uint64_t& mot_de(std::uint64_t* blocs, unsigned k, std::size_t w)
{
    return blocs[k * mots_plan + w];
}

// The 64 bits of plane k from value n on; those past the last computed are
// whatever the buffer holds.
inline std::uint64_t bits_de(const std::uint64_t* blocs, unsigned k, std::size_t n)
{
    auto* const b = const_cast<std::uint64_t*>(blocs);
    const std::size_t w = n / 64;
    const unsigned s = n % 64;
    const std::uint64_t bas = mot_de(b, k, w);
    return s == 0 ? bas : bas >> s | mot_de(b, k, w + 1) << (64 - s);
}

// somme += the vectors that start the given numbers of vectors before n.
template <std::size_t... retards, typename octets>
[[gnu::always_inline]] inline void sommer(octets& somme, const std::uint8_t* n)
{
    octets terme;
    ((__builtin_memcpy(&terme, n - retards * sizeof(octets), sizeof(octets)), somme += terme), ...);
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
    const std::uint8_t* const fin = valeurs + debut_octets + nombre;
    std::uint8_t* c = correctifs + debut_octets;
    for (std::uint8_t* n = valeurs + debut_octets; n < fin; n += sizeof(octets), c += sizeof(octets)) {
        // Hides that one step's loads are earlier steps' loads and stores.
        // Seeing it, GCC carries the vectors from step to step in registers,
        // more than there are at 16 bytes: through the stack, ten times slower.
        __asm__("" : "+r"(n), "+r"(c));
        octets correctif{}, plus{}, moins{}, reste{};
        sommer<deux_courts, deux_longs>(correctif, c);
        __builtin_memcpy(c, &correctif, sizeof correctif);
        sommer<court, long_>(plus, n);
        sommer<court_long>(moins, n);
        sommer<deux_courts, deux_longs>(reste, n);
        octets valeur = plus - moins;
        valeur = valeur + valeur + correctif - reste;
        __builtin_memcpy(n, &valeur, sizeof valeur);
    }
}

// Plane k of the block retard blocks before p.
template <typename mots>
[[gnu::always_inline]] inline void lire(mots& v, const std::uint8_t* p, std::size_t retard, unsigned k)
{
    __builtin_memcpy(&v, p - retard * sizeof(mots) + k * octets_plan, sizeof v);
}

// The same recurrence on bit planes, 512 values a vector: the sums and
// differences modulo 8 as adders of bits.
template <typename mots>
[[gnu::always_inline]] inline void prolonger_plans_par(std::uint8_t* valeurs, std::size_t nombre)
{
    const std::uint8_t* const fin = valeurs + (debut_des_pas(largeur_plans) + nombre) / 8;
    for (std::uint8_t* p = valeurs + debut_des_pas(largeur_plans) / 8; p < fin; p += sizeof(mots)) {
        __asm__("" : "+r"(p));
        mots a0, a1, b0, b1, d0, d1, e0, e1, e2, ec, f0, f1, f2, fc;
        lire(a0, p, court, 0), lire(a1, p, court, 1);
        lire(b0, p, long_, 0), lire(b1, p, long_, 1);
        lire(d0, p, court_long, 0), lire(d1, p, court_long, 1);
        lire(e0, p, deux_courts, 0), lire(e1, p, deux_courts, 1), lire(e2, p, deux_courts, 2);
        lire(ec, p, deux_courts, 3);
        lire(f0, p, deux_longs, 0), lire(f1, p, deux_longs, 1), lire(f2, p, deux_longs, 2);
        lire(fc, p, deux_longs, 3);
        // x = r[n-3m] + r[n-31m] - r[n-34m], mod 4.
        const mots x0 = a0 ^ b0 ^ d0;
        const mots x1 = a1 ^ b1 ^ (a0 & b0) ^ d1 ^ (~(a0 ^ b0) & d0);
        // y = 2 x + c, mod 8, where c is 0 or 4.
        const mots c = ec ^ fc;
        const mots y2 = x1 ^ c;
        // z = r[n-6m] + r[n-62m], mod 8.
        const mots z0 = e0 ^ f0, k0 = e0 & f0;
        const mots z1 = e1 ^ f1 ^ k0;
        const mots k1 = (e1 & f1) | (k0 & (e1 ^ f1));
        const mots z2 = e2 ^ f2 ^ k1;
        // r = y - z, mod 8; y's bit 0 is 0, its bit 1 is x0.
        const mots r1 = x0 ^ z1 ^ z0;
        const mots emprunt = (~x0 & (z1 | z0)) | (z1 & z0);
        const mots r2 = y2 ^ z2 ^ emprunt;
        const mots sortie[plans_par_bloc] = {z0, r1, r2, c};
        for (unsigned k = 0; k < plans_par_bloc; ++k)
            __builtin_memcpy(p + k * octets_plan, &sortie[k], sizeof(mots));
    }
}

template <typename octets>
[[gnu::always_inline]] inline void en_lettres_par(const std::uint8_t* valeurs, char* lettres,
                                                  std::size_t nombre)
{
    // Without a table or shifts (a byte shift takes three instructions on
    // x86): with t = v & 6, 'A' + t gives A, C, E or G, and T is E + 15.
    static_assert(bases[0] == 'A' && bases[1] == 'A' + 2 && bases[3] == 'A' + 6 &&
                      bases[2] == 'A' + 4 + 15,
                  "the letters as this arithmetic makes them");
    for (std::size_t i = 0; i < nombre; i += sizeof(octets)) {
        octets t;
        __builtin_memcpy(&t, valeurs + i, sizeof t);
        t &= 6;
        const octets lettre = 'A' + t + (reinterpret_cast<octets>(t == 4) & 15);
        __builtin_memcpy(lettres + i, &lettre, sizeof lettre);
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

// Eight letters from eight bits of planes 1 and 2, in a word, without
// vectors: each bit spread to the low bit of its byte, then
// bases[0] + (C - A) b1 + (T - A) b2 - (C + T - A - G) b1 b2 in each byte.
inline std::uint64_t huit_lettres(unsigned b1, unsigned b2)
{
    constexpr std::uint64_t un_par_octet = 0x0101010101010101u;
    auto etaler = [](std::uint64_t b) {
        return ((b * un_par_octet & 0x8040201008040201u) + 0x7f7f7f7f7f7f7f7fu) >> 7 & un_par_octet;
    };
    constexpr int de_c = bases[1] - bases[0], de_t = bases[2] - bases[0];
    constexpr int des_deux = bases[1] + bases[2] - bases[0] - bases[3];
    static_assert(de_c > 0 && de_t > 0 && des_deux > 0 && des_deux <= de_c + de_t,
                  "no byte of the sum below carries into the next");
    const std::uint64_t s1 = etaler(b1), s2 = etaler(b2);
    std::uint64_t mot = bases[0] * un_par_octet + de_c * s1 + de_t * s2 - des_deux * (s1 & s2);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    mot = __builtin_bswap64(mot);
#endif
    return mot;
}

void plans_en_lettres_base(const std::uint8_t* valeurs, std::size_t position, char* lettres,
                           std::size_t nombre)
{
    const auto* const blocs = reinterpret_cast<const std::uint64_t*>(valeurs);
    for (std::size_t i = 0; i < nombre; i += 64) {
        const std::uint64_t k1 = bits_de(blocs, 1, position + i), k2 = bits_de(blocs, 2, position + i);
        for (unsigned o = 0; o < 64; o += 8) {
            const std::uint64_t mot = huit_lettres(k1 >> o & 0xff, k2 >> o & 0xff);
            __builtin_memcpy(lettres + i + o, &mot, sizeof mot);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)

// 64 letters from 64 bits of planes 1 and 2, as masks.
[[gnu::target("avx512bw"), gnu::always_inline]] inline __m512i lettres_de(__mmask64 k1,
                                                                         __mmask64 k2)
{
    const __m512i sans_c = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[0]),
                                                  _mm512_set1_epi8(bases[1]));
    const __m512i avec_t = _mm512_mask_blend_epi8(k1, _mm512_set1_epi8(bases[2]),
                                                  _mm512_set1_epi8(bases[3]));
    return _mm512_mask_blend_epi8(k2, sans_c, avec_t);
}

// The letters of values n to n + 63. (x86 is little endian: the bits from
// value n on are those of the bytes from n / 8 on.)
[[gnu::target("avx512bw"), gnu::always_inline]] inline __m512i lettres_avx512(
    const std::uint64_t* blocs, std::size_t n)
{
    const auto* const octets = reinterpret_cast<const std::uint8_t*>(blocs) + n / 8;
    const unsigned s = n % 8;
    auto bits = [octets, s](unsigned k) {
        std::uint64_t bas, haut;
        __builtin_memcpy(&bas, octets + k * octets_plan, sizeof bas);
        __builtin_memcpy(&haut, octets + k * octets_plan + sizeof bas, sizeof haut);
        return bas >> s | haut << 1 << (63 - s);
    };
    return lettres_de(bits(1), bits(2));
}

// The same from a value n aligned on 64: two loads, no shift.
[[gnu::target("avx512bw"), gnu::always_inline]] inline __m512i lettres_alignees_avx512(
    const std::uint64_t* blocs, std::size_t n)
{
    const std::uint64_t* const mot = blocs + n / 64;
    return lettres_de(mot[mots_plan], mot[2 * mots_plan]);
}

// From a value not aligned on 64, the first 64 letters with shifts; then
// from the next aligned value on, those letters again where they go and
// the rest aligned.
[[gnu::target("avx512bw")]] void plans_en_lettres_avx512(const std::uint8_t* valeurs,
                                                         std::size_t position, char* lettres,
                                                         std::size_t nombre)
{
    const auto* const blocs = reinterpret_cast<const std::uint64_t*>(valeurs);
    std::size_t i = 0;
    if (position % 64 != 0) {
        _mm512_storeu_si512(lettres, lettres_avx512(blocs, position));
        i = 64 - position % 64;
    }
    for (; i < nombre; i += 64)
        _mm512_storeu_si512(lettres + i, lettres_alignees_avx512(blocs, position + i));
}

// Runs of 64 letters or more: all made at once where the stores need no
// shift, then each copied where it goes. (In the caller's memory: an array
// of this size on the stack costs a probe of the stack at every call.)
[[gnu::target("avx512bw")]] void etaler_plans_avx512(char* destination, std::size_t pas,
                                                     const std::uint8_t* valeurs,
                                                     std::size_t position, std::size_t longueur,
                                                     unsigned nombre, char* lettres)
{
    plans_en_lettres_avx512(valeurs, position, lettres, longueur * nombre);
    for (unsigned r = 0; r < nombre; ++r, destination += pas)
        copier_suite(destination, lettres + r * longueur, longueur);
}

template <unsigned n>
[[gnu::target("avx512bw,avx512vbmi2")]] void dizaines_par(char* ici, const char* lettres,
                                                         unsigned nombre, dizaine_en_vecteurs& d)
{
    __m512i texte[n], dix[n], retenue[n];
    __mmask64 places[n];
    unsigned prises[n];
    for (unsigned j = 0; j < n; ++j) {
        texte[j] = _mm512_load_si512(d.texte + 64 * j);
        dix[j] = _mm512_load_si512(d.dix + 64 * j);
        retenue[j] = _mm512_load_si512(d.retenue + 64 * j);
        places[j] = d.lettres[j];
        prises[j] = static_cast<unsigned>(__builtin_popcountll(d.lettres[j]));
    }
    std::uint32_t q = d.dizaine;
    for (unsigned k = 0; k < nombre; ++k, ++q, ici += d.longueur) {
        for (unsigned j = 0; j < n; ++j) {
            // From a register: expanding straight from memory is microcoded on
            // some processors.
            const __m512i suivantes = _mm512_loadu_si512(lettres);
            _mm512_storeu_si512(ici + 64 * j, _mm512_mask_expand_epi8(texte[j], places[j], suivantes));
            lettres += prises[j];
        }
        for (unsigned j = 0; j < n; ++j)
            texte[j] = _mm512_add_epi8(texte[j], q % 10 == 9 ? retenue[j] : dix[j]);
    }
    for (unsigned j = 0; j < n; ++j)
        _mm512_store_si512(d.texte + 64 * j, texte[j]);
    d.dizaine = q;
}

#endif

bool avec_avx512bw()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx512bw");
#else
    return false;
#endif
}

// The passes, as types that the choice of instructions below can take.
struct passe_prolonger {
    template <typename octets>
    [[gnu::always_inline]] static void sur(std::uint8_t* valeurs, std::uint8_t* correctifs,
                                           std::size_t nombre)
    {
        prolonger_par<octets>(valeurs, correctifs, nombre);
    }
};

struct passe_plans {
    template <typename mots>
    [[gnu::always_inline]] static void sur(std::uint8_t* valeurs, std::size_t nombre)
    {
        prolonger_plans_par<mots>(valeurs, nombre);
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

// A pass on vectors of type octets, with the instructions this processor
// has for them: AVX-512BW for 64 bytes; AVX2 for 32, and for 64 without
// AVX-512BW; else the baseline (16 bytes in a register but on 32-bit ARM).
template <typename passe, typename octets, typename... arguments>
void selon_processeur(arguments... a)
{
#if defined(__x86_64__) || defined(__i386__)
    if (sizeof(octets) == 64 && __builtin_cpu_supports("avx512bw"))
        return avec_avx512<passe, octets>(a...);
    if (sizeof(octets) >= 32 && __builtin_cpu_supports("avx2"))
        return avec_avx2<passe, octets>(a...);
#endif
    if (sizeof(octets) > 16)
        return divise<passe, octets>(a...);
    passe::template sur<octets>(a...);
}

template <typename passe, typename... arguments>
void selon_largeur(std::size_t largeur, arguments... a)
{
    if (largeur == 32)
        return selon_processeur<passe, octets_32>(a...);
    selon_processeur<passe, octets_16>(a...);
}

} // namespace

std::size_t largeur_maximale()
{
    if (avec_avx512bw())
        return 64;
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx2"))
        return 32;
#endif
    return 16;
}

namespace {

// The replica's next 64 values modulo 8, as three words of bits: each
// eight values' bit k gathered by one multiplication.
void soixante_quatre(replique_rand& replique, std::uint64_t (&bits)[3])
{
    std::uint32_t r[64];
    avancer_replique_de_64(replique, r);
    unsigned char valeurs[64];
    for (unsigned i = 0; i < 64; ++i)
        valeurs[i] = static_cast<unsigned char>(r[i] & 7);
    bits[0] = bits[1] = bits[2] = 0;
    for (unsigned g = 0; g < 8; ++g) {
        std::uint64_t huit;
        __builtin_memcpy(&huit, valeurs + 8 * g, sizeof huit);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        huit = __builtin_bswap64(huit);
#endif
        for (unsigned k = 0; k < 3; ++k)
            bits[k] |= ((huit >> k & 0x0101010101010101u) * 0x0102040810204080u >> 56) << 8 * g;
    }
}

} // namespace

void poser_valeurs(std::uint8_t* valeurs, std::size_t nombre, replique_rand& replique,
                   std::size_t largeur)
{
    if (largeur != largeur_plans) {
        for (std::size_t n = 0; n < nombre; ++n)
            valeurs[n] = static_cast<std::uint8_t>(avancer_replique(replique) & 7);
        return;
    }
    auto* const blocs = reinterpret_cast<std::uint64_t*>(valeurs);
    for (std::size_t w = 0; w < nombre / 64; ++w) {
        std::uint64_t bits[3];
        soixante_quatre(replique, bits);
        for (unsigned k = 0; k < 3; ++k)
            mot_de(blocs, k, w) = bits[k];
    }
}

bool memes_valeurs(const std::uint8_t* valeurs, std::size_t debut, std::size_t nombre,
                   replique_rand& temoin, std::size_t largeur)
{
    std::uint64_t ecarts = 0;
    if (largeur != largeur_plans) {
        for (std::size_t n = debut; n < debut + nombre; ++n)
            ecarts |= (valeurs[n] ^ avancer_replique(temoin)) & 7;
        return ecarts == 0;
    }
    auto* const blocs = reinterpret_cast<std::uint64_t*>(const_cast<std::uint8_t*>(valeurs));
    for (std::size_t w = debut / 64; w < (debut + nombre) / 64; ++w) {
        std::uint64_t bits[3];
        soixante_quatre(temoin, bits);
        for (unsigned k = 0; k < 3; ++k)
            ecarts |= mot_de(blocs, k, w) ^ bits[k];
    }
    return ecarts == 0;
}

void amorcer_correctifs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t largeur)
{
    const std::size_t debut = debut_des_pas(largeur), m = valeurs_par_pas(largeur);
    if (largeur != largeur_plans) {
        const std::uint8_t* r = valeurs;
        for (std::size_t n = debut - historique(largeur); n < debut; ++n)
            correctifs[n] = static_cast<std::uint8_t>(
                r[n] - 2 * r[n - court * m] + r[n - deux_courts * m] - 2 * r[n - long_ * m] +
                2 * r[n - court_long * m] + r[n - deux_longs * m]);
        return;
    }
    // c = r[n] + r[n-6m] + r[n-62m] + 2 (r[n-34m] - r[n-3m] - r[n-31m]), of
    // which only bit 2 counts (bits 0 and 1 are 0), 64 values at a time.
    auto* const blocs = reinterpret_cast<std::uint64_t*>(valeurs);
    constexpr std::size_t mots = valeurs_par_bloc / 64;
    for (std::size_t w = (debut - historique(largeur)) / 64; w < debut / 64; ++w) {
        auto v = [&](std::size_t retard, unsigned k) { return mot_de(blocs, k, w - retard * mots); };
        // t = r[n-34m] - (r[n-3m] + r[n-31m]), mod 4
        const std::uint64_t s0 = v(court, 0) ^ v(long_, 0);
        const std::uint64_t s1 = v(court, 1) ^ v(long_, 1) ^ (v(court, 0) & v(long_, 0));
        const std::uint64_t t0 = v(court_long, 0) ^ s0;
        const std::uint64_t t1 = v(court_long, 1) ^ s1 ^ (~v(court_long, 0) & s0);
        // u = r[n] + r[n-6m] + r[n-62m], mod 8, in two additions
        const std::uint64_t r0 = v(0, 0), r1 = v(0, 1), r2 = v(0, 2);
        const std::uint64_t e0 = v(deux_courts, 0), e1 = v(deux_courts, 1), e2 = v(deux_courts, 2);
        const std::uint64_t g0 = r0 & e0, g1 = (r1 & e1) | (g0 & (r1 ^ e1));
        const std::uint64_t u0 = r0 ^ e0, u1 = r1 ^ e1 ^ g0, u2 = r2 ^ e2 ^ g1;
        const std::uint64_t f0 = v(deux_longs, 0), f1 = v(deux_longs, 1), f2 = v(deux_longs, 2);
        const std::uint64_t h0 = u0 & f0, h1 = (u1 & f1) | (h0 & (u1 ^ f1));
        const std::uint64_t w1 = u1 ^ f1 ^ h0, w2 = u2 ^ f2 ^ h1;
        // c = u + 2 t: bit 2
        mot_de(blocs, 3, w) = w2 ^ t1 ^ (w1 & t0);
    }
}

void prolonger_valeurs(std::uint8_t* valeurs, std::uint8_t* correctifs, std::size_t nombre,
                       std::size_t largeur)
{
    if (largeur == largeur_plans)
        return selon_processeur<passe_plans, plan>(valeurs, nombre);
    selon_largeur<passe_prolonger>(largeur, valeurs, correctifs, nombre);
}

void plans_en_lettres(const std::uint8_t* valeurs, std::size_t position, char* lettres,
                      std::size_t nombre, bool instructions_du_processeur)
{
#if defined(__x86_64__) || defined(__i386__)
    if (instructions_du_processeur && avec_avx512bw())
        return plans_en_lettres_avx512(valeurs, position, lettres, nombre);
#endif
    (void)instructions_du_processeur;
    plans_en_lettres_base(valeurs, position, lettres, nombre);
}

void en_lettres(const std::uint8_t* valeurs, std::size_t position, char* lettres,
                std::size_t nombre, std::size_t largeur)
{
    if (largeur == largeur_plans)
        return plans_en_lettres(valeurs, position, lettres, nombre, true);
    selon_largeur<passe_lettres>(largeur, valeurs + position, lettres, nombre);
}

void etaler_lettres(char* destination, std::size_t pas, const std::uint8_t* valeurs,
                    std::size_t position, std::size_t longueur, unsigned nombre,
                    std::size_t largeur, char* brouillon)
{
    if (largeur == largeur_plans) {
#if defined(__x86_64__) || defined(__i386__)
        if (avec_avx512bw())
            return etaler_plans_avx512(destination, pas, valeurs, position, longueur, nombre,
                                       brouillon);
#endif
        plans_en_lettres_base(valeurs, position, brouillon, longueur * nombre);
        for (unsigned r = 0; r < nombre; ++r, destination += pas)
            copier_suite(destination, brouillon + r * longueur, longueur);
        return;
    }
    // A run's last vector ends with it, so starts within it: no wider than it.
    if (largeur == 32 && longueur < 32)
        largeur = 16;
    selon_largeur<passe_etaler>(largeur, destination, pas, valeurs + position, longueur, nombre);
}

bool dizaines_vectorielles()
{
#if defined(__x86_64__) || defined(__i386__)
    return avec_avx512bw() && __builtin_cpu_supports("avx512vbmi2");
#else
    return false;
#endif
}

void ecrire_dizaines(char* ici, const char* lettres, unsigned nombre, dizaine_en_vecteurs& d)
{
#if defined(__x86_64__) || defined(__i386__)
    static_assert(vecteurs_dizaine == 5, "one loop for each number of vectors");
    switch (d.vecteurs) {
    case 1:
        return dizaines_par<1>(ici, lettres, nombre, d);
    case 2:
        return dizaines_par<2>(ici, lettres, nombre, d);
    case 3:
        return dizaines_par<3>(ici, lettres, nombre, d);
    case 4:
        return dizaines_par<4>(ici, lettres, nombre, d);
    default:
        return dizaines_par<5>(ici, lettres, nombre, d);
    }
#else
    (void)ici, (void)lettres, (void)nombre, (void)d;
#endif
}
