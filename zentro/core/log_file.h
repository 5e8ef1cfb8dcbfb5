// Naming of the rotating log files: stem, number 0 to 4 and extension.
#ifndef ZENTRO_CORE_LOG_FILE_H
#define ZENTRO_CORE_LOG_FILE_H

#include <string>

namespace zentro {

// A log file name without its number: "logs/run" and ".txt" for logs/run3.txt.
struct LogFileName {
    std::string stem;
    std::string extension;

    std::string withNumber(int number) const;
};

// Number of files the log rotates over.
inline constexpr int kLogFileCount = 5;

// Splits the name given to the log. An empty name gives the user's home
// directory with "error_" and ".txt"; a name without an extension gets ".txt";
// digits ending the rest are dropped, so run3.txt, run.txt and run give "run".
LogFileName splitLogFileName(const std::string &name);

// The number of the next file to write: the smallest of 0 to 4 not on disk,
// or, when all five exist, the one written least recently.
int chooseLogFileNumber(const LogFileName &name);

} // namespace zentro

#endif // ZENTRO_CORE_LOG_FILE_H
