// The sequence file "alea.seq": FASTA records of random DNA letters.
#pragma once

#include <cstdint>
#include <cstdio>

// The order A, C, T, G (not alphabetical) decides which letter each
// generator value gives.
inline constexpr char bases[4] = {'A', 'C', 'T', 'G'};

// One call of rand; its two lowest bits pick the letter.
char tirer_base();

// Writes nb_seq records to an open stream: a header line ">Seq<i>" with i
// counted from 0, then one unwrapped line of taille_seq letters. A count of
// zero or below means no records, or empty sequence lines. Write errors are
// left on the stream for the caller to see when it closes it.
void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq);

// Closes the stream and returns the exit status for it: 0 when every write
// reached the file, 255 when any write or the close itself failed.
int fermer_sequences(std::FILE* flux);
