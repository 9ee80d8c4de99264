// SPDX-License-Identifier: MIT
// The sequence file "alea.seq": FASTA records of random DNA letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The memory ecrire_sequences works in, in bytes, whatever the counts. The
// caller allocates it before it opens the file: a shortage of memory must
// not leave a file emptied or half written.
std::size_t taille_memoire();

// Writes nb_seq records to an open stream: a header line ">Seq<i>" with i
// counted from 0, then one unwrapped line of taille_seq letters. A count of
// zero or below means no records, or empty sequence lines, and no call of
// rand. graine is the seed the caller gave srand just before; letter k of the
// file is bases[v & 3] for the k-th value v that rand returns after it. The
// replica's values and letters are computed on vectors of largeur bytes: 16,
// 32 or 64 on any processor, largeur_maximale() for the fastest; the tests
// try every width. It works in memoire, taille_memoire() bytes from the
// caller, and allocates nothing. Stops at the first write that fails,
// leaving the error on the stream for the caller to see when it closes it.
void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq,
                      std::uint32_t graine, void* memoire, std::size_t largeur);

// Closes the stream and returns the exit status for it: 0 when every write
// reached the file, 255 when any write or the close itself failed.
int fermer_sequences(std::FILE* flux);
