// SPDX-License-Identifier: MIT
// Opening alea.seq and reading the counts, in-process, in a temporary
// working directory; the opening's system calls fail or wait where a test
// says (appels.hpp).
#include "appels.hpp"
#include "outils.hpp"
#include "ouverture.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace {

const std::string etat = "impossible de lire l'état de alea.seq";
const std::string vider = "impossible de vider alea.seq";

class Ouverture : public ::testing::Test {
protected:
    void SetUp() override { fs::current_path(dossier.chemin); }

    void TearDown() override
    {
        appels::tenir = nullptr;
        fs::current_path(avant);
    }

    // Opens alea.seq with the calls held by tenir; the result, errno with it.
    ouverture ouvrir(std::function<int(appel)> tenir, int& erreur)
    {
        appels::tenir = std::move(tenir);
        errno = 0;
        const ouverture o = ouvrir_alea();
        erreur = errno;
        appels::tenir = nullptr;
        return o;
    }

    dossier_temporaire dossier;
    fs::path avant = fs::current_path();
};

} // namespace

TEST(Comptes, SeLisentSansRefusEnBaseDixSur32Bits)
{
    // Beyond 32 bits only the low 32 bits count, on 32-bit machines too;
    // beyond 64 bits the conversion saturates: the high limit's low bits
    // make -1, the low limit's 0.
    const std::pair<const char*, std::int32_t> table[] = {
        {"12abc", 12}, {"+7", 7}, {"  5", 5}, {"\t3", 3}, {"007", 7}, {"0x10", 0}, {"-3", -3},
        {"abc", 0}, {"4294967298", 2}, {"2147483648", INT32_MIN}, {"-4294967295", 1},
        {"99999999999999999999", -1}, {"-99999999999999999999", 0}};
    for (const auto& [texte, compte] : table)
        EXPECT_EQ(lire_compte(texte), compte) << '"' << texte << '"';
}

TEST_F(Ouverture, VideLeFichierQueDonneLeNomQuandPlusAucuneAutreNeLEcrit)
{
    // Emptying an empty file is not free (ext4 then writes the whole new file
    // at the close): only a file with bytes is emptied. Where the file system
    // has no lock, the file is written all the same. Where another run (the
    // test) writes it and holds its lock, the opening waits for it, through
    // signals that interrupt the wait, and empties the file only once that
    // run has closed it; when another file was renamed over it meanwhile,
    // that one is opened and emptied, and the old left whole. A new file has
    // the mode that opening for writing gives under the umask.
    struct cas {
        const char* avant;  // nullptr for no file
        int verrou;         // how the lock fails
        bool autre;         // another run holds it
        int interruptions;
        bool remplace;
    };
    const cas table[] = {{nullptr, 0, false, 0, false}, {"", 0, false, 0, false}, {"ancien\n", 0, false, 0, false},
                         {"ancien\n", ENOLCK, false, 0, false}, {"ancien\n", 0, true, 0, false},
                         {"ancien\n", 0, true, 2, false}, {"ancien\n", 0, true, 0, true}, {"ancien\n", 0, true, 1, true}};
    const mode_t umask_avant = umask(002);
    for (const cas& c : table) {
        fs::remove("alea.seq");
        fs::remove("ancien");
        if (c.avant != nullptr) {
            std::ofstream("alea.seq") << c.avant;
            fs::create_hard_link("alea.seq", "ancien");
        }
        int autre = c.autre ? open("alea.seq", O_RDONLY | O_CLOEXEC) : -1, attentes = 0, vidages = 0, erreur = 0;
        ASSERT_TRUE(!c.autre || flock(autre, LOCK_EX) == 0);
        const ouverture o = ouvrir(
            [&](appel a) {
                vidages += a == appel::vidage;
                EXPECT_TRUE(a != appel::vidage || autre < 0) << "emptied while another run writes it";
                if (a != appel::verrou || ++attentes <= c.interruptions)
                    return a == appel::verrou ? EINTR : 0;
                if (c.remplace && autre >= 0) {
                    std::ofstream("nouveau") << "nouveau\n";
                    fs::rename("nouveau", "alea.seq");
                }
                // The other run ends: its lock goes with its file.
                if (autre >= 0)
                    close(std::exchange(autre, -1));
                return c.verrou;
            },
            erreur);
        const std::string trace = std::string(c.avant ? c.avant : "(none)") + (c.autre ? ", held" : "") + ", " +
                                  std::to_string(c.interruptions) + " interrupted" + (c.remplace ? ", replaced" : "");
        ASSERT_GE(o.fd, 0) << trace << ": " << (o.echec ? o.echec : "");
        struct stat ouvert {}, nomme {};
        EXPECT_EQ(fstat(o.fd, &ouvert) + stat("alea.seq", &nomme), 0);
        close(o.fd);
        EXPECT_EQ(ouvert.st_ino, nomme.st_ino) << trace;
        EXPECT_EQ(attentes, c.interruptions + 1 + c.remplace) << trace;
        EXPECT_EQ(vidages, c.avant != nullptr && *c.avant != '\0') << trace;
        EXPECT_EQ(lire_fichier("alea.seq"), "") << trace;
        EXPECT_EQ(lire_fichier("ancien"), c.remplace ? c.avant : "") << trace;
        EXPECT_EQ(fs::status("alea.seq").permissions(), fs::perms{0664}) << trace;
    }
    umask(umask_avant);
}

