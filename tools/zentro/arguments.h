// Command-line parsing: the global options and each subcommand's options and operands.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace zcli {

struct GlobalOptions {
    std::string board;      // --board ADDRESS
    std::string nullFile;   // --null FILE
    std::string recording;  // --recording FILE
    std::string sensorData; // --sensor-data DIR
    bool json = false;
    bool help = false;
    bool version = false;
    std::string command;           // the subcommand, "" when none was given
    std::vector<std::string> args; // everything after the subcommand but the global options
};

// Splits argv into the global options (accepted before and after the subcommand) and the
// subcommand with its own arguments. Throws a usage error for a bad global option.
GlobalOptions parseGlobalOptions(int argc, char **argv);

struct OptionDefinition {
    const char *longName; // without "--"
    char shortName;       // 0 when there is none
    bool takesValue;
};

class ParsedArgs
{
public:
    bool has(const std::string &longName) const { return given_.contains(longName); }
    std::string value(const std::string &longName, const std::string &fallback) const;
    const std::vector<std::string> &operands() const { return operands_; }

private:
    friend ParsedArgs parseCommandArgs(const std::vector<std::string> &,
                                       std::span<const OptionDefinition>, const std::string &);
    std::set<std::string> given_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> operands_;
};

// Parses a subcommand's arguments: "--name", "--name VALUE", "--name=VALUE", "-x", "-x VALUE",
// "-xVALUE"; "--" ends the options; "--help" is always known. Throws a usage error naming
// @command for an unknown option or a missing value.
ParsedArgs parseCommandArgs(const std::vector<std::string> &args,
                            std::span<const OptionDefinition> definitions,
                            const std::string &command);

// Reads a whole unsigned number, decimal or "0x" hexadecimal, no larger than @limit; throws a
// usage error naming @what otherwise.
uint32_t parseUnsigned(const std::string &text, const std::string &what, uint64_t limit);

} // namespace zcli
