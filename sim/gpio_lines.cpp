// Keeping the GPIO line states in the board directory's "gpio.state".
#include "gpio_lines.h"

#include "state_files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <unistd.h>

namespace boardsim {
namespace {

constexpr char kSeparator = '\t';
constexpr const char *kStateFile = "/gpio.state";
// Level changes apart from the states, so that readers of the state rows see them unchanged.
constexpr const char *kChangesFile = "/gpio.changes";

bool processAlive(int pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH);
}

std::vector<std::string> splitFields(const std::string &line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, kSeparator);)
        fields.push_back(f);
    return fields;
}

std::string field(const std::string &text)
{
    return text.empty() ? "-" : text;
}

std::string unfield(const std::string &text)
{
    return text == "-" ? "" : text;
}

} // namespace

GpioLines::GpioLines(uint32_t count, std::string directory)
    : lines_(count), directory_(std::move(directory))
{
}

void GpioLines::load()
{
    std::string text;
    if (directory_.empty() || !readWholeFile(directory_ + kStateFile, text))
        return;
    for (auto &line : lines_) {
        // Lines held by this process are known here better than on disk.
        if (line.holderPid != ::getpid())
            line = GpioLine{};
    }
    std::istringstream in(text);
    for (std::string row; std::getline(in, row);) {
        const auto f = splitFields(row);
        constexpr size_t kFields = 7;
        if (f.size() != kFields || row[0] == '#')
            continue;
        const unsigned long offset = std::strtoul(f[0].c_str(), nullptr, 10);
        if (offset >= lines_.size() || lines_[offset].holderPid == ::getpid())
            continue;
        GpioLine &l = lines_[offset];
        l.level = f[1] == "1" ? 1 : 0;
        l.output = f[2] == "out";
        l.activeLow = f[3] == "1";
        l.holderPid = std::atoi(f[4].c_str());
        l.consumer = unfield(f[5]);
        l.lastConsumer = unfield(f[6]);
        if (l.holderPid != 0 && !processAlive(l.holderPid)) {
            l.holderPid = 0;
            l.consumer.clear();
        }
    }
    loadChanges();
}

void GpioLines::loadChanges()
{
    std::string text;
    if (!readWholeFile(directory_ + kChangesFile, text))
        return;
    std::istringstream in(text);
    for (std::string row; std::getline(in, row);) {
        const auto f = splitFields(row);
        constexpr size_t kFields = 3;
        if (f.size() != kFields || row[0] == '#')
            continue;
        const unsigned long offset = std::strtoul(f[0].c_str(), nullptr, 10);
        if (offset >= lines_.size() || lines_[offset].holderPid == ::getpid())
            continue;
        lines_[offset].changes = std::strtoull(f[1].c_str(), nullptr, 10);
        lines_[offset].changedAt = std::strtoull(f[2].c_str(), nullptr, 10);
    }
}

void GpioLines::drive(uint32_t offset, int level)
{
    GpioLine &l = lines_.at(offset);
    if (l.level == level)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    l.level = level;
    ++l.changes;
    l.changedAt =
        static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

void GpioLines::store() const
{
    if (directory_.empty())
        return;
    std::ostringstream out;
    std::ostringstream changes;
    out << "# offset\tlevel\tdirection\tactive_low\tholder_pid\tconsumer\tlast_consumer\n";
    changes << "# offset\tchanges\tchanged_at_ns\n";
    for (size_t i = 0; i < lines_.size(); ++i) {
        const GpioLine &l = lines_[i];
        if (l.changes != 0)
            changes << i << kSeparator << l.changes << kSeparator << l.changedAt << "\n";
        if (l.level == 0 && !l.output && l.holderPid == 0 && l.lastConsumer.empty())
            continue;
        out << i << kSeparator << l.level << kSeparator << (l.output ? "out" : "in") << kSeparator
            << (l.activeLow ? 1 : 0) << kSeparator << l.holderPid << kSeparator << field(l.consumer)
            << kSeparator << field(l.lastConsumer) << "\n";
    }
    replaceFile(directory_ + kChangesFile, changes.str());
    replaceFile(directory_ + kStateFile, out.str());
}

} // namespace boardsim
