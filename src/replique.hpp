// Our own copy of the C library's rand (GNU libc on Linux x86-64): an
// additive lagged Fibonacci generator, r[i] = r[i-3] + r[i-31] mod 2^32.
// The writer uses it only after checking it against the process's rand.
#pragma once

#include <cstddef>
#include <cstdint>

// The generator's state after a seeding: the last 31 values of r, in a ring.
struct replique_rand {
    std::uint32_t anneau[31];
    unsigned position;  // where r[n-31] sits, and r[n] goes
};

// The state that srand(graine) gives.
replique_rand semer_replique(std::uint32_t graine);

// Steps the state and returns the new r, whole: the next rand() returns
// r >> 1, and the low bit it drops is needed to go on modulo 8.
std::uint32_t avancer_replique(replique_rand& etat);

// The value the next rand() returns, stepping the state.
inline int tirer_replique(replique_rand& etat)
{
    return static_cast<int>(avancer_replique(etat) >> 1);
}

// The values of r modulo 8 are all that a letter needs. Longer recurrences
// on them, whose lags are all multiples of a vector's width, compute a whole
// vector of values at once, on bytes. They need the retard_maximal values
// before the ones they compute.
inline constexpr std::size_t retard_maximal = 7936;

// Vectors of values, one per width, in bytes.
using octets_16 = std::uint8_t __attribute__((vector_size(16)));
using octets_32 = std::uint8_t __attribute__((vector_size(32)));
using octets_64 = std::uint8_t __attribute__((vector_size(64)));

// The widest vector this processor handles in one register, in bytes: 64
// with AVX-512BW, 32 with AVX2, else 16. Each width is built with the
// instructions that hold it whole: a vector wider than those is emulated,
// and much slower than a narrower one.
std::size_t largeur_maximale();

// Computes valeurs[retard_maximal .. retard_maximal + nombre) from the
// retard_maximal values (each 0 to 7) before them, largeur (16, 32 or 64,
// at most largeur_maximale()) values at a time. nombre is a multiple of 64.
void prolonger_valeurs(std::uint8_t* valeurs, std::size_t nombre, std::size_t largeur);
