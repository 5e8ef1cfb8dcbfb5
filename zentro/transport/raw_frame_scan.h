// Finding where the frames of a compressed recording end, reading the file in bounded pieces.
#ifndef ZENTRO_TRANSPORT_RAW_FRAME_SCAN_H
#define ZENTRO_TRANSPORT_RAW_FRAME_SCAN_H

#include <cstdint>
#include <vector>

namespace zentro {

// Image types whose frames differ in size and are found by scanning the data.
bool isScannedImageType(uint32_t type);

// Reads a file at increasing offsets through one window of bounded size.
class RawChunkReader
{
public:
    // Bytes read from the file at a time; scanning a frame of any size needs no more memory.
    static constexpr uint64_t kChunkBytes = 64 * 1024;

    RawChunkReader(int fd, uint64_t fileSize);

    // The byte at @offset; false past the end of the file or when it cannot be read.
    bool byteAt(uint64_t offset, uint8_t &byte);
    // The first offset from @from on, below @end, where @pattern (@length bytes) starts;
    // false when there is none.
    bool find(const uint8_t *pattern, uint32_t length, uint64_t from, uint64_t end,
              uint64_t &found);
    uint64_t fileSize() const { return fileSize_; }

private:
    bool load(uint64_t offset);

    int fd_;
    uint64_t fileSize_;
    std::vector<uint8_t> chunk_;
    uint64_t chunkStart_ = 0;
    uint64_t chunkBytes_ = 0;
};

// Length of the frame that starts at @start (status bytes included), searched within
// @limit bytes; 0 when no whole frame starts there.
uint64_t scannedFrameLength(RawChunkReader &reader, uint32_t imageType, uint64_t start,
                            uint64_t limit, uint32_t statusBytes);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_RAW_FRAME_SCAN_H
