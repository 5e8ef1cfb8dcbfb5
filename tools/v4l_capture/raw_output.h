// The raw output file of whole frames and its "_info.txt" description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct RawDescription {
    uint32_t width;      // pixels per row as stored (bytes per line / 2)
    uint32_t height;     // rows per frame, embedded rows included
    unsigned bitDepth;   // significant bits per sample
    uint32_t frameRate;  // frames per second
    uint32_t frameBytes; // bytes of one frame in the file
};

// The description's name: the output name with the extension of its last component replaced
// by "_info.txt" ("frames.raw" gives "frames_info.txt").
std::string infoFileName(const std::string &output);

// The description's text for a recording of frames frames.
std::string infoFileText(const RawDescription &d, unsigned long frames);

class RawOutput
{
public:
    RawOutput() = default;
    ~RawOutput();
    RawOutput(const RawOutput &) = delete;
    RawOutput &operator=(const RawOutput &) = delete;

    // Opens (or creates) the file for writing, keeping what it holds until the capture starts;
    // ends the program with a message when it cannot.
    void open(const std::string &path);
    bool isOpen() const { return fd_ >= 0; }
    // Starts the recording: the file is emptied, and from now on the program's end (whatever
    // ends it) leaves the description of the frames written so far.
    void describe(const RawDescription &d);

    // Appends one frame of exactly frameBytes bytes: the data, padded with zeros when the
    // driver delivered fewer. A failed write leaves the file at its last whole frame, reports
    // and ends the program.
    void appendFrame(const uint8_t *data, size_t bytes);
    unsigned long frames() const { return frames_; }

    // Writes the description for the frames written and closes the file; ends the program
    // with a message when the description cannot be written.
    void finish();

private:
    [[noreturn]] void fail(const char *what, int error);
    // Closes the file and writes the description; false (reported) when it could not.
    bool close();
    static void finishAtExit();

    std::string path_;
    int fd_ = -1;
    RawDescription description_{};
    bool described_ = false;
    unsigned long frames_ = 0;
};
