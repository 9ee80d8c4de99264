// SPDX-License-Identifier: MIT
#include "source_lettres.hpp"

#include <cstdlib>

#if defined(__GLIBC__)
#include <dlfcn.h>
#endif

namespace {

// One call of rand, keeping the whole value it returned in tirage.
char tirer_base_et_valeur(int& tirage)
{
    tirage = std::rand();
    return bases[tirage & 3];
}

} // namespace

char tirer_base()
{
    int tirage;
    return tirer_base_et_valeur(tirage);
}

void recharger(source_rand& source)
{
    // Never a rand call past the file's last letter. A writer that asks for
    // more letters than the file has is at fault: it must not spin.
    if (source.a_tirer <= 0)
        std::abort();
    char* const lettres = place_d_un_lot(source.a);
    const auto nombre = static_cast<std::size_t>(
        std::min<std::int64_t>(source.a_tirer, static_cast<std::int64_t>(lot_lettres)));
    for (std::size_t i = 0; i < nombre; ++i)
        lettres[i] = tirer_base();
    source.a.fin += nombre;
    source.a_tirer -= static_cast<std::int64_t>(nombre);
}

void placer_lettres(source_rand& source, char* destination, std::size_t espacement, std::size_t longueur,
                    unsigned nombre)
{
    if (nombre > 1) {
        const char* lettres = lettres_suivantes(source, longueur * nombre);
        for (unsigned r = 0; r < nombre; ++r, destination += espacement, lettres += longueur)
            std::memcpy(destination, lettres, longueur);
        return;
    }
    while (longueur > 0) {
        if (en_attente(source.a) == 0)
            recharger(source);
        const std::size_t fait = prendre_en_attente(source.a, destination, longueur);
        destination += fait;
        longueur -= fait;
    }
}

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
    // Only the C library's own rand can be stood for by a replica that
    // agrees with its first values, not one preloaded before it. Where the
    // dynamic linker finds none, nothing could be preloaded: the static
    // executable.
    const bool de_la_bibliotheque =
        trouve.rand == nullptr || trouve.bibliotheque == nullptr || trouve.rand == trouve.bibliotheque;
    if (nombre_lettres < static_cast<std::int64_t>(lettres_verifiees) || !de_la_bibliotheque)
        return p;
    p.temoin = semer_replique(graine);
    p.d_accord = true;
    for (std::size_t i = 0; i < lettres_verifiees; ++i) {
        int tirage;
        m.lettres[i] = tirer_base_et_valeur(tirage);
        p.d_accord = p.d_accord && tirage == tirer_replique(p.temoin);
    }
    p.tirees = lettres_verifiees;
    if (p.d_accord)
        poser_valeurs(m.plans, debut_des_pas, p.temoin);
    return p;
}
