// SPDX-License-Identifier: MIT
#include "choix_source.hpp"

#include "format.hpp"

#include <cstdlib>

#if defined(__GLIBC__)
#include <dlfcn.h>
#endif

ou_est_rand chercher_rand()
{
#if defined(__GLIBC__)
    void* const rand = dlsym(RTLD_DEFAULT, "rand");
    void* const bibliotheque = dlsym(RTLD_DEFAULT, "gnu_get_libc_version");
    Dl_info de_rand{}, de_la_bibliotheque{};
    return {rand != nullptr && dladdr(rand, &de_rand) != 0 ? de_rand.dli_fbase : nullptr,
            bibliotheque != nullptr && dladdr(bibliotheque, &de_la_bibliotheque) != 0
                ? de_la_bibliotheque.dli_fbase
                : nullptr};
#else
    return {nullptr, nullptr};
#endif
}

premieres_lettres tirer_les_premieres(memoire_source& m, std::uint32_t graine, std::int64_t nombre_lettres,
                                      ou_est_rand trouve)
{
    premieres_lettres p{};
    // Only the C library's own rand, not one preloaded, can be stood for;
    // none is found in the static executable, where none can be preloaded.
    const bool de_la_bibliotheque =
        trouve.rand == nullptr || trouve.bibliotheque == nullptr || trouve.rand == trouve.bibliotheque;
    if (nombre_lettres < static_cast<std::int64_t>(lettres_comparees) || !de_la_bibliotheque)
        return p;
    p.temoin = semer_replique(graine);
    p.d_accord = true;
    for (std::size_t i = 0; i < lettres_comparees; ++i) {
        const int tirage = std::rand();
        m.lettres[i] = lettre_du_tirage(tirage);
        p.d_accord = p.d_accord && tirage == tirer_replique(p.temoin);
    }
    p.tirees = lettres_comparees;
    if (p.d_accord)
        poser_valeurs(m.plans, debut_des_calculs, p.temoin);
    return p;
}
