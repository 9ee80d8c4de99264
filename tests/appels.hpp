// SPDX-License-Identifier: MIT
// The system calls of the code under test, and rand, as this test executable
// defines them over the C library's: while a test has set a hook, each call
// is shown to it first. The test's own calls within a hook go straight
// through.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>

// Opening alea.seq: a stat of the name "alea.seq", a stat of an open file,
// an emptying, a wait for a lock.
enum class appel { etat_du_nom, etat_du_fichier, vidage, verrou };

namespace appels {
// 0 for the call to go on, or the errno it fails with.
inline std::function<int(appel)> tenir;
// How many of the bytes asked a write writes (at most those), or -1 for a
// write that fails with the errno the hook set.
inline std::function<ssize_t(std::size_t)> ecrire;
// The value rand returns, from the C library's.
inline std::function<int(int)> tirer;
} // namespace appels
