// SPDX-License-Identifier: MIT
// The executable, run as a user runs it, in a temporary working directory.
#include "unites.hpp"
#include "outils.hpp"
#include "sequences.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <iostream>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char usage[] = " Utilisation :\n brasse_adn taille_seq nb_seq\n";

// How to run the executable: its arguments, and what a shell or a user may
// set around it.
struct options {
    options(std::vector<std::string> a = {}) : arguments(std::move(a)) {}
    std::vector<std::string> arguments;
    rlim_t taille_max = RLIM_INFINITY;  // file size limit, SIGXFSZ ignored
    bool entree_fermee = false;         // no standard input
    std::vector<std::pair<std::string, std::string>> variables;
    ecart rand_deviant{-1, 0};        // a preloaded rand that departs so, when depuis >= 0
    std::size_t memoire_refusee = 0;  // a preloaded calloc refuses as many bytes
};

struct resultat {
    int statut = -1;  // exit status, or -1 when killed by a signal
    std::string sortie;
    std::string erreurs;
    unsigned debut = 0, fin = 0;  // the clock's seconds around the run
    long memoire = 0;             // its largest resident size, in KiB
};

class Commande : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(travail);
        fichier = (travail / "alea.seq").string();
    }

    // Runs brasse_adn in the working directory, its outputs to files.
    resultat lancer(const options& o)
    {
        // Cross-built, through the emulator that runs these tests.
        const char* const emulateur[] = {EMULATEUR nullptr};
        std::vector<char*> argv;
        for (const char* const* mot = emulateur; *mot != nullptr; ++mot)
            argv.push_back(const_cast<char*>(*mot));
        argv.push_back(const_cast<char*>(CHEMIN_BRASSE_ADN));
        for (const auto& argument : o.arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const std::string sorties[] = {(racine / "sortie").string(), (racine / "erreurs").string()};

        resultat r;
        r.debut = static_cast<unsigned>(std::time(nullptr));
        const pid_t pid = fork();
        if (pid == 0) {
            const int sortie = open(sorties[0].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int erreurs = open(sorties[1].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (sortie < 0 || erreurs < 0 || dup2(sortie, 1) < 0 || dup2(erreurs, 2) < 0 ||
                chdir(travail.c_str()) != 0 || (o.entree_fermee && close(0) != 0))
                _exit(126);
            auto variables = o.variables;
            std::string prechargees;
            if (o.rand_deviant.depuis >= 0) {
                prechargees = CHEMIN_RAND_DEVIANT;
                variables.emplace_back("RAND_DEVIANT", std::to_string(o.rand_deviant.depuis) + " " +
                                                           std::to_string(o.rand_deviant.masque));
            }
            if (o.memoire_refusee != 0) {
                prechargees = CHEMIN_MEMOIRE_REFUSEE;
                variables.emplace_back("MEMOIRE_REFUSEE", std::to_string(o.memoire_refusee));
            }
            if (!prechargees.empty()) {
                // ASan checks that its runtime is loaded first, which a preload breaks.
                const char* asan = std::getenv("ASAN_OPTIONS");
                variables.insert(variables.end(),
                                 {{"LD_PRELOAD", prechargees},
                                  {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}});
            }
            for (const auto& [nom, valeur] : variables)
                if (setenv(nom.c_str(), valeur.c_str(), 1) != 0)
                    _exit(126);
            // Whatever this process was given, as a shell gives them.
            std::signal(SIGXFSZ, o.taille_max != RLIM_INFINITY ? SIG_IGN : SIG_DFL);
            std::signal(SIGPIPE, SIG_DFL);
            const rlimit taille{o.taille_max, o.taille_max};
            if (o.taille_max != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &taille) != 0)
                _exit(126);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int etat = 0;
        rusage usage{};
        EXPECT_EQ(wait4(pid, &etat, 0, &usage), pid);
        r.memoire = usage.ru_maxrss;
        r.fin = static_cast<unsigned>(std::time(nullptr));
        r.statut = WIFEXITED(etat) ? WEXITSTATUS(etat) : -1;
        r.sortie = lire_fichier((racine / "sortie").string());
        r.erreurs = lire_fichier((racine / "erreurs").string());
        return r;
    }

    // Whether "alea.seq" is the file for one of the seconds the run spanned,
    // from a rand that departs so from the C library's.
    testing::AssertionResult fichier_de_la_seconde(const resultat& r, int taille_seq, int nb_seq,
                                                   const std::vector<ecart>& ecarts = {})
    {
        const std::string texte = lire_fichier(fichier);
        for (unsigned graine = r.debut; graine <= r.fin; ++graine)
            if (texte == fichier_attendu(graine, taille_seq, nb_seq, ecarts))
                return testing::AssertionSuccess();
        return testing::AssertionFailure() << "not the file of " << taille_seq << " x " << nb_seq
                                           << " for any second of the run; it begins:\n"
                                           << texte.substr(0, 200);
    }

    void ecrire_ancien_fichier(const std::string& texte = "ancien contenu\n")
    {
        std::ofstream(fichier, std::ios::binary) << texte;
    }

    // Runs a successful command and checks "alea.seq". With rand_deviant,
    // the test library's rand is preloaded with that departure, and the
    // file follows it.
    void verifier_execution(const options& o, int taille_seq, int nb_seq)
    {
        const resultat r = lancer(o);
        ASSERT_EQ(r.statut, 0) << r.erreurs;
        EXPECT_EQ(r.sortie + r.erreurs, "");
        const std::vector<ecart> ecarts(o.rand_deviant.depuis >= 0, o.rand_deviant);
        EXPECT_TRUE(fichier_de_la_seconde(r, taille_seq, nb_seq, ecarts))
            << "arguments '" << o.arguments[0] << "' '" << o.arguments[1] << "'";
    }

    dossier_temporaire dossier;
    fs::path racine = dossier.chemin;
    fs::path travail = racine / "travail";
    std::string fichier;
};

} // namespace

TEST_F(Commande, MauvaisNombreDArgumentsAfficheLUsageEtNeToucheAucunFichier)
{
    const std::vector<std::vector<std::string>> appels{{}, {"4"}, {"4", "3", "2"}};
    for (const auto& arguments : appels)
        for (const bool ancien : {false, true}) {
            fs::remove(fichier);
            if (ancien)
                ecrire_ancien_fichier();
            const resultat r = lancer({arguments});
            EXPECT_EQ(r.statut, 1);
            EXPECT_EQ(r.sortie, usage);
            EXPECT_EQ(r.erreurs, "");
            EXPECT_EQ(fs::exists(fichier) ? lire_fichier(fichier) : "(none)", ancien ? "ancien contenu\n" : "(none)")
                << arguments.size() << " arguments";
        }
}

TEST_F(Commande, EcritLeFichierQueDonneLaGraineDeLaSeconde)
{
    // A longer file left in place must be replaced whole.
    ecrire_ancien_fichier(std::string(5000, 'x'));
    verifier_execution({{"4", "3"}}, 4, 3);

    verifier_execution({{"80", "120"}}, 80, 120);
    verifier_execution({{"5", "0"}}, 5, 0);
    EXPECT_EQ(fs::file_size(fichier), 0u);

    // Standard input closed: the file is descriptor 0.
    ecrire_ancien_fichier();
    options o{{"4", "3"}};
    o.entree_fermee = true;
    verifier_execution(o, 4, 3);
}

TEST_F(Commande, SortieSurUnPeripheriquePleinDonne255)
{
    fs::create_symlink("/dev/full", fichier);
    // Small enough to be written only at the end, in the last write, then
    // large enough to fail while writing: two blocks of output.
    for (const std::string& nb_seq : {std::string("1"), std::to_string(2 * taille_bloc / 100)}) {
        const resultat r = lancer({{"100", nb_seq}});
        EXPECT_EQ(r.statut, 255) << nb_seq << " records";
        EXPECT_EQ(r.sortie, "");
        EXPECT_EQ(r.erreurs, "");
    }
}

TEST_F(Commande, LimiteDeTailleDeFichierDonne255SansSignal)
{
    options o{{"1000", "100"}};
    o.taille_max = 10000;
    const resultat r = lancer(o);
    EXPECT_EQ(r.statut, 255) << "-1: killed by a signal";
    EXPECT_EQ(r.erreurs, "");
    EXPECT_LE(fs::file_size(fichier), 10000u);
}

TEST_F(Commande, FichierImpossibleAOuvrirDonne255EtUneLigneDErreur)
{
    fs::create_directory(fichier);
    // The system's reason in the messages' language, French where the system
    // has it: the messages' locale alone, whatever the others say, even
    // naming a locale the system lacks.
    // (Their characters from LC_CTYPE here: binding the C library's messages
    // to UTF-8 in this process would hide a raison() that does not.)
    std::vector<std::pair<std::string, std::string>> langues = {{"C", std::strerror(EISDIR)}};
    if (std::setlocale(LC_MESSAGES, "fr_FR.UTF-8") != nullptr && std::setlocale(LC_CTYPE, "fr_FR.UTF-8") != nullptr &&
        std::string(std::strerror(EISDIR)) != langues[0].second)
        langues.emplace_back("fr_FR.UTF-8", std::strerror(EISDIR));
    std::setlocale(LC_MESSAGES, "C");
    std::setlocale(LC_CTYPE, "C");
    if (langues.size() == 1)
        std::cout << "[ NOTE ] no French messages on this system: only the C locale tried\n";
    for (const auto& [langue, raison] : langues) {
        options o{{"4", "3"}};
        o.variables = {{"LC_ALL", ""}, {"LANGUAGE", ""}, {"LC_MESSAGES", langue}, {"LC_NUMERIC", "fr_FR.UTF-8"},
                       {"LC_CTYPE", "xx_XX.UTF-8"}};
        const resultat r = lancer(o);
        EXPECT_EQ(r.statut, 255);
        EXPECT_EQ(r.sortie, "");
        EXPECT_EQ(r.erreurs, "brasse_adn : impossible d'ouvrir alea.seq en écriture : " + raison + "\n");
        EXPECT_TRUE(fs::is_empty(fichier));
    }
}

TEST_F(Commande, UnLienEstSuiviMemeVersRienEtGarde)
{
    // As opening for writing does: through a link, to a file there or to
    // none yet, which the run then creates.
    const std::string cible = (travail / "cible").string();
    fs::create_symlink("cible", fichier);
    for (const bool existe : {false, true}) {
        if (existe)
            std::ofstream(cible) << "ancien contenu\n";
        verifier_execution({{"30", "5"}}, 30, 5);
        EXPECT_TRUE(fs::is_symlink(fichier));
        EXPECT_TRUE(fs::is_regular_file(cible)) << (existe ? "existing target" : "no target");
        fs::remove(cible);
    }
}

TEST_F(Commande, AvecUnAutreRandLeFichierSuitCeRand)
{
    // A preloaded rand that gives the C library's values up to those
    // checked, then departs: only where it is found tells it apart.
    options o{{"1000", "300"}};
    o.rand_deviant = {64, 2};
    verifier_execution(o, 1000, 300);
}

TEST_F(Commande, SansAssezDeMemoireDonne255EtLaisseLAncienFichier)
{
    // All the memory the writer needs is asked for before the file is
    // touched; refused, the run says so in one line.
    ecrire_ancien_fichier();
    options o{{"100", "1000"}};
    o.memoire_refusee = taille_memoire();
    const resultat r = lancer(o);
    EXPECT_EQ(r.statut, 255);
    EXPECT_EQ(r.sortie, "");
    EXPECT_EQ(r.erreurs, "brasse_adn : mémoire insuffisante, alea.seq n'a pas été touché\n");
    EXPECT_EQ(lire_fichier(fichier), "ancien contenu\n");

    // Given it, a run of ten times as many bytes, past the first block of
    // output both, takes no more.
    const std::string deux_blocs = std::to_string(2 * taille_bloc / 100);
    const resultat petit = lancer({{"100", deux_blocs}}), grand = lancer({{"1000", deux_blocs}});
    EXPECT_EQ(petit.statut + grand.statut, 0);
    EXPECT_LT(grand.memoire, petit.memoire + 1024) << "KiB";
}
