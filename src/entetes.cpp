// SPDX-License-Identifier: MIT
#include "entetes.hpp"

#include <cstring>

void preparer_dizaine(dizaine_en_vecteurs& d, std::uint32_t dizaine, std::size_t taille)
{
    const gabarit g = gabarit_de(dizaine);
    std::memset(&d, 0, sizeof d);
    d.longueur = 10 * (g.longueur + taille);
    d.vecteurs = static_cast<unsigned>((d.longueur + 63) / 64);
    d.dizaine = dizaine;
    for (unsigned r = 0; r < 10; ++r) {
        const std::size_t debut = r * (g.longueur + taille);
        std::memcpy(d.texte + debut, g.texte, g.longueur);
        d.texte[debut + chiffre_du_record(g.longueur)] = static_cast<unsigned char>('0' + r);
        for (std::size_t k = debut + g.longueur; k < debut + g.longueur + taille; ++k)
            d.lettres[k / 64] |= std::uint64_t{1} << k % 64;
        // By ajout, one more at q's last digit; by retenue, that digit goes
        // from 9 to 0 and the one before gets one more. (Where q has no such
        // digit, the ten after needs a new text.)
        if (dizaine > 0)
            d.dix[debut + chiffre_des_dizaines(g.longueur)] = 1;
        if (dizaine >= 10) {
            d.retenue[debut + chiffre_des_centaines(g.longueur)] = 1;
            d.retenue[debut + chiffre_des_dizaines(g.longueur)] = static_cast<unsigned char>(-9);
        }
    }
}
