// Fresh simulated boards for tests.
#include "sim_board.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace boardsim::testing {

SimBoard::SimBoard(const std::string &description)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "simboard.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a board directory");
    directory_ = pattern;
    if (!description.empty())
        writeFile("board.conf", description);
    ::setenv("ZE_SIM_DIR", directory_.c_str(), 1);
}

SimBoard::~SimBoard()
{
    ::unsetenv("ZE_SIM_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::string SimBoard::readFile(const std::string &name) const
{
    std::ifstream in(path(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void SimBoard::writeFile(const std::string &name, const std::string &contents) const
{
    std::ofstream(path(name), std::ios::binary) << contents;
}

std::map<std::string, std::string> SimBoard::driverState() const
{
    std::map<std::string, std::string> out;
    std::istringstream in(readFile("driver.state"));
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find(" = ");
        if (eq != std::string::npos)
            out[line.substr(0, eq)] = line.substr(eq + 3);
    }
    return out;
}

std::vector<std::string> SimBoard::busLog() const
{
    std::vector<std::string> out;
    std::istringstream in(readFile("bus.log"));
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<std::string> SimBoard::registerWrites() const
{
    std::vector<std::string> out;
    for (const auto &line : busLog())
        if (line.rfind("S_REGISTER ", 0) == 0)
            out.push_back(line);
    return out;
}

void SimBoard::clearBusLog() const
{
    std::filesystem::remove(path("bus.log"));
}

bool simulatorLoaded()
{
    const char *preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::string(preload).find("libboardsim") != std::string::npos;
}

} // namespace boardsim::testing
