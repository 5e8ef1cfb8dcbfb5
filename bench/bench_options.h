// Command-line options of the benchmarks that read a generated sensor-data database.
#ifndef ZENTRO_BENCH_OPTIONS_H
#define ZENTRO_BENCH_OPTIONS_H

#include <algorithm>
#include <cstdlib>
#include <string>

#include "sensor_data_generator.h"

namespace zentro::bench {

struct DatabaseOptions {
    DatabaseShape shape;
    int repetitions = 7;
    std::string keep; // where to write the generated files and keep them
};

// Reads --registers N, --repetitions N and --keep PATH; false for anything else.
inline bool parseDatabaseOptions(int argc, char **argv, DatabaseOptions &options)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option == "--registers" && value)
            options.shape.registers = static_cast<uint32_t>(strtoul(value, nullptr, 0));
        else if (option == "--repetitions" && value)
            options.repetitions = std::max(1, atoi(value));
        else if (option == "--keep" && value)
            options.keep = value;
        else
            return false;
        ++i;
    }
    return options.shape.registers > 0;
}

} // namespace zentro::bench

#endif // ZENTRO_BENCH_OPTIONS_H
