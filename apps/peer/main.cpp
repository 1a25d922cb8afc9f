// velora-peer: the renderer's side of the live link, for tests and demonstrations.
// Order of a session: publish the main window (READY); open a connection when one
// was asked for (--connection / --wait-connection), sync once, read and create
// buffers, hold the lock, set the closed flag; then listen for wake-up messages,
// syncing after each; finally disconnect (EXIT). See velora_peer.h for the output.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "peer_install.h"
#include "peer_options.h"
#include "velora_peer.h"

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // Whoever reads our output may go first (a host that launched us and ended): a
    // write into the closed pipe must fail quietly, not end us before we let go of
    // the channel, or its names stay behind with no holder left to remove them. A
    // file-size limit likewise fails the write (--obj, --preview) instead of ending us.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    vantro::peer::endListeningOnSignals();
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help") {
            std::fputs(vantro::peer::peerUsage(), stdout);
            return 0;
        }
    }
    vantro::peer::PeerOptions options;
    std::string error;
    std::vector<std::string> saved;
    const std::vector<const char*> args = vantro::peer::startArguments(argc, argv, saved);
    if (!vantro::peer::parsePeerOptions(static_cast<int>(args.size()), args.data(), options, error)) {
        std::fprintf(stderr, "velora-peer: %s\n%s", error.c_str(), vantro::peer::peerUsage());
        return 2;
    }
    if (!options.installDir.empty())
        return vantro::peer::installPeer(options, argc, argv);
    return vantro::peer::VeloraPeer(std::move(options)).run();
}
