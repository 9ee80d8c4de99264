// SPDX-License-Identifier: MIT
// The executable, run as a user runs it, in a temporary working directory.
#include "outils.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#if defined(__GLIBC__)
#include <libintl.h>
#endif
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
    rlim_t taille_max = RLIM_INFINITY;  // file size limit
    bool sigxfsz_ignore = true;         // with the limit: a write beyond it fails
    rlim_t espace = RLIM_INFINITY;      // address space limit
    std::vector<std::pair<std::string, std::string>> variables;
};

struct resultat {
    int statut = -1;  // exit status, or -1 when killed by a signal
    int signal = 0;
    std::string sortie;
    std::string erreurs;
    unsigned debut = 0, fin = 0;  // the clock's seconds around the run
};

struct execution {
    pid_t pid;
    unsigned debut;
};

class Commande : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string modele = (fs::temp_directory_path() / "brasse_adn.XXXXXX").string();
        ASSERT_NE(mkdtemp(modele.data()), nullptr);
        racine = modele;
        travail = racine / "travail";
        fs::create_directory(travail);
        fichier = (travail / "alea.seq").string();
    }

    void TearDown() override { fs::remove_all(racine); }

    // Starts brasse_adn in the working directory, its outputs to files.
    execution demarrer(const options& o)
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

        const auto debut = static_cast<unsigned>(std::time(nullptr));
        const pid_t pid = fork();
        if (pid == 0) {
            const int sortie = open(sorties[0].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int erreurs = open(sorties[1].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (sortie < 0 || erreurs < 0 || dup2(sortie, 1) < 0 || dup2(erreurs, 2) < 0 ||
                chdir(travail.c_str()) != 0)
                _exit(126);
            for (const auto& [nom, valeur] : o.variables)
                if (setenv(nom.c_str(), valeur.c_str(), 1) != 0)
                    _exit(126);
            // Whatever this process was given, as a shell gives them.
            const bool ignore = o.taille_max != RLIM_INFINITY && o.sigxfsz_ignore;
            std::signal(SIGXFSZ, ignore ? SIG_IGN : SIG_DFL);
            std::signal(SIGPIPE, SIG_DFL);
            const rlimit taille{o.taille_max, o.taille_max}, espace{o.espace, o.espace};
            if ((o.taille_max != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &taille) != 0) ||
                (o.espace != RLIM_INFINITY && setrlimit(RLIMIT_AS, &espace) != 0))
                _exit(126);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        return {pid, debut};
    }

    resultat attendre(execution e)
    {
        resultat r;
        int etat = 0;
        EXPECT_EQ(waitpid(e.pid, &etat, 0), e.pid);
        r.debut = e.debut;
        r.fin = static_cast<unsigned>(std::time(nullptr));
        if (WIFEXITED(etat))
            r.statut = WEXITSTATUS(etat);
        else if (WIFSIGNALED(etat))
            r.signal = WTERMSIG(etat);
        r.sortie = lire_fichier((racine / "sortie").string());
        r.erreurs = lire_fichier((racine / "erreurs").string());
        return r;
    }

    resultat lancer(const options& o) { return attendre(demarrer(o)); }

    // Whether "alea.seq" is the file for one of the seconds the run spanned
    // (see fichier_attendu for depuis and masque_avant).
    testing::AssertionResult fichier_de_la_seconde(const resultat& r, int taille_seq, int nb_seq,
                                                   long depuis = LONG_MAX, int masque_avant = 0)
    {
        const std::string texte = lire_fichier(fichier);
        for (unsigned graine = r.debut; graine <= r.fin; ++graine)
            if (texte == fichier_attendu(graine, taille_seq, nb_seq, depuis, masque_avant))
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
    // the test library's rand is preloaded with that setting, and depuis and
    // masque_avant say which file to expect (fichier_attendu).
    void verifier_execution(const std::vector<std::string>& arguments, int taille_seq, int nb_seq,
                            const std::string& rand_deviant = "", long depuis = LONG_MAX,
                            int masque_avant = 0)
    {
        options o{arguments};
        if (!rand_deviant.empty()) {
            // ASan checks that its runtime is loaded first, which a preload breaks.
            const char* asan = std::getenv("ASAN_OPTIONS");
            const std::string sans_ordre = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
            o.variables = {{"LD_PRELOAD", CHEMIN_RAND_DEVIANT},
                           {"RAND_DEVIANT", rand_deviant},
                           {"ASAN_OPTIONS", sans_ordre}};
        }
        const resultat r = lancer(o);
        ASSERT_EQ(r.statut, 0) << r.erreurs;
        EXPECT_EQ(r.sortie + r.erreurs, "");
        EXPECT_TRUE(fichier_de_la_seconde(r, taille_seq, nb_seq, depuis, masque_avant))
            << "arguments '" << arguments[0] << "' '" << arguments[1] << "'"
            << (rand_deviant.empty() ? "" : " with RAND_DEVIANT=" + rand_deviant);
    }

    fs::path racine;
    fs::path travail;
    std::string fichier;
};

} // namespace

