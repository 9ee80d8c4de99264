// SPDX-License-Identifier: MIT
// The sequence file "alea.seq": FASTA records of random DNA letters.
#pragma once

#include <cstddef>
#include <cstdint>

// The memory ecrire_sequences works in, in bytes, whatever the counts. The
// caller allocates it before it opens the file: a shortage of memory must
// not leave a file emptied or half written.
std::size_t taille_memoire();

// Writes nb_seq records to fd, each a header line and one line of
// taille_seq letters (none for counts of zero or below, and no call of
// rand). graine is the seed just given to srand; the kernel of rank
// rang_noyau (noyaux.hpp) computes the replica's letters, in memoire,
// taille_memoire() bytes from the caller. False, with errno set, at the
// first write that fails; with EINVAL, and nothing written, for a kernel
// not there or that this processor does not run.
bool ecrire_sequences(int fd, std::int32_t taille_seq, std::int32_t nb_seq, std::uint32_t graine,
                      void* memoire, std::size_t rang_noyau);

// The exit status of a run whose output failed: the close's -1, as seen.
inline constexpr int statut_echec = 255;

// Closes the descriptor and returns the exit status for the file: 0 when
// ecrit (every write reached it) and the close succeeded, else statut_echec.
int fermer_sequences(int fd, bool ecrit);
