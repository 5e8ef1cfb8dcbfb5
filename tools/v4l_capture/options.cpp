// Command-line parsing of the capture tool.
#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <getopt.h>

#include "driver_control.h"

namespace {

constexpr const char *kShortOptions = "d:hmruo:fse:t:g:c:";

const option kLongOptions[] = {
    {"device", required_argument, nullptr, 'd'},
    {"help", no_argument, nullptr, 'h'},
    {"mmap", no_argument, nullptr, 'm'},
    {"read", no_argument, nullptr, 'r'},
    {"userp", no_argument, nullptr, 'u'},
    {"output", required_argument, nullptr, 'o'},
    {"format", no_argument, nullptr, 'f'},
    {"stride", no_argument, nullptr, 's'},
    {"meta", required_argument, nullptr, 'e'},
    {"stats", required_argument, nullptr, 't'},
    {"gsml", required_argument, nullptr, 'g'},
    {"count", required_argument, nullptr, 'c'},
    {nullptr, 0, nullptr, 0},
};

constexpr unsigned long kMaxChoice = 0xFFFF;
constexpr unsigned long kMaxFrameCount = 0x7FFFFFFF;

[[noreturn]] void usageError(const char *program)
{
    printUsage(stderr, program);
    std::exit(EXIT_FAILURE);
}

// A value of one of the listed choices, else the usage text on the error stream.
unsigned choice(const char *text, std::initializer_list<unsigned> allowed, const char *program)
{
    const unsigned long value = parseNumber(text, kMaxChoice);
    for (unsigned a : allowed)
        if (value == a)
            return a;
    usageError(program);
}

} // namespace

void printUsage(std::FILE *out, const char *program)
{
    const CaptureSettings defaults;
    std::fprintf(out,
                 "Usage: %s [options]\n\n"
                 "Version %s\n"
                 "Options:\n"
                 "-d | --device name   Video device name [%s]\n"
                 "-h | --help          Print this message\n"
                 "-m | --mmap          Use memory mapped buffers [default]\n"
                 "-r | --read          Use read() calls\n"
                 "-u | --userp         Use application allocated buffers\n"
                 "-o | --output file   Write the frames to file and describe them in "
                 "<file>_info.txt\n"
                 "-f | --format        Set the format from the sensor table\n"
                 "-s | --stride        With -f, align rows to 32 pixels (preferred stride)\n"
                 "-e | --meta rows     Embedded metadata rows: 2, 4, 8 or 16\n"
                 "-t | --stats rows    Embedded statistics rows: 2 or 4\n"
                 "-g | --gsml gen      Serializer link generation: 2 or 3 [%u]\n"
                 "-c | --count number  Number of frames to grab [%lu]\n",
                 program, kToolVersion, defaults.device.c_str(), defaults.linkGeneration,
                 defaults.frameCount);
}

unsigned long parseNumber(const char *text, unsigned long max)
{
    errno = 0;
    char *end = nullptr;
    const long long value = std::strtoll(text, &end, 0);
    if (end == text)
        return 0;
    if (errno == 0 && (value < 0 || static_cast<unsigned long long>(value) > max))
        errno = ERANGE;
    if (errno != 0)
        errno_exit(text); // ends the program: ERANGE is not a missing acknowledge
    return static_cast<unsigned long>(value);
}

CaptureSettings parseOptions(int argc, char **argv)
{
    CaptureSettings s;
    const char *program = argc > 0 ? argv[0] : "v4l_capture";
    for (;;) {
        const int c = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (c == -1)
            break;
        switch (c) {
        case 'd':
            s.device = optarg;
            break;
        case 'h':
            printUsage(stdout, program);
            std::exit(EXIT_SUCCESS);
        case 'm':
            s.io = IoMethod::Mmap;
            break;
        case 'r':
            s.io = IoMethod::Read;
            break;
        case 'u':
            s.io = IoMethod::UserPointer;
            break;
        case 'o':
            s.output = optarg;
            break;
        case 'f':
            s.forceFormat = true;
            break;
        case 's':
            s.preferredStride = true;
            break;
        case 'e':
            s.metaRows = choice(optarg, {2, 4, 8, 16}, program);
            break;
        case 't':
            s.statsRows = choice(optarg, {2, 4}, program);
            break;
        case 'g':
            s.linkGeneration = choice(optarg, {2, 3}, program);
            break;
        case 'c':
            s.frameCount = parseNumber(optarg, kMaxFrameCount);
            break;
        default:
            usageError(program);
        }
    }
    if (optind < argc)
        usageError(program); // stray words would otherwise be silently ignored
    return s;
}
