// SPDX-License-Identifier: MIT
// The writer, driven in-process on memory and device streams.
#include "appels.hpp"
#include "chaque_noyau.hpp"
#include "choix_source.hpp"
#include "ecrivain.hpp"
#include "entetes.hpp"
#include "outils.hpp"
#include "sequences.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// srand(graine), then the writer, told the seed graine_annoncee (graine
// when none), with the kernel of rang, to a file that can't grow past the
// size of the file it must write. The writer's memory is at an odd address
// (it aligns its buffers within it), filled with 0xa5: nothing past it may
// change, nor anything past the block of output further than a write may
// run: ten of the file's longest records and a vector, for records written
// ten at a time; else what a run of letters is asked past it and a vector.
std::string ecrire_en_memoire(unsigned graine, std::int32_t taille_seq, std::int32_t nb_seq,
                              std::size_t rang_noyau = noyau_du_processeur(), long graine_annoncee = -1)
{
    std::srand(graine);
    const int fd = memfd_create("alea.seq", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    EXPECT_GE(fd, 0);
    const std::size_t lettres_seq = taille_seq > 0 ? static_cast<std::size_t>(taille_seq) : 0;
    const std::size_t taille = taille_de_fichier(lettres_seq, nb_seq > 0 ? static_cast<std::size_t>(nb_seq) : 0);
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(taille)), 0);
    EXPECT_EQ(fcntl(fd, F_ADD_SEALS, F_SEAL_GROW), 0);
    constexpr std::size_t sentinelles = 4096;
    std::vector<unsigned char> memoire(1 + taille_memoire() + sentinelles, 0xa5);
    const auto annoncee = static_cast<unsigned>(graine_annoncee < 0 ? graine : graine_annoncee);
    EXPECT_TRUE(ecrire_sequences(fd, taille_seq, nb_seq, annoncee, memoire.data() + 1, rang_noyau))
        << std::strerror(errno);
    EXPECT_EQ(std::count(memoire.end() - sentinelles, memoire.end(), 0xa5), static_cast<long>(sentinelles))
        << "the writer wrote past its memory";
    // How far the writer wrote past its block.
    const auto fin_du_bloc = memoire.begin() + (bloc_de(memoire_dans(memoire.data() + 1)) + taille_bloc -
                                                 reinterpret_cast<char*>(memoire.data()));
    const long au_dela = std::find_if(memoire.rbegin() + sentinelles, std::make_reverse_iterator(fin_du_bloc),
                                      [](unsigned char o) { return o != 0xa5; }).base() - fin_du_bloc;
    const std::size_t plus_long = longueur_texte_entete + std::to_string(std::max(nb_seq, 1) - 1).size() + 1 + lettres_seq + 1;
    const std::size_t borne = (lettres_seq <= lettres_courtes ? 10 * plus_long : au_dela_du_bloc) +
                              debord_vecteur;
    EXPECT_LE(au_dela, static_cast<long>(borne)) << "bytes written past the block's end, " << taille_seq << " x " << nb_seq;
    std::string texte(static_cast<std::size_t>(lseek(fd, 0, SEEK_CUR)), '\0');
    EXPECT_EQ(pread(fd, texte.data(), texte.size(), 0), static_cast<ssize_t>(texte.size()));
    EXPECT_EQ(fermer_sequences(fd, true), 0);
    return texte;
}

// Files are megabytes: on a failure, say where they part instead of
// printing both.
testing::AssertionResult memes_fichiers(const std::string& obtenu, const std::string& attendu)
{
    if (obtenu == attendu)
        return testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < obtenu.size() && i < attendu.size() && obtenu[i] == attendu[i])
        ++i;
    return testing::AssertionFailure()
           << "sizes " << obtenu.size() << " and " << attendu.size() << ", first difference at byte "
           << i << ": got \"" << obtenu.substr(i > 20 ? i - 20 : 0, 40) << "\", expected \""
           << attendu.substr(i > 20 ? i - 20 : 0, 40) << "\"";
}

using formes = std::vector<std::pair<std::size_t, std::size_t>>;

