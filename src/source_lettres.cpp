// SPDX-License-Identifier: MIT
#include "source_lettres.hpp"

#if defined(__GLIBC__)
#include <dlfcn.h>
#endif

namespace {

// Whether the rand this process calls is the C library's own, not one
// preloaded before it: only then can a replica that agrees with its first
// values stand for it. (What the process calls, as the dynamic linker finds
// it; a static executable, where nothing can be preloaded, may find none.)
bool rand_de_la_bibliotheque()
{
#if defined(__GLIBC__)
    void* const rand = dlsym(RTLD_DEFAULT, "rand");
    void* const bibliotheque = dlsym(RTLD_DEFAULT, "gnu_get_libc_version");
    Dl_info de_rand{}, de_la_bibliotheque{};
    if (rand == nullptr || bibliotheque == nullptr || dladdr(rand, &de_rand) == 0 ||
        dladdr(bibliotheque, &de_la_bibliotheque) == 0)
        return true;
    return de_rand.dli_fbase == de_la_bibliotheque.dli_fbase;
#else
    return true;
#endif
}

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

source_lettres tirer_les_premieres(void* memoire, std::uint32_t graine, std::int64_t nombre_lettres,
                                   replique_rand& temoin)
{
    auto* const debut = static_cast<unsigned char*>(memoire);
    source_lettres source{};
    source.par = calcul::rand;
    source.a_tirer = nombre_lettres;
    source.plans = reinterpret_cast<std::uint64_t*>(debut + disposition::plans);
    source.lettres = reinterpret_cast<char*>(debut + disposition::lettres);
    source.brouillon = reinterpret_cast<char*>(debut + disposition::brouillon);
    // Files with fewer letters than are checked are drawn through rand, and
    // so is any file when rand is not the C library's.
    if (nombre_lettres < static_cast<std::int64_t>(lettres_verifiees) || !rand_de_la_bibliotheque())
        return source;
    temoin = semer_replique(graine);
    bool d_accord = true;
    for (std::size_t i = 0; i < lettres_verifiees; ++i) {
        int tirage;
        source.lettres[i] = tirer_base_et_valeur(tirage);
        d_accord = d_accord && tirage == tirer_replique(temoin);
    }
    source.fin = lettres_verifiees;
    source.a_tirer -= static_cast<std::int64_t>(lettres_verifiees);
    if (!d_accord)
        return source;
    source.par = calcul::noyau;
    if (pour_les_pas(source)) {
        poser_valeurs(source.plans, debut_des_pas, temoin);
        source.calculees = debut_des_pas;
        return source;
    }
    source.calculees = static_cast<std::size_t>(source.a_tirer + 63) / 64 * 64;
    constexpr std::size_t verifiees = (valeurs_des_lettres_verifiees + 63) / 64 * 64;
    static_assert(verifiees <= debut_des_pas, "a file of no step, and the values its letters are checked on");
    poser_valeurs(source.plans, std::max(source.calculees, verifiees), temoin);
    return source;
}
