// What the simulated board does with power commands and its sensor clock script.
#include "board_commands.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "board.h"
#include "state_files.h"

namespace boardsim {
namespace {

constexpr const char *kClockScript = "set_input_sensor_clock.py";
constexpr const char *kPowerLog = "/power.log";
constexpr size_t kMaxFrequencyDigits = 10;
constexpr int kScriptFailed = 1;

std::string baseName(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One pair of quotes around a word is the shell's, not part of the name.
std::string unquoted(const std::string &word)
{
    if (word.size() >= 2 && (word[0] == '"' || word[0] == '\'') && word.back() == word[0])
        return word.substr(1, word.size() - 2);
    return word;
}

bool isPowerCommand(const std::string &name)
{
    for (const char *power : {"shutdown", "reboot", "poweroff", "halt"})
        if (name == power)
            return true;
    return false;
}

bool isPython3(const std::string &name)
{
    return name == "python3" || (name.rfind("python3.", 0) == 0 && name.size() > 8 &&
                                 name.find_first_not_of("0123456789", 8) == std::string::npos);
}

bool isShell(const std::string &name)
{
    return name == "sh" || name == "bash" || name == "dash";
}

std::optional<uint32_t> frequency(const std::string &text)
{
    if (text.empty() || text.size() > kMaxFrequencyDigits ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long hertz = std::strtoull(text.c_str(), nullptr, 10);
    if (hertz == 0 || hertz > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(hertz);
}

// The command line kept in power.log and bus.log stays on one line.
std::string oneLine(std::string text)
{
    for (auto &c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

BoardCommand classifyWords(const std::vector<std::string> &words, const std::string &line)
{
    BoardCommand command;
    command.line = oneLine(line);
    if (words.empty())
        return command;
    const std::string name = baseName(unquoted(words[0]));
    if (isPowerCommand(name)) {
        command.kind = CommandKind::Power;
    } else if (isPython3(name) && words.size() >= 2 &&
               baseName(unquoted(words[1])) == kClockScript) {
        command.kind = CommandKind::Clock;
        for (size_t i = 2; i < words.size(); ++i)
            command.clockArgument += (i > 2 ? " " : "") + words[i];
        if (words.size() == 3)
            command.clockHertz = frequency(words[2]);
    }
    return command;
}

int answerPower(const BoardCommand &command)
{
    // Without a board directory the command is dropped, and still not run.
    const char *directory = std::getenv("ZE_SIM_DIR");
    if (directory != nullptr && *directory != '\0')
        appendLine(std::string(directory) + kPowerLog, command.line);
    return 0;
}

int answerClock(const BoardCommand &command)
{
    Board &board = Board::current();
    BoardLock lock(board.mutex);
    board.driver.reload();
    if (!board.usable() || !command.clockHertz || board.description().clockScriptFails) {
        board.driver.failInputClock(oneLine(command.clockArgument));
        return kScriptFailed;
    }
    board.driver.setInputClock(*command.clockHertz);
    return 0;
}

} // namespace

BoardCommand classifyCommandLine(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return classifyWords(words, line);
}

BoardCommand classifyExec(const char *file, const char *const *argv)
{
    if (file == nullptr)
        return {};
    const bool withArguments = argv != nullptr && argv[0] != nullptr;
    if (withArguments && isShell(baseName(file)) && argv[1] != nullptr &&
        std::string(argv[1]) == "-c" && argv[2] != nullptr)
        return classifyCommandLine(argv[2]);
    // The file run decides what runs; argv[0] is only its name for the program.
    std::vector<std::string> words{file};
    std::string line = withArguments ? argv[0] : file;
    for (size_t i = 1; withArguments && argv[i] != nullptr; ++i) {
        words.emplace_back(argv[i]);
        line += std::string(" ") + argv[i];
    }
    return classifyWords(words, line);
}

int answerCommand(const BoardCommand &command)
{
    switch (command.kind) {
    case CommandKind::Power:
        return answerPower(command);
    case CommandKind::Clock:
        return answerClock(command);
    case CommandKind::Pass:
        break;
    }
    return 0;
}

} // namespace boardsim