TEST_F(Ouverture, QuiRenonceNeRetireQueCeQuElleSeuleAFait)
{
    // What the name gives before, the call that fails (once) and how, what
    // another does, and what the name gives after: a file the opening
    // created and that is still empty, at that name, goes; anything else
    // stays as it was. (A link's target, created through it, stays: never
    // removed through a link.) Another may put an empty file at the name
    // just before the call fails; or, at the opening's first call, take the
    // lock of the file it made, write to it, and let go or hold it.
    enum autre { rien, remplace, ecrit, tient };
    struct cas {
        const char* avant;
        appel quoi;
        int erreur;
        autre fait;
        const std::string& echec;
        const char* apres;
    };
    const cas table[] = {
        {"none", appel::etat_du_nom, EIO, rien, etat, "none"},
        {"none", appel::etat_du_nom, EIO, remplace, etat, ""},
        {"", appel::etat_du_nom, EIO, rien, etat, ""},
        {"ancien\n", appel::vidage, EIO, rien, vider, "ancien\n"},
        {"-> cible", appel::etat_du_nom, EACCES, rien, etat, "-> cible, a file"},
        {"none", appel::vidage, EIO, ecrit, vider, ">Seq0\nACGT\n"},
        {"none", appel::etat_du_fichier, EIO, rien, etat, "none"},
        {"none", appel::etat_du_fichier, EIO, tient, etat, ""},
    };
    for (const cas& c : table) {
        fs::remove("alea.seq");
        fs::remove("cible");
        if (std::string(c.avant) == "-> cible")
            fs::create_symlink("cible", "alea.seq");
        else if (std::string(c.avant) != "none")
            std::ofstream("alea.seq") << c.avant;
        int erreur = 0, autre = -1;
        bool echoue = false;
        const ouverture o = ouvrir(
            [&](appel a) {
                if ((c.fait == ecrit || c.fait == tient) && autre < 0) {
                    autre = open("alea.seq", O_WRONLY | O_CLOEXEC);
                    EXPECT_EQ(flock(autre, LOCK_EX | LOCK_NB), 0);
                    EXPECT_EQ(write(autre, c.apres, std::strlen(c.apres)), static_cast<ssize_t>(std::strlen(c.apres)));
                    if (c.fait == ecrit)
                        flock(autre, LOCK_UN);
                }
                if (a == c.quoi && c.fait == remplace) {
                    std::ofstream("autre").close();
                    fs::rename("autre", "alea.seq");
                }
                if (a != c.quoi || std::exchange(echoue, true))
                    return 0;
                return c.erreur;
            },
            erreur);
        if (autre >= 0)
            close(autre);
        const char* const faits[] = {"", ", replaced", ", written by another", ", held by another"};
        const std::string trace = c.echec + faits[c.fait] + ", before: " + c.avant;
        EXPECT_EQ(o.fd, -1) << trace;
        EXPECT_EQ(o.echec ? o.echec : "", c.echec) << trace;
        EXPECT_EQ(erreur, c.erreur) << trace;
        const fs::file_status nom = fs::symlink_status("alea.seq");
        const std::string apres = !fs::exists(nom)       ? "none"
                                  : fs::is_symlink(nom) ? "-> " + fs::read_symlink("alea.seq").string() +
                                                              (fs::is_regular_file("alea.seq") ? ", a file" : "")
                                                        : lire_fichier("alea.seq");
        EXPECT_EQ(apres, c.apres) << trace;
    }
}

