// link_write_ratio [MiB] [rounds]: the ratio of bench_link's "fresh shared buffer vs
// memcpy into fresh malloc", without Google Benchmark (which has no build for the
// Windows toolchain), so that the same figure can be measured under Wine and on
// Linux in one run (scripts/windows-tests.sh prints both). Each round writes the
// bytes once into a buffer created for it and once into fresh heap memory; the
// medians of the rounds give the ratio. Only the ratio is printed: absolute times
// say nothing across machines.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/live_connection.h"
#include "platform/process.h"
#include "platform/utf.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 9;
    if (mib == 0 || mib > 1024 || rounds <= 0) {
        std::fprintf(stderr, "usage: link_write_ratio [MiB 1..1024] [rounds]\n");
        return 2;
    }
    const size_t bytes = mib << 20;
    std::vector<uint8_t> source(bytes);
    for (size_t i = 0; i < bytes; ++i)
        source[i] = static_cast<uint8_t>(i * 131);
    VantroAPI::LiveConnection connection;
    const std::u16string name =
        u"C:/vantro-bench/ratio-" + vantro::platform::fromUtf8(std::to_string(vantro::platform::currentProcessId()));
    if (connection.Create(name, 4) != 0) {
        std::fprintf(stderr, "link_write_ratio: cannot create the channel\n");
        return 1;
    }
    std::vector<double> shared, heap;
    volatile uint8_t sink = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        const uint32_t id = connection.CreateBuffer(1, static_cast<uint32_t>(bytes));
        auto* target = static_cast<uint8_t*>(connection.MapBuffer(id));
        if (!target) {
            std::fprintf(stderr, "link_write_ratio: buffer creation failed\n");
            return 1;
        }
        std::memcpy(target, source.data(), bytes);
        sink = sink + target[bytes - 1];
        connection.DestroyBuffer(id);
        shared.push_back(std::chrono::duration<double>(Clock::now() - start).count());

        start = Clock::now();
        auto* fresh = static_cast<uint8_t*>(std::malloc(bytes));
        if (!fresh)
            return 1;
        std::memcpy(fresh, source.data(), bytes);
        sink = sink + fresh[bytes - 1];
        std::free(fresh);
        heap.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    connection.Close();
    std::printf("%zu MiB into a fresh shared buffer vs memcpy into fresh malloc: %.2f\n", mib,
                median(shared) / median(heap));
    return 0;
}
