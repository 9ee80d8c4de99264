// SPDX-License-Identifier: MIT
// Each kernel of the build that this processor runs, for the tests that
// try them all.
#pragma once

#include "noyaux.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <iostream>
#include <string>

// f(K{}) for each kernel K of the build that this processor runs, with its
// name in every failure's trace; a note for each it can't.
template <typename F>
void pour_chaque_noyau(F&& f)
{
    for (std::size_t rang = 0; rang < nombre_noyaux; ++rang)
        selon_noyau(rang, [&](auto noyau) {
            using K = decltype(noyau);
            if (!K::disponible()) {
                std::cout << "[ NOTE ] kernel " << K::nom << " not tried: this processor lacks its instructions\n";
                return true;
            }
            SCOPED_TRACE(std::string("kernel ") + K::nom);
            f(noyau);
            return true;
        });
}
