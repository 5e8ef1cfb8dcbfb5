// A private directory below /tmp for the files a fuzz target hands to a file reader; the
// directory and the files written through it are removed when the process ends.
#ifndef ZENTRO_FUZZ_SCRATCH_DIRECTORY_H
#define ZENTRO_FUZZ_SCRATCH_DIRECTORY_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace fuzz {

class ScratchDirectory
{
public:
    // The directory of this process, made on first use ("/tmp/<prefix>.XXXXXX").
    static ScratchDirectory &get(const char *prefix)
    {
        static ScratchDirectory directory(prefix);
        return directory;
    }

    const std::string &path() const { return path_; }

    // Writes @size bytes to @name in the directory and returns the file's path.
    std::string write(const std::string &name, const void *data, size_t size)
    {
        std::string file = path_ + "/" + name;
        names_.insert(file);
        if (FILE *out = fopen(file.c_str(), "wb")) {
            if (size > 0)
                fwrite(data, 1, size, out);
            fclose(out);
        }
        return file;
    }

    ~ScratchDirectory()
    {
        for (const std::string &file : names_)
            unlink(file.c_str());
        rmdir(path_.c_str());
    }

private:
    explicit ScratchDirectory(const char *prefix)
    {
        std::string pattern = std::string("/tmp/") + prefix + ".XXXXXX";
        if (!mkdtemp(pattern.data()))
            abort();
        path_ = pattern;
    }

    std::string path_;
    std::set<std::string> names_;
};

} // namespace fuzz

#endif // ZENTRO_FUZZ_SCRATCH_DIRECTORY_H
