// A fresh simulated board for one test: its own board directory, named by ZE_SIM_DIR.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace boardsim::testing {

class SimBoard
{
public:
    // description: the board description file's text; empty = the simulator's default board.
    explicit SimBoard(const std::string &description = "");
    ~SimBoard();
    SimBoard(const SimBoard &) = delete;
    SimBoard &operator=(const SimBoard &) = delete;

    const std::string &directory() const { return directory_; }
    std::string path(const std::string &name) const { return directory_ + "/" + name; }
    std::string readFile(const std::string &name) const;
    void writeFile(const std::string &name, const std::string &contents) const;

    // "key = value" lines of driver.state.
    std::map<std::string, std::string> driverState() const;
    // Lines of bus.log, the capture driver's record of control traffic.
    std::vector<std::string> busLog() const;
    // Lines of bus.log that are register writes (direct 16-bit writes).
    std::vector<std::string> registerWrites() const;
    void clearBusLog() const;

private:
    std::string directory_;
};

// True when the simulator is preloaded into this process.
bool simulatorLoaded();

} // namespace boardsim::testing
