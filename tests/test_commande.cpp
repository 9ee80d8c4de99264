// SPDX-License-Identifier: MIT
// The executable, run as a user runs it, in a temporary working directory.
#include "outils.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#if defined(__GLIBC__)
#include <libintl.h>
#endif
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstddef>
#include <iostream>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char usage[] = " Utilisation :\n brasse_adn taille_seq nb_seq\n";

// System calls of the run, as a seccomp filter set before exec tells them
// apart: a stat of a name that follows links (the re-check of "alea.seq"),
// a stat of an open file, the emptying of a file, the wait for a lock.
enum class appel { etat_du_nom, etat_du_fichier, vidage, verrou };
// One that fails with the error given.
struct panne {
    appel quoi;
    int erreur;
};

// How to run the executable: its arguments, and what a shell or a user may
// set around it.
struct options {
    options(std::vector<std::string> a = {}) : arguments(std::move(a)) {}
    std::vector<std::string> arguments;
    rlim_t taille_max = RLIM_INFINITY;  // file size limit
    bool sigxfsz_ignore = true;         // with the limit: a write beyond it fails
    rlim_t espace = RLIM_INFINITY;      // address space limit
    std::vector<std::pair<std::string, std::string>> variables;
    std::vector<ecart> rand_deviant;  // a preloaded rand that departs so
    std::optional<panne> echec;
    // Calls held, each until the test answers it (execution::ecoute).
    std::optional<appel> tenu;
};

// The status of a child that could set no seccomp filter (an emulator refuses them).
constexpr int sans_filtre = 125;

// Appends to f, for each system call that makes c: return resultat when the
// low 32 bits of the arguments given, under a mask, have the values given.
void regles(std::vector<sock_filter>& f, appel c, std::uint32_t resultat)
{
    struct condition {
        unsigned argument;
        std::uint32_t masque, valeur;
    };
    auto regle = [&](long nr, std::initializer_list<condition> conditions) {
        const std::size_t fin = f.size() + 3 + 3 * conditions.size();
        auto sinon_fin = [&](std::uint32_t valeur) {
            f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, valeur, 0,
                                 static_cast<std::uint8_t>(fin - f.size() - 1)));
        };
        f.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
        sinon_fin(static_cast<std::uint32_t>(nr));
        for (const condition& k : conditions) {
            const bool gros = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
            f.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS,
                                 static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * k.argument +
                                                            (gros ? 4 : 0))));
            f.push_back(BPF_STMT(BPF_ALU | BPF_AND | BPF_K, k.masque));
            sinon_fin(k.valeur);
        }
        f.push_back(BPF_STMT(BPF_RET | BPF_K, resultat));
    };
    // The stat family: from the working directory and following links (a
    // name), or of the descriptor itself (a file).
    const auto ici = static_cast<std::uint32_t>(AT_FDCWD);
    const std::uint32_t sans_lien = AT_SYMLINK_NOFOLLOW, vide = AT_EMPTY_PATH;
    auto etat = [&](long nr, unsigned drapeaux) {
        if (c == appel::etat_du_nom)
            regle(nr, {{0, ~0u, ici}, {drapeaux, sans_lien | vide, 0}});
        else
            regle(nr, {{drapeaux, vide, vide}});
    };
    switch (c) {
    case appel::etat_du_nom:
    case appel::etat_du_fichier: {
#ifdef __NR_newfstatat
        etat(__NR_newfstatat, 3);
#endif
#ifdef __NR_fstatat64
        etat(__NR_fstatat64, 3);
#endif
#ifdef __NR_statx
        etat(__NR_statx, 2);
#endif
        // (The older system calls: of a name, and of a descriptor.)
        const bool du_nom = c == appel::etat_du_nom;
#ifdef __NR_stat
        if (du_nom)
            regle(__NR_stat, {});
#endif
#ifdef __NR_stat64
        if (du_nom)
            regle(__NR_stat64, {});
#endif
#ifdef __NR_fstat
        if (!du_nom)
            regle(__NR_fstat, {});
#endif
#ifdef __NR_fstat64
        if (!du_nom)
            regle(__NR_fstat64, {});
#endif
        break;
    }
    case appel::vidage:
#ifdef __NR_ftruncate
        regle(__NR_ftruncate, {});
#endif
#ifdef __NR_ftruncate64
        regle(__NR_ftruncate64, {});
#endif
        break;
    case appel::verrou:
        regle(__NR_flock, {{1, ~0u, LOCK_EX}});
        break;
    }
}

