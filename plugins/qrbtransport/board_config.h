// Where the plug-in finds the board: the ".cam" file that names it, else ZE_BOARD.
#pragma once

#include <optional>
#include <string>

#include "board_address.h"
#include "qrb_connection.h"

namespace zentro::qrb {

// Environment variable with the board's address ("HOST" or "HOST:PORT").
inline constexpr const char *kBoardEnvironment = "ZE_BOARD";
// Environment variable with the time-out of one request in milliseconds.
inline constexpr const char *kTimeoutEnvironment = "ZE_BOARD_TIMEOUT_MS";
// Environment variable with the image bytes fetched per request (for measurements).
inline constexpr const char *kChunkEnvironment = "ZE_BOARD_CHUNK";
// Key of the [TRANSPORT] section of a ".cam" file.
inline constexpr const char *kBoardAddressKey = "BOARD_ADDRESS";

struct BoardSetting {
    // Empty when no address is configured.
    std::string text;
    // Where it came from, for messages ("ZE_BOARD" or the ".cam" file's name).
    std::string source;
};

// The value of @key in section @section of the INI text @text (names compared without
// regard to case; ';' and '#' start comments); nullopt when absent.
std::optional<std::string> iniValue(const std::string &text, const std::string &section,
                                    const std::string &key);

// The board address configured for the plug-in file @pluginFile: BOARD_ADDRESS of a ".cam"
// file in the working directory whose [TRANSPORT] DLL_NAME names that file, else ZE_BOARD.
BoardSetting configuredBoard(const std::string &pluginFile);

// The time-outs, from ZE_BOARD_TIMEOUT_MS when it holds a positive number.
Timeouts configuredTimeouts();

} // namespace zentro::qrb