// Every kernel this processor runs writes the file that rand gives, for
// every shape: the seed's letters once, each shape's file from them.
void memes_fichiers_de_chaque_noyau(unsigned graine, const formes& f)
{
    std::size_t plus_long = 0;
    for (auto [taille_seq, nb_seq] : f)
        plus_long = std::max(plus_long, taille_seq * nb_seq);
    const std::string lettres = lettres_de_rand(graine, plus_long);
    for (auto [taille_seq, nb_seq] : f) {
        const std::string attendu = fichier_de(lettres, taille_seq, nb_seq);
        for (std::size_t rang = 0; rang < nombre_noyaux; ++rang) {
            if (!noyau_disponible(rang))
                continue;
            const std::string obtenu = ecrire_en_memoire(graine, static_cast<std::int32_t>(taille_seq),
                                                         static_cast<std::int32_t>(nb_seq), rang);
            EXPECT_TRUE(memes_fichiers(obtenu, attendu))
                << taille_seq << " x " << nb_seq << ", kernel " << nom_du_noyau(rang);
        }
    }
}

// Of records of de to a letters, in files of at most limite bytes, the
// shape whose last ten records start nearest a block's end: before it,
// where, written ten at a time, they run furthest past it; or past it by
// more than a vector, where they must go to the next block (written there,
// they would run past what ecrire_en_memoire allows).
std::pair<std::size_t, std::size_t> dix_au_bout_d_un_bloc(std::size_t de, std::size_t a, std::size_t limite,
                                                          bool apres)
{
    constexpr std::size_t bloc = taille_bloc;
    std::pair<std::size_t, std::size_t> forme{};
    std::size_t plus_pres = bloc;
    for (std::size_t taille_seq = de; taille_seq <= a; ++taille_seq) {
        // debut: record i's first byte in the file; its header's line feed in
        // front is where its ten begins to be written; dix, the ten before.
        std::size_t debut = 0, largeur = 1, dizaine = 10, dix = 0;
        for (std::size_t i = 0; debut < limite; ++i) {
            if (i == dizaine)
                ++largeur, dizaine *= 10;
            if (i % 10 == 0 && i > 0) {
                const std::size_t ecart = apres ? (debut - 1) % bloc : bloc - (debut - 1) % bloc;
                const bool premiere_apres = (debut - 1) / bloc > dix / bloc;
                if ((!apres || (premiere_apres && ecart > debord_vecteur)) && ecart < plus_pres)
                    plus_pres = ecart, forme = {taille_seq, i + 10};
                dix = debut - 1;
            }
            debut += longueur_texte_entete + largeur + 1 + taille_seq + 1;
        }
    }
    EXPECT_NE(forme.second, 0u) << "no ten of " << de << " to " << a << " letters near a block's end";
    return forme;
}

// Every length from de to a, each into the second step of the replica's
// values.
formes pour_les_longueurs(std::size_t de, std::size_t a, formes f = {})
{
    const std::size_t nombre_lettres = lettres_comparees + debut_des_calculs + valeurs_par_pas + 1000;
    for (std::size_t taille_seq = de; taille_seq <= a; ++taille_seq)
        f.emplace_back(taille_seq, taille_seq == 0 ? 1000 : (nombre_lettres + taille_seq - 1) / taille_seq);
    return f;
}

// A seed and the shapes of the files written from it, by every kernel.
struct graine_et_formes {
    const char* nom;
    unsigned graine;
    formes (*faire)();
};

constexpr std::size_t verifiees = lettres_comparees, fin_seules = lettres_comparees + debut_des_calculs;
constexpr std::size_t bloc = taille_bloc, courtes = lettres_courtes;
constexpr std::size_t lot = lettres_par_lot, pas = valeurs_par_pas;

