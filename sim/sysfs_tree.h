// The board's devices as sysfs shows them, laid out as real files under a directory of its own.
#pragma once

#include "board_description.h"

#include <string>
#include <vector>

namespace boardsim {

// Tools find a character device's driver, name and siblings through /sys/dev/char/M:N and
// the class and bus links. The simulated entries are written once as real files, directories
// and relative symbolic links, so that every C library call on them (opendir, readlink,
// realpath, fopen) works unchanged once the path is redirected into the tree.
class SysfsTree
{
public:
    // Builds (or finds) the tree for the description. directory: the board directory, or
    // empty for a board kept in memory, whose tree lives in a temporary directory removed when
    // the process that made it ends. false with error set when it cannot be written.
    bool build(const BoardDescription &description, const std::string &directory,
               std::string &error);

    // Whether the board answers for a path below /sys/ (allocates nothing).
    bool owns(const char *path) const;
    // The path inside the tree that stands for an owned sysfs path.
    std::string redirect(const char *path) const;
    // The sysfs path a path inside the tree stands for; the path itself when it is not inside.
    std::string unredirect(const std::string &path) const;

    // The entries a description gives: path below /sys/ and contents or link target.
    struct Entry {
        std::string path;  // below /sys/
        std::string text;  // file contents, or the link target
        bool link = false; // a symbolic link
    };
    static std::vector<Entry> entriesOf(const BoardDescription &description);

private:
    std::string root_;               // the tree: stands for /sys
    std::vector<std::string> owned_; // sysfs paths whose whole subtree the board answers
};

// The device numbers' text as sysfs writes it in "dev" files: "M:N".
std::string deviceNumberText(unsigned major, unsigned minor);

} // namespace boardsim