// A byte through a Unix socket, and a file descriptor with it.
struct message_fd {
    char octet = 0;
    iovec donnee{&octet, 1};
    alignas(cmsghdr) char place[CMSG_SPACE(sizeof(int))] = {};
    msghdr m{};
    message_fd()
    {
        m.msg_iov = &donnee;
        m.msg_iovlen = 1;
        m.msg_control = place;
        m.msg_controllen = sizeof place;
    }
};

// In the child before exec: sets o's filter, and sends its listener, if
// any, through the socket. False when it can't.
bool poser_filtre(const options& o, int prise)
{
    std::vector<sock_filter> f;
    if (o.echec)
        regles(f, o.echec->quoi, SECCOMP_RET_ERRNO | static_cast<std::uint32_t>(o.echec->erreur));
    if (o.tenu)
        regles(f, *o.tenu, SECCOMP_RET_USER_NOTIF);
    f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog programme{static_cast<unsigned short>(f.size()), f.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    const long ecoute = syscall(__NR_seccomp, SECCOMP_SET_MODE_FILTER,
                                o.tenu ? SECCOMP_FILTER_FLAG_NEW_LISTENER : 0, &programme);
    if (ecoute < 0 || !o.tenu)
        return ecoute == 0;
    message_fd message;
    cmsghdr* entete = CMSG_FIRSTHDR(&message.m);
    entete->cmsg_level = SOL_SOCKET;
    entete->cmsg_type = SCM_RIGHTS;
    entete->cmsg_len = CMSG_LEN(sizeof(int));
    const int fd = static_cast<int>(ecoute);
    std::memcpy(CMSG_DATA(entete), &fd, sizeof fd);
    return sendmsg(prise, &message.m, 0) == 1;
}

// The listener the child sent, or -1 when it sent none.
int recevoir_ecoute(int prise)
{
    message_fd message;
    const cmsghdr* entete =
        recvmsg(prise, &message.m, MSG_CMSG_CLOEXEC) == 1 ? CMSG_FIRSTHDR(&message.m) : nullptr;
    int fd = -1;
    if (entete != nullptr && entete->cmsg_type == SCM_RIGHTS)
        std::memcpy(&fd, CMSG_DATA(entete), sizeof fd);
    return fd;
}

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
    int ecoute;  // with options::tenu: where the run's calls are held
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

        int prises[2] = {-1, -1};
        if (o.tenu) {
            EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, prises), 0);
        }
        const auto debut = static_cast<unsigned>(std::time(nullptr));
        const pid_t pid = fork();
        if (pid == 0) {
            const int sortie = open(sorties[0].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int erreurs = open(sorties[1].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (sortie < 0 || erreurs < 0 || dup2(sortie, 1) < 0 || dup2(erreurs, 2) < 0 ||
                chdir(travail.c_str()) != 0)
                _exit(126);
            auto variables = o.variables;
            if (!o.rand_deviant.empty()) {
                std::string ecarts;
                for (const ecart& e : o.rand_deviant)
                    ecarts += std::to_string(e.depuis) + " " + std::to_string(e.masque) + " ";
                // ASan checks that its runtime is loaded first, which a preload breaks.
                const char* asan = std::getenv("ASAN_OPTIONS");
                variables.insert(variables.end(),
                                 {{"LD_PRELOAD", CHEMIN_RAND_DEVIANT},
                                  {"RAND_DEVIANT", ecarts},
                                  {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}});
            }
            for (const auto& [nom, valeur] : variables)
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
            if ((o.echec || o.tenu) && !poser_filtre(o, prises[1]))
                _exit(sans_filtre);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int ecoute = -1;
        if (o.tenu) {
            close(prises[1]);
            ecoute = recevoir_ecoute(prises[0]);
            close(prises[0]);
        }
        return {pid, debut, ecoute};
    }

    resultat attendre(execution e)
    {
        resultat r;
        int etat = 0;
        // Without the listener, a call still held fails: the run can't hang.
        if (e.ecoute >= 0)
            close(e.ecoute);
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

    // Starts the run with its calls held (options::tenu); false when no
    // filter could be set, and the run has ended.
    bool demarrer_avec_appels_tenus(const options& o, execution& e)
    {
        e = demarrer(o);
        if (e.ecoute >= 0)
            return true;
        const resultat r = attendre(e);
        EXPECT_EQ(r.statut, sans_filtre) << r.erreurs;
        return false;
    }

    // The run's next held call; false when the run ended, or made none
    // within 5 s.
    static bool appel_tenu(const execution& e, seccomp_notif& demande)
    {
        pollfd attente{e.ecoute, POLLIN, 0};
        demande = {};
        return poll(&attente, 1, 5000) == 1 && (attente.revents & POLLIN) != 0 &&
               ioctl(e.ecoute, SECCOMP_IOCTL_NOTIF_RECV, &demande) == 0;
    }

    // Lets a held call go on (erreur 0), or makes it fail with erreur.
    static void repondre(const execution& e, const seccomp_notif& demande, int erreur)
    {
        seccomp_notif_resp reponse{};
        reponse.id = demande.id;
        reponse.error = -erreur;
        reponse.flags = erreur == 0 ? SECCOMP_USER_NOTIF_FLAG_CONTINUE : 0;
        EXPECT_EQ(ioctl(e.ecoute, SECCOMP_IOCTL_NOTIF_SEND, &reponse), 0);
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
    // the test library's rand is preloaded with those departures, and the
    // file follows it, unless suivi is false.
    void verifier_execution(const std::vector<std::string>& arguments, int taille_seq, int nb_seq,
                            const std::vector<ecart>& rand_deviant = {}, bool suivi = true)
    {
        options o{arguments};
        o.rand_deviant = rand_deviant;
        const resultat r = lancer(o);
        ASSERT_EQ(r.statut, 0) << r.erreurs;
        EXPECT_EQ(r.sortie + r.erreurs, "");
        std::string ecarts;
        for (const ecart& e : rand_deviant)
            ecarts += " " + std::to_string(e.depuis) + ": " + std::to_string(e.masque);
        EXPECT_TRUE(fichier_de_la_seconde(r, taille_seq, nb_seq, suivi ? rand_deviant : std::vector<ecart>{}))
            << "arguments '" << arguments[0] << "' '" << arguments[1] << "'"
            << (ecarts.empty() ? "" : ", rand departing from value" + ecarts);
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

TEST_F(Commande, UnLienEstSuiviMemeVersRienEtGarde)
{
    // As opening for writing does: through a link, to a file there or to
    // none yet, which the run then creates.
    const std::string cible = (travail / "cible").string();
    fs::create_symlink("cible", fichier);
    for (const bool existe : {false, true}) {
        if (existe)
            std::ofstream(cible) << "ancien contenu\n";
        verifier_execution({"30", "5"}, 30, 5);
        EXPECT_TRUE(fs::is_symlink(fichier));
        EXPECT_TRUE(fs::is_regular_file(cible)) << (existe ? "existing target" : "no target");
        fs::remove(cible);
    }
}

// The name of the system's reason in the C locale, and the variables that
// make the run speak it.
const std::vector<std::pair<std::string, std::string>> messages_c = {
    {"LC_ALL", ""}, {"LANGUAGE", ""}, {"LC_MESSAGES", "C"}};

TEST_F(Commande, UneExecutionQuiRenonceNeRetireQueCeQuElleSeuleAFait)
{
    // What the name gives before the run, the failure made, what the run
    // says, and what the name gives after it: a file it created and that
    // is still empty goes; anything else stays as it was.
    enum class nom { rien, vide, ancien, lien_vers_rien };
    struct cas {
        nom avant;
        panne p;
        std::string message;
        nom apres;
    };
    const std::string etat = "impossible de lire l'état de alea.seq : ";
    const cas table[] = {
        {nom::rien, {appel::etat_du_nom, EIO}, etat + std::strerror(EIO), nom::rien},
        {nom::vide, {appel::etat_du_nom, EIO}, etat + std::strerror(EIO), nom::vide},
        {nom::ancien, {appel::vidage, EIO}, std::string("impossible de vider alea.seq : ") + std::strerror(EIO),
         nom::ancien},
        // (The link's target, created through it, stays: never removed through a link.)
        {nom::lien_vers_rien, {appel::etat_du_nom, EACCES}, etat + std::strerror(EACCES), nom::lien_vers_rien},
    };
    const std::string cible = (travail / "cible").string();
    for (const cas& c : table) {
        fs::remove(fichier);
        fs::remove(cible);
        if (c.avant == nom::vide || c.avant == nom::ancien)
            ecrire_ancien_fichier(c.avant == nom::vide ? "" : "ancien contenu\n");
        if (c.avant == nom::lien_vers_rien)
            fs::create_symlink("cible", fichier);
        options o{{"30", "5"}};
        o.echec = c.p;
        o.variables = messages_c;
        const resultat r = lancer(o);
        if (r.statut == sans_filtre)
            GTEST_SKIP() << "no seccomp filter here (an emulator refuses them)";
        EXPECT_EQ(r.statut, 255);
        EXPECT_EQ(r.erreurs, "brasse_adn : " + c.message + "\n");
        switch (c.apres) {
        case nom::rien:
            EXPECT_FALSE(fs::exists(fs::symlink_status(fichier))) << c.message;
            break;
        case nom::vide:
        case nom::ancien:
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(fichier))) << c.message;
            EXPECT_EQ(lire_fichier(fichier), c.apres == nom::vide ? "" : "ancien contenu\n");
            break;
        case nom::lien_vers_rien:
            EXPECT_TRUE(fs::is_symlink(fichier));
            EXPECT_TRUE(fs::is_regular_file(cible));
            break;
        }
    }
}

TEST_F(Commande, UneExecutionQuiRenonceLaisseLeFichierDUneAutre)
{
    // The run creates alea.seq; another run (the test) takes its lock first.
    // Either it writes its whole file and lets go, and the run can't empty
    // it; or, before it writes, the run can't read the file's state. Either
    // way the run gives up, and the other's file stays.
    struct cas {
        appel tenu;  // where the other run steps in
        panne p;
        std::string entier;  // what the other writes
        std::string message;
    };
    const cas table[] = {
        {appel::verrou, {appel::vidage, EIO}, ">Seq0\nACGT\n", "impossible de vider alea.seq : "},
        {appel::etat_du_fichier, {}, "", "impossible de lire l'état de alea.seq : "},
    };
    for (const cas& c : table) {
        fs::remove(fichier);
        options o{{"30", "5"}};
        o.tenu = c.tenu;
        if (c.p.erreur != 0)
            o.echec = c.p;
        o.variables = messages_c;
        execution e{};
        if (!demarrer_avec_appels_tenus(o, e))
            GTEST_SKIP() << "no seccomp filter here (an emulator refuses them)";
        // The loader's calls go on; the first once alea.seq is there is the run's.
        int autre = -1;
        seccomp_notif demande;
        while (appel_tenu(e, demande)) {
            if (autre >= 0 || !fs::exists(fichier)) {
                repondre(e, demande, 0);
                continue;
            }
            autre = open(fichier.c_str(), O_WRONLY | O_CLOEXEC);
            EXPECT_EQ(flock(autre, LOCK_EX | LOCK_NB), 0);
            EXPECT_EQ(write(autre, c.entier.data(), c.entier.size()), static_cast<ssize_t>(c.entier.size()));
            if (c.tenu == appel::verrou) {
                repondre(e, demande, 0);
                close(autre);
            } else {
                repondre(e, demande, EIO);
            }
        }
        const resultat r = attendre(e);
        close(autre);
        EXPECT_NE(autre, -1) << "the run never made that call";
        EXPECT_EQ(r.statut, 255);
        EXPECT_EQ(r.erreurs, "brasse_adn : " + c.message + std::strerror(EIO) + "\n");
        EXPECT_TRUE(fs::is_regular_file(fichier)) << c.message;
        EXPECT_EQ(lire_fichier(fichier), c.entier);
    }
}

TEST_F(Commande, UnNomQuiDisparaitAChaqueAttenteFaitRenoncerApresHuitEssais)
{
    // Each time the run holds the lock, the name it opened is gone: it opens
    // it anew, up to 8 times, then gives up; the files it made go too.
    options o{{"30", "5"}};
    o.tenu = appel::etat_du_nom;
    o.variables = messages_c;
    execution e{};
    if (!demarrer_avec_appels_tenus(o, e))
        GTEST_SKIP() << "no seccomp filter here (an emulator refuses them)";
    int essais = 0;
    seccomp_notif demande;
    while (appel_tenu(e, demande)) {
        const bool du_nom = fs::exists(fichier);
        essais += du_nom;
        repondre(e, demande, du_nom ? ENOENT : 0);
    }
    const resultat r = attendre(e);
    EXPECT_EQ(essais, 8);
    EXPECT_EQ(r.statut, 255);
    EXPECT_EQ(r.erreurs, "brasse_adn : alea.seq a été remplacé par un autre fichier à chaque ouverture\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(fichier)));
}

TEST_F(Commande, AvecUnAutreRandLeFichierSuitCeRand)
{
    // A preloaded rand that departs from the C library's: from the first
    // value, at the last value checked, and in bits no letter uses.
    verifier_execution({"1000", "300"}, 1000, 300, {{0, 2}});
    verifier_execution({"1000", "300"}, 1000, 300, {{63, 2}});
    verifier_execution({"1000", "300"}, 1000, 300, {{0, 1 << 20}, {64, 2}});
    // At the first value only: the letters after those checked show it.
    verifier_execution({"1000", "300"}, 1000, 300, {{0, 2}, {1, 0}, {64, 2}});
}

TEST_F(Commande, PasseLesValeursVerifieesLeFichierEstCeluiDeLaReplique)
{
    if (!rand_de_glibc)
        GTEST_SKIP() << "this C library's rand is not the GNU one: the replica never takes over";
    // A rand that departs only after the values checked is not followed: the
    // rest of the file is the replica's, proof that it did take over.
    verifier_execution({"1000", "300"}, 1000, 300, {{64, 2}}, false);
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
