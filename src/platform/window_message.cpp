// The 20 bytes a posted window message travels as where the system does not carry it
// (the POSIX emulation's window sockets): the same on every build, so tests hold both.

#include "platform/window.h"

namespace vantro::platform {

void encodeWindowMessage(const WindowMessage& message, unsigned char* bytes) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(message.message >> (8 * i));
    for (int i = 0; i < 8; ++i) {
        bytes[4 + i] = static_cast<unsigned char>(message.wParam >> (8 * i));
        bytes[12 + i] = static_cast<unsigned char>(message.lParam >> (8 * i));
    }
}

WindowMessage decodeWindowMessage(const unsigned char* bytes) {
    WindowMessage message;
    for (int i = 3; i >= 0; --i)
        message.message = message.message << 8 | bytes[i];
    for (int i = 7; i >= 0; --i) {
        message.wParam = message.wParam << 8 | bytes[4 + i];
        message.lParam = message.lParam << 8 | bytes[12 + i];
    }
    return message;
}

}  // namespace vantro::platform
