// SPDX-License-Identifier: MIT
// Loaded into brasse_adn with LD_PRELOAD by the tests: a rand that is not the
// C library's. RAND_DEVIANT="k m": from its k-th value after srand on, the C
// library's value xor m.
#include <dlfcn.h>

#include <cstdlib>

namespace {

long tirages = 0;

} // namespace

extern "C" void srand(unsigned graine) noexcept
{
    static auto vrai = reinterpret_cast<void (*)(unsigned)>(dlsym(RTLD_NEXT, "srand"));
    tirages = 0;
    vrai(graine);
}

extern "C" int rand() noexcept
{
    static auto vrai = reinterpret_cast<int (*)()>(dlsym(RTLD_NEXT, "rand"));
    static const char* const texte = std::getenv("RAND_DEVIANT");
    static char* fin = nullptr;
    static const long depuis = texte ? std::strtol(texte, &fin, 10) : -1;
    static const int masque = texte ? static_cast<int>(std::strtol(fin, nullptr, 10)) : 0;
    return vrai() ^ (depuis >= 0 && tirages++ >= depuis ? masque : 0);
}
