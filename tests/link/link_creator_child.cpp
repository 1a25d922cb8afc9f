// A creator other than the test process: "link_creator_child NAME SLOTS [--lock]
// [--register] [--buffers N]", saying what it did, then alive until killed (a minute).

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/live_connection.h"
#include "platform/clock.h"
#include "platform/utf.h"

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 3)
        return 2;
    VantroAPI::LiveConnection connection;
    const int32_t rc = connection.Create(vantro::platform::fromUtf8(argv[1]),
                                         static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    std::printf("CREATE rc=%d\n", rc);
    if (rc != 0)
        return 0;
    for (int i = 3; i < argc; ++i) {
        if (std::string(argv[i]) == "--lock")
            std::printf(connection.Lock(0) ? "LOCKED\n" : "LOCK-FAILED\n");
        if (std::string(argv[i]) == "--register")
            std::printf(connection.Register() == 0 ? "REGISTERED\n" : "REGISTER-FAILED\n");
        if (std::string(argv[i]) == "--buffers" && i + 1 < argc) {
            const unsigned long count = std::strtoul(argv[++i], nullptr, 10);
            uint32_t first = 0, last = 0;
            for (unsigned long n = 0; n < count; ++n) {
                last = connection.CreateBuffer(1, 4096);
                first = first ? first : last;
            }
            std::printf("BUFFERS %u-%u\n", first, last);
        }
    }
    for (int i = 0; i < 600; ++i)
        vantro::platform::sleepMilliseconds(100);
    return 0;
}
