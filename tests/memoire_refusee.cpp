// SPDX-License-Identifier: MIT
// Loaded into brasse_adn with LD_PRELOAD by the tests: a calloc that
// refuses every request of MEMOIRE_REFUSEE bytes or more, as a machine
// short of memory would; the others go to the next calloc.
#include <dlfcn.h>

#include <cstddef>
#include <cstdlib>

extern "C" void* calloc(std::size_t nombre, std::size_t taille) noexcept
{
    using fonction = void* (*)(std::size_t, std::size_t);
    static fonction suivante = nullptr;
    static bool cherche = false;
    if (suivante == nullptr) {
        // The dynamic linker may ask for a little memory while it looks the
        // next one up: from here, zeroed, never given back.
        alignas(16) static unsigned char reserve[1024];
        static std::size_t prises = 0;
        if (cherche) {
            const std::size_t octets = (nombre * taille + 15) / 16 * 16;
            if (octets > sizeof reserve - prises)
                return nullptr;
            prises += octets;
            return reserve + prises - octets;
        }
        cherche = true;
        suivante = reinterpret_cast<fonction>(dlsym(RTLD_NEXT, "calloc"));
        cherche = false;
    }
    static const char* const seuil = std::getenv("MEMOIRE_REFUSEE");
    if (seuil != nullptr && nombre * taille >= std::strtoull(seuil, nullptr, 10))
        return nullptr;
    return suivante(nombre, taille);
}
