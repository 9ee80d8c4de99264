// SPDX-License-Identifier: MIT
// Loaded into brasse_adn with LD_PRELOAD: a clock stopped at TEMPS_FIXE
// seconds, so that runs on two machines, or under an emulator that takes its
// time, write the file of one same second.
#include <cstdint>
#include <cstdlib>

namespace {

std::int64_t temps_fixe()
{
    const char* texte = std::getenv("TEMPS_FIXE");
    return texte != nullptr ? std::strtoll(texte, nullptr, 10) : 0;
}

} // namespace

// Both of the C library's clocks, declared here rather than taken from
// <ctime>, which names only the one the build uses: time where time_t is the
// machine's long, __time64 where a 32-bit machine is built with 64-bit time.
extern "C" long time(long* t)
{
    const auto valeur = static_cast<long>(temps_fixe());
    if (t != nullptr)
        *t = valeur;
    return valeur;
}

extern "C" std::int64_t __time64(std::int64_t* t)
{
    const std::int64_t valeur = temps_fixe();
    if (t != nullptr)
        *t = valeur;
    return valeur;
}
