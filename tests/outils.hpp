// Helpers shared by the tests.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

// The file as it must be for a seed, built independently of the writer:
// headers numbered from 0, and letter k of the file is "ACTG"[r & 3] for the
// k-th value r that rand returns after srand(graine).
inline std::string fichier_attendu(unsigned graine, int taille_seq, int nb_seq)
{
    std::srand(graine);
    std::string texte;
    for (int i = 0; i < nb_seq; ++i) {
        texte += ">Seq" + std::to_string(i) + "\n";
        for (int j = 0; j < taille_seq; ++j)
            texte += "ACTG"[std::rand() & 3];
        texte += '\n';
    }
    return texte;
}

inline std::string lire_fichier(const std::string& chemin)
{
    std::ifstream entree(chemin, std::ios::binary);
    return {std::istreambuf_iterator<char>(entree), std::istreambuf_iterator<char>()};
}
