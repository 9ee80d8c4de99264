// SPDX-License-Identifier: MIT
#include "plans.hpp"

#include <cassert>
#include <cstring>

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
        // Value 8 g + i's three bits in byte i of huit, counted from the low
        // end.
        std::uint64_t huit;
        std::memcpy(&huit, valeurs + 8 * g, sizeof huit);
        if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)
            huit = __builtin_bswap64(huit);
        for (unsigned k = 0; k < 3; ++k)
            bits[k] |= ((huit >> k & 0x0101010101010101u) * 0x0102040810204080u >> 56) << 8 * g;
    }
}

} // namespace

void poser_valeurs(plans_de_bits& plans, std::size_t nombre_valeurs, replique_rand& replique)
{
    for (std::size_t w = 0; w < nombre_valeurs / 64; ++w) {
        std::uint64_t bits[3];
        soixante_quatre(replique, bits);
        for (unsigned k = 0; k < 3; ++k)
            plan(plans, k)[w] = bits[k];
    }
}

bool memes_valeurs(const plans_de_bits& plans, std::size_t debut, std::size_t nombre_valeurs,
                   replique_rand& temoin)
{
    std::uint64_t ecarts = 0;
    for (std::size_t w = debut / 64; w < (debut + nombre_valeurs) / 64; ++w) {
        std::uint64_t bits[3];
        soixante_quatre(temoin, bits);
        for (unsigned k = 0; k < 3; ++k)
            ecarts |= plan(plans, k)[w] ^ bits[k];
    }
    return ecarts == 0;
}

void amorcer_correctifs(plans_de_bits& plans)
{
    // c = r[n] + r[n-6m] + r[n-62m] + 2 (r[n-34m] - r[n-3m] - r[n-31m]), as
    // plans.hpp derives it, of which only bit 2 counts (bits 0 and 1 are 0),
    // 64 values at a time.
    for (std::size_t w = (debut_des_calculs - historique) / 64; w < debut_des_calculs / 64; ++w) {
        auto v = [&](std::size_t retard, unsigned k) { return plan(plans, k)[w - retard * mots_par_tranche]; };
        // t = r[n-34m] - (r[n-3m] + r[n-31m]), mod 4
        const std::uint64_t s0 = v(petit, 0) ^ v(grand, 0);
        const std::uint64_t s1 = v(petit, 1) ^ v(grand, 1) ^ (v(petit, 0) & v(grand, 0));
        const std::uint64_t t0 = v(petit_et_grand, 0) ^ s0;
        const std::uint64_t t1 = v(petit_et_grand, 1) ^ s1 ^ (~v(petit_et_grand, 0) & s0);
        // u = r[n] + r[n-6m] + r[n-62m], mod 8, in two additions
        const std::uint64_t r0 = v(0, 0), r1 = v(0, 1), r2 = v(0, 2);
        const std::uint64_t e0 = v(deux_petits, 0), e1 = v(deux_petits, 1), e2 = v(deux_petits, 2);
        const std::uint64_t g0 = r0 & e0, g1 = (r1 & e1) | (g0 & (r1 ^ e1));
        const std::uint64_t u0 = r0 ^ e0, u1 = r1 ^ e1 ^ g0, u2 = r2 ^ e2 ^ g1;
        const std::uint64_t f0 = v(deux_grands, 0), f1 = v(deux_grands, 1), f2 = v(deux_grands, 2);
        const std::uint64_t h0 = u0 & f0, h1 = (u1 & f1) | (h0 & (u1 ^ f1));
        const std::uint64_t w1 = u1 ^ f1 ^ h0, w2 = u2 ^ f2 ^ h1;
        // c = u + 2 t: bit 2
        plan(plans, 3)[w] = w2 ^ t1 ^ (w1 & t0);
    }
}

void garder_historique(plans_de_bits& plans, std::size_t fin)
{
    assert(fin % valeurs_par_tranche == 0 && fin >= historique && fin <= debut_des_calculs + valeurs_par_pas);
    for (unsigned k = 0; k < nombre_plans; ++k)
        std::memmove(plan(plans, k) + (debut_des_calculs - historique) / 64, plan(plans, k) + (fin - historique) / 64,
                     historique / 8);
}

void copier_historique(const plans_de_bits& plans, copie_historique& copie)
{
    for (unsigned k = 0; k < nombre_plans - 1; ++k)
        std::memcpy(copie.mots[k], plan(plans, k) + (debut_des_calculs - historique) / 64, sizeof copie.mots[k]);
}

void rendre_historique(plans_de_bits& plans, const copie_historique& copie)
{
    for (unsigned k = 0; k < nombre_plans - 1; ++k)
        std::memcpy(plan(plans, k) + (debut_des_calculs - historique) / 64, copie.mots[k], sizeof copie.mots[k]);
    amorcer_correctifs(plans);
}