const graine_et_formes graines_et_formes[] = {
    // Where the file changes hands: after the letters checked against rand,
    // after the replica's single values, at every step of values. Records of
    // each length that changes how they are written (none, one copy, ten at
    // a time, from letters made together, one by one), on both sides of it,
    // up to where their headers change width. 12 records cross from Seq9 to
    // Seq10; 1000 letters stay on one line.
    {"AChaqueLimite", 1765200001, [] {
         return formes{{1, 200}, {verifiees - 1, 1}, {verifiees - 1, 2}, {verifiees, 1}, {verifiees + 1, 1},
                       {fin_seules - 1, 1}, {fin_seules, 1}, {fin_seules + 1, 3}, {pas + 1, 5}, {3, 120000},
                       {100, 50000}, {16, 70000}, {17, 60000}, {31, 40000}, {32, 40000}, {33, 40000}, {63, 20000},
                       {64, 20000}, {65, 20000}, {courtes, 5000}, {courtes + 1, 5000}, {lot - 1, 150}, {lot + 1, 150},
                       {2, 100001}, {9, 999}, {15, 10001}, {4, 3}, {1, 12}, {57, 25}, {1000, 2}};
     }},
    // Where a block of output ends inside a header (- 10), right after a
    // line (- 7), before a line feed (- 6) or inside letters; a record over
    // several blocks.
    {"AChaqueLimiteDeBloc", 1765200008, [] {
         return formes{{bloc - 10, 3}, {bloc - 7, 3}, {bloc - 6, 3}, {bloc - 1, 2}, {bloc, 2}, {bloc + 1, 2},
                       {5 * bloc + 5, 1}};
     }},
    // Ten records that start just before a block's end, and, for each way of
    // taking letters (none, up to 16, up to lettres_courtes, more), just
    // past it.
    {"AuBoutDUnBloc", 1765200007, [] {
         constexpr std::size_t quatre = 4 * bloc;
         return formes{dix_au_bout_d_un_bloc(courtes - 1, courtes, 32 * bloc, false),
                       dix_au_bout_d_un_bloc(0, 0, quatre, true), dix_au_bout_d_un_bloc(1, 16, quatre, true),
                       dix_au_bout_d_un_bloc(courtes - 15, courtes, quatre, true),
                       dix_au_bout_d_un_bloc(courtes + 1, courtes + 16, quatre, true)};
     }},
    {"PourChaqueLongueurJusquA300", 1765200002, [] { return pour_les_longueurs(0, 300); }},
    {"PourChaqueLongueurDe301A600EtAutourDe4096Et8192", 1765200003,
     [] { return pour_les_longueurs(8192 - 8, 8192 + 8, pour_les_longueurs(4096 - 8, 4096 + 8, pour_les_longueurs(301, 600))); }},
    // The headers' carries, 9 to 10, 99 to 100 and on to 999999 to 1000000,
    // with records of each way of writing them.
    {"QuandLesNumerosPrennentUnChiffre", 1765200006, [] {
         formes f;
         for (std::size_t puissance = 10; puissance <= 1'000'000; puissance *= 10)
             for (std::size_t taille_seq : {0u, 1u, 16u, 17u})
                 if (puissance < 1'000'000 || taille_seq <= 1)
                     for (std::size_t nb_seq : {puissance - 1, puissance, puissance + 1})
                         f.emplace_back(taille_seq, nb_seq);
         return f;
     }},
};

void PrintTo(const graine_et_formes& g, std::ostream* flux)
{
    *flux << g.nom;
}

class ChaqueNoyauDonneLeMemeFichier : public testing::TestWithParam<graine_et_formes> {};

} // namespace

TEST_P(ChaqueNoyauDonneLeMemeFichier, QueRand)
{
    memes_fichiers_de_chaque_noyau(GetParam().graine, GetParam().faire());
}

INSTANTIATE_TEST_SUITE_P(Ecriture, ChaqueNoyauDonneLeMemeFichier, testing::ValuesIn(graines_et_formes),
                         [](const testing::TestParamInfo<graine_et_formes>& i) { return std::string(i.param.nom); });

TEST(Ecriture, UnRandQueLaRepliqueNeSuitPasDonneSesPropresLettres)
{
    // The writer is told another seed than rand's: its replica disagrees from
    // the first value, so every letter must come from rand.
    for (auto [taille_seq, nb_seq] :
         {std::pair{1000, 300}, {static_cast<int>(taille_bloc) + 5, 2}, {10, 30000}, {100, 3000}})
        EXPECT_TRUE(memes_fichiers(ecrire_en_memoire(4242, taille_seq, nb_seq, noyau_du_processeur(), 4243),
                                   fichier_attendu(4242, taille_seq, nb_seq)))
            << taille_seq << " x " << nb_seq;
    // A rand of this executable (appels.cpp), while looked up by name rand
    // is the C library's: it departs from it at every value checked but the
    // last, or only in bits no letter uses, and after. The replica must be
    // checked on them all, in full; then rand draws each letter once.
    for (const auto& [premiers, ecarts] :
         {std::pair{2, std::vector<ecart>{{0, 2}, {63, 0}, {64, 2}}}, {1 << 20, {{0, 1 << 20}, {64, 2}}}}) {
        long tirages = 0;
        appels::tirer = [&, premiers = premiers](int valeur) {
            const long k = tirages++;
            return k == 63 && premiers == 2 ? valeur : valeur ^ (k < 64 ? premiers : 2);
        };
        const std::string obtenu = ecrire_en_memoire(4242, 1000, 300);
        appels::tirer = nullptr;
        EXPECT_TRUE(memes_fichiers(obtenu, fichier_attendu(4242, 1000, 300, ecarts))) << premiers;
        EXPECT_EQ(tirages, 1000 * 300) << "calls of rand";
    }
}

