// SPDX-License-Identifier: MIT
// The kernels this build carries, and the one place that chooses among
// them (noyau.hpp says what a kernel is).
#pragma once

#include "noyau_portable.hpp"
#if defined(__x86_64__) || defined(__i386__)
#include "noyau_avx2.hpp"
#include "noyau_avx512.hpp"
#endif

#include <cstddef>
#include <tuple>

// Fastest first: the writer takes the first that the processor runs. The
// portable kernel, last, runs on any.
#if defined(__x86_64__) || defined(__i386__)
using noyaux = std::tuple<noyau_avx512_vbmi2, noyau_avx512, noyau_avx2, noyau_portable>;
#else
using noyaux = std::tuple<noyau_portable>;
#endif
inline constexpr std::size_t nombre_noyaux = std::tuple_size_v<noyaux>;

// f(K{}) for K the kernel of rang in the list; false for a rang past it.
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
