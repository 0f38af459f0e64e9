// Prints the monotonic clock in nanoseconds as its very first act.
#include <cstdio>
#include <ctime>

int main() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    return 0;
}
