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

// The values of r modulo 8 are all that a letter needs. This longer
// recurrence on them has no lag shorter than retard_minimal, so that many
// values are computed at once, on bytes. It needs the retard_maximal values
// before the ones it computes.
inline constexpr std::size_t retard_minimal = 96;
inline constexpr std::size_t retard_maximal = 3968;

// Computes valeurs[retard_maximal .. retard_maximal + nombre) from the
// retard_maximal values (each 0 to 7) before them. nombre is a multiple of 32.
void prolonger_valeurs(std::uint8_t* valeurs, std::size_t nombre);

// The letter of a value of r modulo 8: rand returns r >> 1, and the letter
// is that value's two lowest bits.
inline constexpr std::uint8_t index_de_valeur(std::uint8_t valeur)
{
    return (valeur >> 1) & 3;
}
