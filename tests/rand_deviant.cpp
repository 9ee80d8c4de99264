// SPDX-License-Identifier: MIT
// Loaded into brasse_adn with LD_PRELOAD by the tests: a rand that is not the
// C library's. Its k-th value after srand is the C library's xor a mask; with
// RAND_DEVIANT="K M" the mask is M for k < K and 2 (another letter) from K on.
#include <dlfcn.h>

#include <cstdlib>

namespace {

struct deviation {
    long depuis = -1;
    int masque_avant = 0;
    long tirages = 0;
};

deviation& etat()
{
    static deviation d = [] {
        deviation lue;
        if (const char* texte = std::getenv("RAND_DEVIANT")) {
            char* fin = nullptr;
            lue.depuis = std::strtol(texte, &fin, 10);
            lue.masque_avant = static_cast<int>(std::strtol(fin, nullptr, 10));
        }
        return lue;
    }();
    return d;
}

} // namespace

extern "C" void srand(unsigned graine) noexcept
{
    static auto vrai = reinterpret_cast<void (*)(unsigned)>(dlsym(RTLD_NEXT, "srand"));
    etat().tirages = 0;
    vrai(graine);
}

extern "C" int rand() noexcept
{
    static auto vrai = reinterpret_cast<int (*)()>(dlsym(RTLD_NEXT, "rand"));
    deviation& d = etat();
    const long k = d.tirages++;
    if (d.depuis < 0)
        return vrai();
    return vrai() ^ (k < d.depuis ? d.masque_avant : 2);
}
