// The board's network address as users write it: "HOST" or "HOST:PORT".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentro::qrb {

// Port of the board's command server; its frame server listens on the next port.
inline constexpr uint16_t kDefaultCommandPort = 29824;

struct BoardAddress {
    std::string host;
    uint16_t commandPort = kDefaultCommandPort;

    uint16_t framePort() const { return static_cast<uint16_t>(commandPort + 1); }
    // "HOST:PORT" of the command server, for messages.
    std::string text() const;
};

// Parses "HOST" or "HOST:PORT" (an IPv6 literal in brackets: "[::1]:29824"). Surrounding
// white space is ignored. nullopt for an empty host, a port that is not a number from 1 to
// 65534 (the frame server needs PORT+1) or trailing text.
std::optional<BoardAddress> parseBoardAddress(std::string_view text);

} // namespace zentro::qrb
