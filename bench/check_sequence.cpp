// Checks an acquisition file recorded from the simulator replaying 0 … 999999: sample k must hold the
// value k mod 1000000. Prints the number of samples and of samples out of sequence; the last sample may
// be a line cut off when the recording stopped and is reported on its own.
//   check_sequence FILE.mvx
#include "chart/core/item_file.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: check_sequence FILE.mvx\n");
        return 2;
    }
    try {
        const auto items = LoadItems(argv[1]);
        long long bad = 0;
        const std::size_t n = items.size();
        for (std::size_t i = 0; i + 1 < n; ++i)
            bad += items[i].Y != static_cast<double>(i % 1000000);
        const bool lastCut = n > 0 && items[n - 1].Y != static_cast<double>((n - 1) % 1000000);
        std::printf("samples=%zu bad=%lld last_cut=%d\n", n, bad, lastCut ? 1 : 0);
        return bad == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "check_sequence: %s\n", e.what());
        return 1;
    }
}
