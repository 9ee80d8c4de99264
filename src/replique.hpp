// SPDX-License-Identifier: MIT
// Our own copy of the C library's rand (GNU libc, on every architecture): an
// additive lagged Fibonacci generator, r[i] = r[i-3] + r[i-31] mod 2^32.
// The writer uses it only after checking it against the process's rand.
#pragma once

#include <cstdint>

// The recurrence's two lags; everything built on it derives from them.
inline constexpr unsigned retard_court = 3;
inline constexpr unsigned retard_long = 31;

// The generator's state after a seeding: the last retard_long values of r,
// in a ring.
struct replique_rand {
    std::uint32_t anneau[retard_long];
    unsigned position;  // where r[n-31] sits, and r[n] goes
};

// The state that srand(graine) gives.
replique_rand semer_replique(std::uint32_t graine);

// Steps the state and returns the new r, whole: the next rand() returns
// r >> 1, and the low bit it drops is needed to go on modulo 8.
inline std::uint32_t avancer_replique(replique_rand& etat)
{
    // r[n-31] is at position, r[n-3] 28 places further round the ring.
    constexpr unsigned ecart = retard_long - retard_court;
    const unsigned p = etat.position;
    const unsigned p3 = p + ecart < retard_long ? p + ecart : p + ecart - retard_long;
    etat.anneau[p] += etat.anneau[p3];
    etat.position = p + 1 < retard_long ? p + 1 : 0;
    return etat.anneau[p];
}

// The next 64 values of r, whole, into r64: laid out in a line rather than
// round the ring, each of three running sums takes one addition a value.
inline void avancer_replique_de_64(replique_rand& etat, std::uint32_t (&r64)[64])
{
    std::uint32_t x[retard_long + 64];
    for (unsigned j = 0; j < retard_long; ++j) {
        const unsigned k = etat.position + j;
        x[j] = etat.anneau[k < retard_long ? k : k - retard_long];
    }
    static_assert(retard_court == 3, "three running sums");
    std::uint32_t a = x[retard_long - 3], b = x[retard_long - 2], c = x[retard_long - 1];
    for (unsigned i = retard_long; i < retard_long + 63; i += 3) {
        a += x[i - retard_long];
        b += x[i + 1 - retard_long];
        c += x[i + 2 - retard_long];
        x[i] = a, x[i + 1] = b, x[i + 2] = c;
    }
    x[retard_long + 63] = a + x[63];
    for (unsigned j = 0; j < retard_long; ++j)
        etat.anneau[j] = x[64 + j];
    etat.position = 0;
    for (unsigned i = 0; i < 64; ++i)
        r64[i] = x[retard_long + i];
}

// The value the next rand() returns, stepping the state.
inline int tirer_replique(replique_rand& etat)
{
    return static_cast<int>(avancer_replique(etat) >> 1);
}
