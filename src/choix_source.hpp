// SPDX-License-Identifier: MIT
// Which source a file's letters come from: the replica, by a kernel that
// passed its checks, once its values proved rand's; or rand itself.
#pragma once

#include "memoire_source.hpp"
#include "noyaux.hpp"
#include "replique.hpp"
#include "source_rand.hpp"
#include "source_replique.hpp"
#include "verification_noyau.hpp"

#include <cstddef>
#include <cstdint>
#include <type_traits>

// A file's first letters are drawn through rand, the replica stepped
// beside; it takes over only when that many values agree in full.
inline constexpr std::size_t lettres_comparees = 64;

// The objects that define the rand this process calls and the C library,
// as the dynamic linker finds them; nullptr where it finds none.
struct ou_est_rand {
    const void* rand;
    const void* bibliotheque;
};
ou_est_rand chercher_rand();

// What the first letters of a file showed.
struct premieres_lettres {
    std::size_t tirees;   // drawn through rand, waiting in the letters
    bool d_accord;        // the replica gave the same values
    replique_rand temoin; // when it did, its state after the history
};

// Draws the first letters of a file of nombre_lettres letters after
// srand(graine) into m's letters, the replica beside where rand, as found,
// is the C library's; when they agree, lays the history in the planes.
premieres_lettres tirer_les_premieres(memoire_source& m, std::uint32_t graine, std::int64_t nombre_lettres,
                                      ou_est_rand trouve);

// f(source) with the source of a file of nombre_lettres letters after
// srand(graine), in m, rand found where trouve says: kernel K's once the
// replica agreed with rand and K passed its checks; else the fallback
// kernel R's, when it passes them; else rand's.
template <typename K, typename R = noyau_de_repli, typename F>
auto avec_source(memoire_source& m, std::uint32_t graine, std::int64_t nombre_lettres, ou_est_rand trouve,
                 F&& f)
{
    const premieres_lettres p = tirer_les_premieres(m, graine, nombre_lettres, trouve);
    const attente tirees{m.lettres, 0, p.tirees};
    auto par = [&](auto noyau) {
        source_replique<decltype(noyau)> source{tirees, &m.plans, 0, debut_des_calculs, m.brouillon};
        return f(source);
    };
    if (p.d_accord && noyau_conforme<K>(m, p.temoin))
        return par(K{});
    if constexpr (!std::is_same_v<K, R>)
        if (p.d_accord && noyau_conforme<R>(m, p.temoin))
            return par(R{});
    source_rand source{tirees, nombre_lettres - static_cast<std::int64_t>(p.tirees)};
    return f(source);
}
