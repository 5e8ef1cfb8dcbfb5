// Fuzz target: the board description reader.
#include "board_description.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> errors;
    boardsim::parseBoardDescription(std::string(reinterpret_cast<const char *>(data), size),
                                    errors);
    return 0;
}
