// The sequence file "alea.seq": FASTA records of random DNA letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The order A, C, T, G (not alphabetical) decides which letter each
// generator value gives.
inline constexpr char bases[4] = {'A', 'C', 'T', 'G'};

// One call of rand; its two lowest bits pick the letter.
char tirer_base();

// The same, keeping the whole value rand returned in tirage.
char tirer_base(int& tirage);

// The first letters of a file are drawn through rand while our replica of
// rand is stepped beside it; the rest comes from the replica only when that
// many values agree in full. Files with fewer letters are drawn through rand.
inline constexpr std::size_t lettres_verifiees = 64;

// The file goes to the stream in writes of this many bytes (the last one
// shorter), a multiple of the page size.
inline constexpr std::size_t taille_tampon = std::size_t{1} << 20;

// Values of the replica computed per step.
inline constexpr std::size_t taille_lot = std::size_t{1} << 16;

// Writes nb_seq records to an open stream: a header line ">Seq<i>" with i
// counted from 0, then one unwrapped line of taille_seq letters. A count of
// zero or below means no records, or empty sequence lines, and no call of
// rand. graine is the seed the caller gave srand just before; letter k of the
// file is bases[v & 3] for the k-th value v that rand returns after it.
// Stops at the first write that fails, leaving the error on the stream for
// the caller to see when it closes it.
void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq,
                      std::uint32_t graine);

// The same, with the replica's values and letters computed on vectors of
// largeur bytes (16, 32 or 64, at most largeur_maximale()) where the one
// above takes the widest the processor has; the tests try every width.
void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq,
                      std::uint32_t graine, std::size_t largeur);

// Closes the stream and returns the exit status for it: 0 when every write
// reached the file, 255 when any write or the close itself failed.
int fermer_sequences(std::FILE* flux);
