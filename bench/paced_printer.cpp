// A stand-in tool that prints a file at a given rate, as a programmer's trace arrives: in 4 KiB
// pieces, each when the rate allows it. A rate of 0 prints at full speed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    FILE *in = std::fopen(argv[1], "rb");
    if (!in)
        return 1;
    const double rate = std::atof(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    char buffer[4096];
    double sent = 0;
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        if (rate > 0)
            std::this_thread::sleep_until(start + std::chrono::duration<double>(sent / rate));
        for (size_t done = 0; done < n;) {
            const ssize_t w = ::write(STDOUT_FILENO, buffer + done, n - done);
            if (w <= 0)
                return 1;
            done += size_t(w);
        }
        sent += double(n);
    }
    return 0;
}
