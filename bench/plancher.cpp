// SPDX-License-Identifier: MIT
// The write floor: as many bytes as a brasse_adn file, written to "alea.seq"
// with write(2) from one buffer of the writer's block size, filled once.
// What the kernel alone takes for the bytes; no program that makes them can
// be faster.
// brasse_adn_plancher octets
#include "unites.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 1;
    long long reste = std::strtoll(argv[1], nullptr, 10);
    std::vector<char> tampon(taille_bloc);
    std::memset(tampon.data(), 'A', tampon.size());
    const int fd = open("alea.seq", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return 255;
    while (reste > 0) {
        const auto voulu = static_cast<std::size_t>(
            reste < static_cast<long long>(tampon.size()) ? reste : static_cast<long long>(tampon.size()));
        const ssize_t ecrit = write(fd, tampon.data(), voulu);
        if (ecrit <= 0)
            return 255;
        reste -= ecrit;
    }
    return close(fd) == 0 ? 0 : 255;
}
