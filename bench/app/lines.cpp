// lines N: prints N lines of 59 characters and a line feed, as fast as it can.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    static char buf[60 * 1024];
    for (int i = 0; i < 1024; ++i) {
        std::memset(buf + i * 60, 'x', 59);
        buf[i * 60 + 59] = '\n';
    }
    long left = n;
    while (left > 0) {
        const long k = left < 1024 ? left : 1024;
        if (::write(1, buf, static_cast<size_t>(k * 60)) < 0)
            return 1;
        left -= k;
    }
    return 0;
}
