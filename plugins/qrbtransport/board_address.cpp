// Parsing of the board address that ZE_BOARD and the ".cam" key BOARD_ADDRESS hold.
#include "board_address.h"

#include <charconv>

namespace zentro::qrb {

namespace {

// The frame server listens on PORT + 1, which must be a port too.
constexpr unsigned kHighestCommandPort = 65534;

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

std::optional<uint16_t> parsePort(std::string_view text)
{
    unsigned port = 0;
    const auto *end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, port);
    if (text.empty() || error != std::errc{} || next != end || port == 0 ||
        port > kHighestCommandPort)
        return std::nullopt;
    return static_cast<uint16_t>(port);
}

} // namespace

std::string BoardAddress::text() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(commandPort);
}

std::optional<BoardAddress> parseBoardAddress(std::string_view text)
{
    text = trimmed(text);
    BoardAddress address;
    std::string_view portText;
    bool hasPort = false;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        address.host = std::string(text.substr(1, close - 1));
        const auto rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':'))
                return std::nullopt;
            portText = rest.substr(1);
            hasPort = true;
        }
    } else {
        const auto colon = text.find(':');
        // A bare IPv6 literal has several colons and no port.
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) == std::string_view::npos) {
            address.host = std::string(text.substr(0, colon));
            portText = text.substr(colon + 1);
            hasPort = true;
        } else {
            address.host = std::string(text);
        }
    }
    if (address.host.empty() || address.host.find_first_of(" \t") != std::string::npos)
        return std::nullopt;
    if (hasPort) {
        const auto port = parsePort(portText);
        if (!port)
            return std::nullopt;
        address.commandPort = *port;
    }
    return address;
}

} // namespace zentro::qrb
