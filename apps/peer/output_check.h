#pragma once
// Checks, before the peer starts, that the files it was asked to write can be written:
// a picture folder (--preview DIR, created when missing) and an OBJ file with its .mtl
// (--obj FILE). A user who typed a wrong path learns it at once, with the system's
// reason, rather than from a failed line after every wake-up.

#include <string>

#include "peer_options.h"

namespace vantro::peer {

// True when every requested output can be written; otherwise false with
// "cannot write <path>: <the system's reason>" in error. Creates DIR (and its parents)
// when missing; leaves no probe file behind and never truncates an existing file.
bool checkOutputs(const PeerOptions& options, std::string& error);

// "<path>: <the system's reason>" for the last failed call that set errno.
std::string withReason(const std::string& path);

}  // namespace vantro::peer
