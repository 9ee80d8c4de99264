// SPDX-License-Identifier: MIT
// The kernels this build carries, the one list of them (noyau.hpp says what
// a kernel is).
#pragma once

#include "noyau_avx2.hpp"
#include "noyau_avx512.hpp"
#include "noyau_portable.hpp"

#include <cstddef>
#include <tuple>
#include <type_traits>

// The kernels given, as a tuple, less those absent from this architecture.
template <typename... K>
struct liste_de_noyaux {
    using type = std::tuple<>;
};
template <typename K, typename... Autres>
struct liste_de_noyaux<K, Autres...> {
    using autres = typename liste_de_noyaux<Autres...>::type;
    using type = std::conditional_t<std::is_same_v<K, noyau_absent>, autres,
                                    decltype(std::tuple_cat(std::tuple<K>{}, autres{}))>;
};

// Fastest first: the writer takes the first that the processor runs.
using noyaux = liste_de_noyaux<noyau_avx512, noyau_avx2, noyau_portable>::type;
inline constexpr std::size_t nombre_noyaux = std::tuple_size_v<noyaux>;
static_assert(std::is_same_v<std::tuple_element_t<nombre_noyaux - 1, noyaux>, noyau_portable>,
              "the last kernel, taken when the processor runs no other, is the one every processor runs");

// The kernel that any other falls back on when its check fails: the last.
using noyau_de_repli = std::tuple_element_t<nombre_noyaux - 1, noyaux>;

// f(K{}) for K the kernel of rank rang in the list; false past it.
template <std::size_t i = 0, typename F>
bool selon_noyau(std::size_t rang, F&& f)
{
    if constexpr (i == nombre_noyaux) {
        (void)rang, (void)f;
        return false;
    } else {
        if (rang == i)
            return f(std::tuple_element_t<i, noyaux>{});
        return selon_noyau<i + 1>(rang, f);
    }
}

// The kernels by rank from 0: the name of one (nullptr past the last),
// whether this processor runs it, and the fastest it runs.
inline const char* nom_du_noyau(std::size_t rang)
{
    const char* nom = nullptr;
    selon_noyau(rang, [&](auto noyau) { return nom = decltype(noyau)::nom, true; });
    return nom;
}

inline bool noyau_disponible(std::size_t rang)
{
    return selon_noyau(rang, [](auto noyau) { return decltype(noyau)::disponible(); });
}

inline std::size_t noyau_du_processeur()
{
    std::size_t rang = 0;
    while (rang + 1 < nombre_noyaux && !noyau_disponible(rang))
        ++rang;
    return rang;
}
