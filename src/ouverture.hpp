// SPDX-License-Identifier: MIT
// What the run does before the writer: the counts read from the command
// line, "alea.seq" opened for writing, and the system's reason for a
// failure in the user's language.
#pragma once

#include <cstdint>
#include <cstdio>

// A count as the command line gives it: base 10, leniently ("12abc" is
// 12, "abc" is 0), as 64 bits on every machine, then its low 32 bits as a
// two's-complement number.
std::int32_t lire_compte(const char* texte);

// How many times a run opens "alea.seq" again when, once it holds the lock,
// the name gives another file than the one it locked, or none.
inline constexpr int ouvertures_max = 8;

// The file opened for writing, or -1 and what failed, in the words of the
// message, with errno set when the system said why (0 when it did not).
struct ouverture {
    int fd;
    const char* echec;
};

// "alea.seq" in the working directory opened for writing and emptied, as
// opening for writing does, through a link too, once no other run writes
// it: a run waits for the one writing it to close it. On a failure, a file
// this run created is removed only while it is this run's alone, still
// empty, at that name.
ouverture ouvrir_alea();

// The system's reason for erreur, in the language of the messages' locale
// (LC_MESSAGES alone), in UTF-8.
const char* raison(int erreur);

// One line on erreurs: what failed, and the system's reason for erreur
// unless it is 0.
void signaler(std::FILE* erreurs, const char* echec, int erreur);