// The portable kernel, but for one operation wrong: in its second step
// (prolonger) since prolongements was 0, one value's bit 1 flipped (a check of one step
// passes it); or the letters of one run at place lettre_fausse of each
// word, on runs that start inside a word only when dedans; or the first
// letter of many runs.
enum class faute { prolongement, lettres, runs };
template <faute f>
struct noyau_faux {
    static constexpr const char* nom =
        f == faute::prolongement ? "faux (steps)" : f == faute::lettres ? "faux (letters)" : "faux (runs)";
    static bool disponible() { return true; }
    static inline int prolongements = 0;
    static inline std::size_t lettre_fausse = 0;
    static inline bool dedans = false;
    static void prolonger(plans_de_bits& plans, std::size_t nombre_valeurs)
    {
        noyau_portable::prolonger(plans, nombre_valeurs);
        plan(plans, 1)[debut_des_calculs / 64] ^= f == faute::prolongement && ++prolongements == 2;
    }
    static void en_lettres(const plans_de_bits& plans, std::size_t position, char* lettres,
                           std::size_t nombre_lettres)
    {
        noyau_portable::en_lettres(plans, position, lettres, nombre_lettres);
        if (f == faute::lettres && (!dedans || position % 64 != 0))
            for (std::size_t i = (lettre_fausse + 64 - position % 64) % 64; i < nombre_lettres; i += 64)
                lettres[i] ^= 'A' ^ 'C';
    }
    static void etaler(const plans_de_bits& plans, std::size_t position, char* destination,
                       std::size_t espacement, std::size_t longueur, unsigned nombre_runs, char* brouillon)
    {
        noyau_portable::etaler(plans, position, destination, espacement, longueur, nombre_runs, brouillon);
        destination[0] ^= f == faute::runs ? 'A' ^ 'C' : 0;
    }
};