TEST_F(Commande, MauvaisNombreDArgumentsAfficheLUsageEtNeToucheAucunFichier)
{
    const std::vector<std::vector<std::string>> appels{{}, {"4"}, {"4", "3", "2"}};
    for (const auto& arguments : appels) {
        fs::remove(fichier);
        resultat r = lancer({arguments});
        EXPECT_EQ(r.statut, 1);
        EXPECT_EQ(r.sortie, usage);
        EXPECT_EQ(r.erreurs, "");
        EXPECT_FALSE(fs::exists(fichier)) << arguments.size() << " arguments";

        ecrire_ancien_fichier();
        r = lancer({arguments});
        EXPECT_EQ(r.statut, 1);
        EXPECT_EQ(r.sortie, usage);
        EXPECT_EQ(lire_fichier(fichier), "ancien contenu\n") << arguments.size() << " arguments";
    }
}

TEST_F(Commande, EcritLeFichierQueDonneLaGraineDeLaSeconde)
{
    // A longer file left in place must be replaced whole.
    ecrire_ancien_fichier(std::string(5000, 'x'));
    verifier_execution({"4", "3"}, 4, 3);
    EXPECT_EQ(fs::file_size(fichier), 33u);

    verifier_execution({"80", "120"}, 80, 120);
    verifier_execution({"5", "0"}, 5, 0);
    EXPECT_EQ(fs::file_size(fichier), 0u);
}

TEST_F(Commande, ConvertitLesArgumentsSansLesRefuser)
{
    struct cas {
        std::string taille_texte, nb_texte;
        int taille_seq, nb_seq;
    };
    const cas table[] = {
        {"12abc", "2", 12, 2},
        {"+7", "1", 7, 1},
        {"  5", "\t3", 5, 3},
        {"007", "1", 7, 1},
        {"0x10", "2", 0, 2},
        {"-3", "2", -3, 2},
        {"abc", "3", 0, 3},
        {"4", "abc", 4, 0},
        {"4", "-2", 4, 0},
        // Beyond 32 bits only the low 32 bits count, on 32-bit machines too.
        {"4294967298", "2", 2, 2},
        {"3", "4294967298", 3, 2},
        {"2147483648", "2", INT32_MIN, 2},
        {"-4294967295", "1", 1, 1},
        // Beyond 64 bits the conversion saturates: the high limit's low bits make -1,
        // the low limit's make 0.
        {"99999999999999999999", "2", -1, 2},
        {"3", "99999999999999999999", 3, -1},
        {"-99999999999999999999", "2", 0, 2},
        {"3", "-99999999999999999999", 3, 0},
    };
    for (const cas& c : table)
        verifier_execution({c.taille_texte, c.nb_texte}, c.taille_seq, c.nb_seq);
}

