// Parsing of the client's command line.
#include "arguments.h"

#include <cerrno>
#include <cstdlib>

#include "cli_error.h"

namespace zcli {
namespace {

struct GlobalValueOption {
    const char *name;
    std::string GlobalOptions::*field;
};

constexpr GlobalValueOption kGlobalValues[] = {
    {"--board", &GlobalOptions::board},
    {"--null", &GlobalOptions::nullFile},
    {"--recording", &GlobalOptions::recording},
    {"--sensor-data", &GlobalOptions::sensorData},
};

// "--name=VALUE" or "--name VALUE": true when @arg is @name, with the value taken.
bool takeValue(const std::string &arg, const std::string &name, int &index, int argc, char **argv,
               std::string &value)
{
    if (arg.rfind(name + "=", 0) == 0) {
        value = arg.substr(name.size() + 1);
    } else if (arg == name) {
        if (index + 1 >= argc)
            usageError("option " + name + " needs a value");
        value = argv[++index];
    } else {
        return false;
    }
    if (value.empty())
        usageError("option " + name + " needs a non-empty value");
    return true;
}

bool takeGlobalValue(const std::string &arg, int &index, int argc, char **argv,
                     GlobalOptions &options)
{
    for (const GlobalValueOption &option : kGlobalValues)
        if (takeValue(arg, option.name, index, argc, argv, options.*option.field))
            return true;
    return false;
}

const OptionDefinition *findLong(std::span<const OptionDefinition> definitions,
                                 const std::string &name)
{
    for (const OptionDefinition &definition : definitions)
        if (name == definition.longName)
            return &definition;
    return nullptr;
}

const OptionDefinition *findShort(std::span<const OptionDefinition> definitions, char name)
{
    for (const OptionDefinition &definition : definitions)
        if (definition.shortName != 0 && definition.shortName == name)
            return &definition;
    return nullptr;
}

} // namespace

GlobalOptions parseGlobalOptions(int argc, char **argv)
{
    GlobalOptions options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded) {
            options.args.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
            if (!options.command.empty())
                options.args.push_back(arg);
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (takeGlobalValue(arg, i, argc, argv, options)) {
            continue;
        } else if (options.command.empty() && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (options.command.empty() && arg.size() > 1 && arg[0] == '-') {
            usageError("unknown option " + arg);
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.args.push_back(arg);
        }
    }
    const int cameraOptions =
        !options.board.empty() + !options.nullFile.empty() + !options.recording.empty();
    if (cameraOptions > 1)
        usageError("choose one camera: --board, --null or --recording");
    return options;
}

std::string ParsedArgs::value(const std::string &longName, const std::string &fallback) const
{
    const auto found = values_.find(longName);
    return found == values_.end() ? fallback : found->second;
}

ParsedArgs parseCommandArgs(const std::vector<std::string> &args,
                            std::span<const OptionDefinition> definitions,
                            const std::string &command)
{
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const bool isLong = arg[1] == '-';
        std::string name;
        std::string inlineValue;
        bool hasInline = false;
        const OptionDefinition *definition = nullptr;
        if (isLong) {
            const size_t equals = arg.find('=');
            name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            hasInline = equals != std::string::npos;
            if (hasInline)
                inlineValue = arg.substr(equals + 1);
            definition = findLong(definitions, name);
        } else {
            definition = findShort(definitions, arg[1]);
            hasInline = arg.size() > 2;
            if (hasInline)
                inlineValue = arg.substr(2);
        }
        if (name == "help" || arg == "-h") {
            parsed.given_.insert("help");
            continue;
        }
        if (!definition)
            usageError(command + ": unknown option " + arg);
        parsed.given_.insert(definition->longName);
        if (!definition->takesValue) {
            if (hasInline)
                usageError(command + ": option " + arg + " takes no value");
            continue;
        }
        if (!hasInline) {
            if (i + 1 >= args.size())
                usageError(command + ": option " + arg + " needs a value");
            inlineValue = args[++i];
        }
        parsed.values_[definition->longName] = inlineValue;
    }
    return parsed;
}

uint32_t parseUnsigned(const std::string &text, const std::string &what, uint64_t limit)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const bool valid = !digits.empty() &&
                       digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") ==
                           std::string::npos;
    errno = 0;
    const unsigned long long number =
        valid ? std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10) : 0;
    if (!valid || errno == ERANGE || number > limit)
        usageError(what + " must be a number from 0 to " + std::to_string(limit) + ", not '" +
                   text + "'");
    return static_cast<uint32_t>(number);
}

} // namespace zcli