TEST(Ecriture, UneVerificationRateeSeRabatSurLeNoyauPortablePuisSurRand)
{
    if (!rand_de_glibc)
        GTEST_SKIP() << "this C library's rand is not the GNU one: the replica never takes over";
    // A kernel whose check fails, of its steps or of its letters, gives way
    // to the one it falls back on, and that one, failing too, to rand; the
    // letters are rand's all the same, for a file of steps and a short one.
    // Where the dynamic linker finds no rand, or finds it in the C library,
    // the replica may take over; not from a rand of another object.
    enum quelle { du_noyau, du_repli, de_rand };
    const std::string attendu = lettres_de_rand(77, 150000);
    const auto memoire = std::make_unique<memoire_source>();
    const int ailleurs = 0;
    auto essayer = [&](auto noyau_essaye, auto repli_essaye, quelle voulue, std::size_t nombre = 150000,
                       ou_est_rand trouve = chercher_rand()) {
        using K = decltype(noyau_essaye);
        using R = decltype(repli_essaye);
        std::srand(77);
        noyau_faux<faute::prolongement>::prolongements = 0;
        avec_source<K, R>(*memoire, 77, static_cast<std::int64_t>(nombre), trouve, [&](auto& source) {
            using S = std::decay_t<decltype(source)>;
            const quelle prise = std::is_same_v<S, source_replique<K>>   ? du_noyau
                                 : std::is_same_v<S, source_replique<R>> ? du_repli
                                                                         : de_rand;
            EXPECT_EQ(prise, voulue) << K::nom << " falling back on " << R::nom;
            std::string lettres(nombre + debord_vecteur, '\0');
            for (std::size_t fait = 0; fait < nombre; fait += 1000)
                placer_lettres(source, lettres.data() + fait, 0, 1000, 1);
            EXPECT_TRUE(memes_fichiers(lettres.substr(0, nombre), attendu.substr(0, nombre)))
                << K::nom << " falling back on " << R::nom << ", " << nombre << " letters";
            return true;
        });
    };
    pour_chaque_noyau([&](auto noyau_essaye) { essayer(noyau_essaye, noyau_portable{}, du_noyau); });
    essayer(noyau_faux<faute::prolongement>{}, noyau_portable{}, du_repli);
    // Wherever in a word a kernel's letters go wrong, on runs that start on
    // a word or only inside one.
    using lettres_fausses = noyau_faux<faute::lettres>;
    for (const bool dedans : {false, true})
        for (const std::size_t lettre : {0, 1, 40, 63}) {
            SCOPED_TRACE("letter " + std::to_string(lettre) + (dedans ? " of runs from inside a word" : " of a word"));
            lettres_fausses::dedans = dedans, lettres_fausses::lettre_fausse = lettre;
            essayer(lettres_fausses{}, noyau_portable{}, du_repli);
        }
    essayer(noyau_faux<faute::runs>{}, noyau_faux<faute::prolongement>{}, de_rand);
    essayer(noyau_faux<faute::runs>{}, noyau_portable{}, du_repli, 5000);
    const void* const bibliotheque = chercher_rand().bibliotheque;
    ASSERT_EQ(chercher_rand().rand, bibliotheque);
    for (const ou_est_rand trouve : {ou_est_rand{nullptr, nullptr}, {nullptr, bibliotheque}, {bibliotheque, nullptr}})
        essayer(noyau_portable{}, noyau_portable{}, du_noyau, 150000, trouve);
    essayer(noyau_portable{}, noyau_portable{}, de_rand, 150000, {&ailleurs, bibliotheque});
}

TEST(Ecriture, ComptesNulsOuNegatifsNeTirentAucuneLettre)
{
    for (auto [taille_seq, nb_seq] : {std::pair{0, 3}, {-1, 3}, {INT32_MIN, 3}, {10, 0}, {10, -5}, {10, INT32_MIN}}) {
        EXPECT_EQ(ecrire_en_memoire(99, taille_seq, nb_seq), nb_seq > 0 ? ">Seq0\n\n>Seq1\n\n>Seq2\n\n" : "");
        // The value rand gives first after srand(99): none was drawn.
        const int suivant = std::rand();
        std::srand(99);
        EXPECT_EQ(suivant, std::rand()) << "rand was called, " << taille_seq << " x " << nb_seq;
    }
    // Headers alone, up to seven digits.
    EXPECT_TRUE(memes_fichiers(ecrire_en_memoire(99, 0, 1'000'001), fichier_attendu(99, 0, 1'000'001)));
}

TEST(Entetes, SuiventLesNumerosJusquAuDernierQuUnFichierCompte)
{
    // Made anew from tens around each power of ten, and at the last a file
    // numbers (record INT32_MAX - 1), then followed ten after ten as the
    // writer follows them: each header is its record's number.
    constexpr std::uint32_t derniere = (INT32_MAX - 1) / 10, dizaines = 3000;
    for (std::uint32_t puissance = 1; puissance <= 1'000'000'000; puissance *= 10) {
        const std::uint32_t depart = std::min(puissance - std::min(puissance, dizaines / 2), derniere + 1 - dizaines);
        entetes h{};
        refaire_entetes(h, depart);
        for (std::uint32_t dizaine = depart; dizaine < depart + dizaines; ++dizaine, dizaine_suivante(h))
            for (unsigned j = 0; j < 10; ++j) {
                const entete e = h.e + static_cast<unsigned char>(j) * h.un;
                const std::string attendu = "\n>Seq" + std::to_string(std::uint64_t{dizaine} * 10 + j) + "\n";
                ASSERT_EQ(std::string(reinterpret_cast<const char*>(&e), h.longueur), attendu);
            }
    }
}

