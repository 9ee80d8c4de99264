// SPDX-License-Identifier: MIT
// Loaded into brasse_adn with LD_PRELOAD by the tests: a rand that is not the
// C library's. Its k-th value after srand is the C library's xor a mask:
// RAND_DEVIANT="k0 m0 k1 m1 ..." gives mask m_i from value k_i on, in
// increasing k_i, up to 8 of them, and 0 before k0.
#include <dlfcn.h>

#include <cstdlib>

namespace {

struct deviation {
    long depuis[8] = {};
    int masques[8] = {};
    int ecarts = 0;
    long tirages = 0;
};

deviation& etat()
{
    static deviation d = [] {
        deviation lue;
        char* texte = std::getenv("RAND_DEVIANT");
        for (char* fin = texte; texte != nullptr && lue.ecarts < 8; texte = fin) {
            const long depuis = std::strtol(texte, &fin, 10);
            const long masque = std::strtol(fin, &fin, 10);
            if (fin == texte)
                break;
            lue.depuis[lue.ecarts] = depuis;
            lue.masques[lue.ecarts++] = static_cast<int>(masque);
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
    int masque = 0;
    for (int i = 0; i < d.ecarts && d.depuis[i] <= k; ++i)
        masque = d.masques[i];
    return vrai() ^ masque;
}