TEST_F(Commande, AttendQueLeFichierNeSoitPlusEcritPuisLeRemplaceEntier)
{
    // The test holds the lock as a run still writing the file would.
    ecrire_ancien_fichier();
    const int verrou = open(fichier.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(verrou, LOCK_EX), 0);
    const execution e = demarrer({{"30", "5"}});
    usleep(500000);
    int etat = 0;
    const pid_t fini = waitpid(e.pid, &etat, WNOHANG);
    EXPECT_EQ(fini, 0) << "did not wait for the file";
    EXPECT_EQ(lire_fichier(fichier), "ancien contenu\n") << "emptied while another run writes it";
    close(verrou);
    if (fini != 0)
        return;
    const resultat r = attendre(e);
    EXPECT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_TRUE(fichier_de_la_seconde(r, 30, 5));
}

TEST_F(Commande, SortieSurUnPeripheriquePleinDonne255)
{
    fs::create_symlink("/dev/full", fichier);
    // Small enough to stay in the stream's buffer until the close, then large
    // enough to fail while writing.
    for (const char* nb_seq : {"1", "2000"}) {
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
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.statut, 255);
    EXPECT_EQ(r.erreurs, "");
    EXPECT_LE(fs::file_size(fichier), 10000u);
}

TEST_F(Commande, LimiteDeTailleOuTubeSansLecteurArreteLeProcessusParUnSignal)
{
    // As for any program: with SIGXFSZ at its default, the kernel kills it.
    options o{{"1000", "100"}};
    o.taille_max = 10000;
    o.sigxfsz_ignore = false;
    resultat r = lancer(o);
    EXPECT_EQ(r.signal, SIGXFSZ);
    EXPECT_EQ(r.statut, -1);

    // A named pipe whose reader quits after a few bytes: SIGPIPE.
    fs::remove(fichier);
    ASSERT_EQ(mkfifo(fichier.c_str(), 0644), 0);
    const pid_t lecteur = fork();
    if (lecteur == 0) {
        const int fd = open(fichier.c_str(), O_RDONLY);
        char debut[10];
        _exit(fd >= 0 && read(fd, debut, sizeof debut) > 0 ? 0 : 1);
    }
    r = lancer({{"1000", "100000"}});
    int etat = 0;
    EXPECT_EQ(waitpid(lecteur, &etat, 0), lecteur);
    EXPECT_TRUE(WIFEXITED(etat) && WEXITSTATUS(etat) == 0) << "the reader read nothing";
    EXPECT_EQ(r.signal, SIGPIPE);
    EXPECT_EQ(r.statut, -1);
}

TEST_F(Commande, FichierImpossibleAOuvrirDonne255EtUneLigneDErreur)
{
    fs::create_directory(fichier);
    // The system's reason in the messages' language, French where the system
    // has it: the messages' locale alone, whatever the others say.
    std::vector<std::pair<std::string, std::string>> langues = {{"C", std::strerror(EISDIR)}};
    if (std::setlocale(LC_MESSAGES, "fr_FR.UTF-8") != nullptr) {
#if defined(__GLIBC__)
        bind_textdomain_codeset("libc", "UTF-8");
#endif
        if (std::string(std::strerror(EISDIR)) != langues[0].second)
            langues.emplace_back("fr_FR.UTF-8", std::strerror(EISDIR));
        std::setlocale(LC_MESSAGES, "C");
    }
    if (langues.size() == 1)
        std::cout << "[ NOTE ] no French messages on this system: only the C locale tried\n";
    for (const auto& [langue, raison] : langues) {
        options o{{"4", "3"}};
        o.variables = {{"LC_ALL", ""}, {"LANGUAGE", ""}, {"LC_MESSAGES", langue}, {"LC_NUMERIC", "fr_FR.UTF-8"}};
        const resultat r = lancer(o);
        EXPECT_EQ(r.statut, 255);
        EXPECT_EQ(r.sortie, "");
        EXPECT_EQ(r.erreurs, "brasse_adn : impossible d'ouvrir alea.seq en écriture : " + raison + "\n");
        EXPECT_TRUE(fs::is_empty(fichier));
    }
}

