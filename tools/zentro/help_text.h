// The texts of "zentro --help" and "zentro COMMAND --help".
#pragma once

#include <string>

#include "command.h"

namespace zcli {

std::string generalHelp();
std::string commandHelp(const Command &command);

} // namespace zcli