TEST(Ecriture, UneEcritureCourteOuInterrompueEstRepriseEtUneEcritureRateeArreteTout)
{
    // The system may write fewer bytes than asked, down to one, or be
    // interrupted before any: the writer goes on where it stopped. (Each
    // case: the most a write takes, the file's shape.)
    int ecritures = 0;
    for (const auto& [coupe, taille_seq, nb_seq] : {std::tuple{1, 20, 50}, {777, 100, 30000}, {4097, 100, 30000}}) {
        appels::ecrire = [&, coupe = coupe](std::size_t nombre) -> ssize_t {
            if (++ecritures % 3 == 0)
                return errno = EINTR, -1;
            return std::min<ssize_t>(static_cast<ssize_t>(nombre), coupe);
        };
        const std::string obtenu = ecrire_en_memoire(31, taille_seq, nb_seq);
        appels::ecrire = nullptr;
        EXPECT_TRUE(memes_fichiers(obtenu, fichier_attendu(31, taille_seq, nb_seq))) << "cut to " << coupe;
    }
    // A write that fails, or that writes nothing (it would write nothing
    // again): the file has failed, and the writer stops there, however many
    // of its 4.6e18 letters are left.
    std::vector<unsigned char> memoire(taille_memoire());
    for (const int erreur : {ENOSPC, 0}) {
        ecritures = 0;
        appels::ecrire = [&](std::size_t) -> ssize_t {
            if (ecritures++ > 0) {
                std::fputs("the writer wrote again after a failed write\n", stderr);
                std::abort();
            }
            errno = erreur;
            return erreur == 0 ? 0 : -1;
        };
        const int fd = memfd_create("alea.seq", MFD_CLOEXEC);
        errno = 0;
        EXPECT_FALSE(ecrire_sequences(fd, INT32_MAX, INT32_MAX, 5, memoire.data(), noyau_du_processeur()));
        EXPECT_EQ(errno, erreur == 0 ? EIO : erreur);
        EXPECT_EQ(fermer_sequences(fd, false), 255);
    }
    appels::ecrire = nullptr;
    // A close that fails (ecrire_en_memoire's gives 0).
    EXPECT_EQ(fermer_sequences(-1, true), 255);
}

TEST(Ecriture, DemanderPlusDeLettresQueLeFichierNEnAArreteLeProcessus)
{
    // A file has no letter past its last: a writer asking rand for one is
    // at fault, and must not spin.
    auto demander_vingt = [] {
        char lettres[en_cours + debord_vecteur];
        source_rand source{{lettres, 0, 0}, 10};
        // (Up to a vector may be written past the letters asked for.)
        char vingt[20 + debord_vecteur];
        placer_lettres(source, vingt, 0, 20, 1);
    };
    EXPECT_EXIT(demander_vingt(), testing::KilledBySignal(SIGABRT), "");
}

TEST(Ecriture, UnNoyauAbsentOuQueLeProcesseurNaPasEstRefuse)
{
    // Chosen where it is asked for: nothing is written, not even a header.
    std::vector<unsigned char> memoire(taille_memoire());
    for (std::size_t rang = 0; rang <= nombre_noyaux; ++rang) {
        if (rang < nombre_noyaux && noyau_disponible(rang))
            continue;
        const int fd = memfd_create("alea.seq", MFD_CLOEXEC);
        errno = 0;
        EXPECT_FALSE(ecrire_sequences(fd, 10, 3, 1, memoire.data(), rang)) << rang;
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(lseek(fd, 0, SEEK_END), 0);
        close(fd);
    }
}

TEST(Ecriture, LeProcesseurPrendLePlusRapideDesNoyauxDontIlALesInstructions)
{
    // The kernels, fastest first, and whether this processor has the
    // instructions of each, as the compiler's own test reads them.
    const std::vector<std::pair<std::string, bool>> noyaux = {
#if defined(__x86_64__) || defined(__i386__)
        {"avx512", __builtin_cpu_supports("avx512bw") != 0},
        {"avx2", __builtin_cpu_supports("avx2") != 0},
#endif
        {"portable", true}};
    ASSERT_EQ(nombre_noyaux, noyaux.size());
    std::string pris;
    for (std::size_t rang = 0; rang < noyaux.size(); ++rang) {
        EXPECT_EQ(nom_du_noyau(rang), noyaux[rang].first);
        EXPECT_EQ(noyau_disponible(rang), noyaux[rang].second) << noyaux[rang].first;
        if (pris.empty() && noyaux[rang].second)
            pris = noyaux[rang].first;
    }
    EXPECT_EQ(nom_du_noyau(noyau_du_processeur()), pris);
}