TEST_F(Commande, UnFichierMisALaPlaceDeCeluiAttenduEstCeluiQuiEstEcrit)
{
    // While the run waits for the lock on the file it opened, another is
    // renamed over it: the run writes the new one, and the old is left whole.
    ecrire_ancien_fichier();
    const int ancien = open(fichier.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(ancien, LOCK_EX), 0);
    const execution e = demarrer({{"30", "5"}});
    usleep(300000);
    const std::string nouveau = (travail / "nouveau").string();
    std::ofstream(nouveau) << "nouveau\n";
    ASSERT_EQ(std::rename(nouveau.c_str(), fichier.c_str()), 0);
    flock(ancien, LOCK_UN);
    const resultat r = attendre(e);
    EXPECT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_TRUE(fichier_de_la_seconde(r, 30, 5));
    char reste[64] = {};
    EXPECT_EQ(std::string(reste, static_cast<std::size_t>(pread(ancien, reste, sizeof reste, 0))),
              "ancien contenu\n");
    close(ancien);
}

TEST_F(Commande, AvecUnAutreRandLeFichierSuitCeRand)
{
    // A preloaded rand that departs from the C library's: from the first
    // value, at the last value checked, and in bits no letter uses.
    verifier_execution({"1000", "300"}, 1000, 300, "0 0", 0, 0);
    verifier_execution({"1000", "300"}, 1000, 300, "63 0", 63, 0);
    verifier_execution({"1000", "300"}, 1000, 300, "64 1048576", 64, 1 << 20);
}

TEST_F(Commande, PasseLesValeursVerifieesLeFichierEstCeluiDeLaReplique)
{
    if (!rand_de_glibc)
        GTEST_SKIP() << "this C library's rand is not the GNU one: the replica never takes over";
    // A rand that departs only after the values checked is not followed: the
    // rest of the file is the replica's, proof that it did take over.
    verifier_execution({"1000", "300"}, 1000, 300, "64 0");
}

TEST_F(Commande, SansAssezDeMemoireDonne255EtLaisseLAncienFichier)
{
    if (sous_asan)
        GTEST_SKIP() << "AddressSanitizer reserves far more address space than these limits";
    const char* const emulateur[] = {EMULATEUR nullptr};
    if (emulateur[0] != nullptr)
        GTEST_SKIP() << "under an emulator the limit would apply to the emulator";

    // From limits too tight for the program to start (the usage text, which
    // needs no memory of ours, tells) to limits with room to spare.
    int refus = 0, reussites = 0;
    rlim_t premiere_reussite = 0;
    options usage_seul, essai{{"100", "1000"}};
    for (rlim_t espace = 1 << 20; espace <= 24 << 20; espace += 128 << 10) {
        usage_seul.espace = essai.espace = espace;
        const resultat u = lancer(usage_seul);
        if (u.statut != 1 || u.sortie != usage)
            continue;
        ecrire_ancien_fichier();
        const resultat r = lancer(essai);
        ASSERT_EQ(r.signal, 0) << "limit " << espace;
        if (r.statut == 0) {
            ++reussites;
            if (premiere_reussite == 0)
                premiere_reussite = espace;
            EXPECT_TRUE(fichier_de_la_seconde(r, 100, 1000)) << "limit " << espace;
        } else {
            ++refus;
            EXPECT_EQ(r.statut, 255) << "limit " << espace;
            EXPECT_EQ(lire_fichier(fichier), "ancien contenu\n") << "limit " << espace;
            // One line of ours, not the C++ runtime's.
            EXPECT_EQ(r.erreurs.rfind("brasse_adn : ", 0), 0u) << r.erreurs;
            EXPECT_EQ(std::count(r.erreurs.begin(), r.erreurs.end(), '\n'), 1) << r.erreurs;
        }
    }
    EXPECT_GT(refus, 0) << "no limit let the program start yet refused it the memory";
    ASSERT_GT(reussites, 0) << "no limit let the program write the file";

    // Where the smallest file was just written, one two hundred times larger
    // is too: the memory does not grow with the counts.
    options grand{{"1000", "20000"}};
    grand.espace = premiere_reussite;
    const resultat r = lancer(grand);
    EXPECT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_TRUE(fichier_de_la_seconde(r, 1000, 20000));
}
