// SPDX-License-Identifier: MIT
// Our own copy of the C library's rand (GNU libc, on every architecture): an
// additive lagged Fibonacci generator, r[i] = r[i-3] + r[i-31] mod 2^32.
// The writer uses it only after checking it against the process's rand.
#pragma once

#include <cstdint>

// The recurrence's two lags; everything built on it derives from them.
inline constexpr unsigned petit_retard = 3;
inline constexpr unsigned grand_retard = 31;

// The generator's state after a seeding: the last grand_retard values of r,
// in a ring.
struct replique_rand {
    std::uint32_t anneau[grand_retard];
    unsigned position;  // where r[n-31] sits, and r[n] goes
};

// The state that srand(graine) gives.
replique_rand semer_replique(std::uint32_t graine);

// Steps the state and returns the new r, whole: the next rand() returns
// r >> 1, and the low bit it drops is needed to go on modulo 8.
inline std::uint32_t avancer_replique(replique_rand& etat)
{
    // r[n-31] is at position, r[n-3] 28 places further round the ring.
    constexpr unsigned ecart = grand_retard - petit_retard;
    const unsigned p = etat.position;
    const unsigned p3 = p + ecart < grand_retard ? p + ecart : p + ecart - grand_retard;
    etat.anneau[p] += etat.anneau[p3];
    etat.position = p + 1 < grand_retard ? p + 1 : 0;
    return etat.anneau[p];
}

// The next 64 values of r, whole, into r64: laid out in a line rather than
// round the ring, each of three running sums takes one addition a value.
inline void avancer_replique_de_64(replique_rand& etat, std::uint32_t (&r64)[64])
{
    std::uint32_t x[grand_retard + 64];
    for (unsigned j = 0; j < grand_retard; ++j) {
        const unsigned k = etat.position + j;
        x[j] = etat.anneau[k < grand_retard ? k : k - grand_retard];
    }
    static_assert(petit_retard == 3, "three running sums");
    std::uint32_t a = x[grand_retard - 3], b = x[grand_retard - 2], c = x[grand_retard - 1];
    for (unsigned i = grand_retard; i < grand_retard + 63; i += 3) {
        a += x[i - grand_retard];
        b += x[i + 1 - grand_retard];
        c += x[i + 2 - grand_retard];
        x[i] = a, x[i + 1] = b, x[i + 2] = c;
    }
    x[grand_retard + 63] = a + x[63];
    for (unsigned j = 0; j < grand_retard; ++j)
        etat.anneau[j] = x[64 + j];
    etat.position = 0;
    for (unsigned i = 0; i < 64; ++i)
        r64[i] = x[grand_retard + i];
}

// The value the next rand() returns, stepping the state.
inline int tirer_replique(replique_rand& etat)
{
    return static_cast<int>(avancer_replique(etat) >> 1);
}
