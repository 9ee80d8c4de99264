// SPDX-License-Identifier: MIT
// The benchmark's reference path: the same command, with the writer as it
// was first written, one rand and one fputc per letter.
#include "source_rand.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 1;
    const auto taille_seq = static_cast<std::int32_t>(std::strtoll(argv[1], nullptr, 10));
    const auto nb_seq = static_cast<std::int32_t>(std::strtoll(argv[2], nullptr, 10));
    std::srand(static_cast<std::uint32_t>(std::time(nullptr)));
    std::FILE* flux = std::fopen("alea.seq", "wt");
    if (flux == nullptr)
        return 255;
    for (std::int32_t i = 0; i < nb_seq; ++i) {
        std::fprintf(flux, ">Seq%i", i);
        std::fputc('\n', flux);
        for (std::int32_t j = 0; j < taille_seq; ++j)
            std::fputc(tirer_base(), flux);
        std::fputc('\n', flux);
    }
    const bool erreur = std::ferror(flux) != 0;
    return std::fclose(flux) == 0 && !erreur ? 0 : 255;
}
