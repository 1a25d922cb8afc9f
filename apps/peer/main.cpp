// velora-peer: the renderer's side of the live link, for tests and demonstrations.
// Order of a session: publish the main window (READY); open a connection when one
// was asked for (--connection / --wait-connection), sync once, read and create
// buffers, hold the lock, set the closed flag; then listen for wake-up messages,
// syncing after each; finally disconnect (EXIT). See velora_peer.h for the output.

#include <cstdio>
#include <string>
#include <vector>

#include "peer_install.h"
#include "peer_options.h"
#include "picture_renderer.h"
#include "velora_peer.h"

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    vantro::peer::endListeningOnSignals();
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help") {
            std::fputs(vantro::peer::peerUsage(), stdout);
            if (!vantro::peer::PictureRenderer::available())
                std::fputs(
                    "--preview: no pictures in this build (it has no off-screen OpenGL); the mirror,\n"
                    "           --dump and --obj work as everywhere.\n",
                    stdout);
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
