#include "sequences.hpp"

#include <cstdlib>

char tirer_base()
{
    return bases[std::rand() & 3];
}

void ecrire_sequences(std::FILE* flux, std::int32_t taille_seq, std::int32_t nb_seq)
{
    for (std::int32_t i = 0; i < nb_seq; ++i) {
        std::fprintf(flux, ">Seq%i", i);
        std::fputc('\n', flux);
        for (std::int32_t j = 0; j < taille_seq; ++j)
            std::fputc(tirer_base(), flux);
        std::fputc('\n', flux);
    }
}

int fermer_sequences(std::FILE* flux)
{
    // The close alone can succeed after an earlier buffered write was lost
    // (disk full, file size limit, I/O error): the error indicator remembers it.
    const bool erreur = std::ferror(flux) != 0;
    const bool fermeture_ratee = std::fclose(flux) != 0;
    return erreur || fermeture_ratee ? 255 : 0;
}