TEST(Raison, EnUtf8MemeQuandLesCaracteresSontCeuxDeC)
{
    // The messages' locale alone comes from the environment: in a process
    // that never sets LC_CTYPE, whose characters are the C locale's, ASCII,
    // the reason is in UTF-8 all the same. (In a child: the environment and
    // the locale go with it.)
    const std::string anglais = std::strerror(EACCES);
    const bool francais = std::setlocale(LC_MESSAGES, "fr_FR.UTF-8") != nullptr && anglais != std::strerror(EACCES);
    std::setlocale(LC_MESSAGES, "C");
    if (!francais) {
        std::cout << "[ NOTE ] no French messages on this system: the reason's characters not tried\n";
        return;
    }
    EXPECT_EXIT(
        {
            unsetenv("LC_ALL");
            unsetenv("LANGUAGE");
            setenv("LC_MESSAGES", "fr_FR.UTF-8", 1);
            std::fputs(raison(EACCES), stderr);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "^Permission non accordée$");
}

TEST_F(Ouverture, UnNomQuiDisparaitAChaqueAttenteFaitRenoncerApresHuitEssais)
{
    // Each time the opening holds the lock, the name it opened is gone: it
    // opens it anew, up to 8 times, then gives up; the files it made go too.
    int essais = 0, erreur = -1;
    const ouverture o = ouvrir(
        [&](appel a) {
            essais += a == appel::etat_du_nom;
            return a == appel::etat_du_nom ? ENOENT : 0;
        },
        erreur);
    EXPECT_EQ(essais, 8) << "the tries that the README and the manuals promise";
    EXPECT_EQ(o.fd, -1);
    EXPECT_FALSE(fs::exists(fs::symlink_status("alea.seq")));
    // The line gives no reason: the system gave none.
    EXPECT_EQ(erreur, 0);
    std::FILE* const erreurs = std::fopen("erreurs", "w");
    ASSERT_NE(erreurs, nullptr);
    signaler(erreurs, o.echec, erreur);
    std::fclose(erreurs);
    EXPECT_EQ(lire_fichier("erreurs"), "brasse_adn : alea.seq a été remplacé par un autre fichier à chaque ouverture\n");
}

TEST_F(Ouverture, UnTubeOuUnPeripheriqueSEcritSansVerrou)
{
    // Another holds the lock of each: the opening takes none, so it does
    // not wait for it. (The named pipe's reader lets the opening go on.)
    ASSERT_EQ(mkfifo("tube", 0600), 0);
    for (const char* cible : {"/dev/null", "tube"}) {
        fs::remove("alea.seq");
        fs::create_symlink(cible, "alea.seq");
        const int autre = open(cible, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_EQ(flock(autre, LOCK_EX | LOCK_NB), 0) << cible;
        int verrous = 0, erreur = 0;
        const ouverture o = ouvrir([&](appel a) { return a == appel::verrou ? ++verrous, EWOULDBLOCK : 0; }, erreur);
        EXPECT_GE(o.fd, 0) << cible;
        EXPECT_EQ(verrous, 0) << cible;
        close(o.fd);
        close(autre);
    }
}
