// Scans compressed recordings for frame boundaries: JPEG frames end at their end-of-image
// marker, coded-video frames where the next start code begins.
#include "transport/raw_frame_scan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "zentro_frame.h"

namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kLowestFrameMarker = 0xC0;
constexpr uint8_t kTemporaryMarker = 0x01;
constexpr uint8_t kFirstRestart = 0xD0;
constexpr uint8_t kLastRestart = 0xD7;
// An end marker closer than this to the scan header cannot close a real image.
constexpr uint64_t kMinScanBytes = 30;
constexpr uint8_t kEndPattern[] = {kMarker, kEndOfImage};

constexpr uint8_t kStartCode[] = {0, 0, 0, 1};
// A coded frame carries its parameter sets in front of the picture: start codes within
// its first bytes do not begin the next frame.
constexpr uint64_t kMinCodedFrameBytes = 256;

// Markers without a length field.
bool isStandalone(uint8_t marker)
{
    return marker == kTemporaryMarker || marker == kStartOfImage ||
           (marker >= kFirstRestart && marker <= kLastRestart);
}

bool bytesAre(zentro::RawChunkReader &reader, uint64_t at, const uint8_t *expected, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t byte = 0;
        if (!reader.byteAt(at + i, byte) || byte != expected[i])
            return false;
    }
    return true;
}

bool readLength(zentro::RawChunkReader &reader, uint64_t at, uint64_t &length)
{
    uint8_t high = 0;
    uint8_t low = 0;
    if (!reader.byteAt(at, high) || !reader.byteAt(at + 1, low))
        return false;
    length = uint64_t(high) << 8 | low;
    return true;
}

// Offset just past the end marker that follows the scan header ending at @scanStart.
uint64_t jpegEnd(zentro::RawChunkReader &reader, uint64_t scanStart, uint64_t end)
{
    uint64_t from = scanStart;
    uint64_t found = 0;
    while (reader.find(kEndPattern, sizeof(kEndPattern), from, end, found)) {
        if (found - scanStart >= kMinScanBytes)
            return found + sizeof(kEndPattern);
        from = found + 1;
    }
    return 0;
}

// End of the JPEG image at @start: its header segments are skipped up to the start of scan.
uint64_t jpegImageEnd(zentro::RawChunkReader &reader, uint64_t start, uint64_t end)
{
    uint8_t fourth = 0;
    const uint8_t opening[] = {kMarker, kStartOfImage, kMarker};
    if (!bytesAre(reader, start, opening, sizeof(opening)) || !reader.byteAt(start + 3, fourth) ||
        fourth < kLowestFrameMarker)
        return 0;
    uint64_t pos = start + 2; // each pass moves on by at least two bytes
    while (pos < end) {
        uint8_t byte = 0;
        if (!reader.byteAt(pos, byte) || byte != kMarker)
            return 0;
        while (byte == kMarker) { // fill bytes
            if (++pos >= end || !reader.byteAt(pos, byte))
                return 0;
        }
        if (isStandalone(byte)) {
            ++pos;
            continue;
        }
        uint64_t length = 0;
        if (byte == kEndOfImage || !readLength(reader, pos + 1, length) || length < 2)
            return 0;
        pos += 1 + length;
        if (byte == kStartOfScan)
            return jpegEnd(reader, pos, end);
    }
    return 0;
}

uint64_t jpegLength(zentro::RawChunkReader &reader, uint64_t start, uint64_t end,
                    uint32_t statusBytes)
{
    const uint64_t imageEnd = jpegImageEnd(reader, start, end);
    if (imageEnd == 0 || imageEnd + statusBytes > reader.fileSize())
        return 0;
    return imageEnd - start + statusBytes;
}

// The next start code ends a coded frame; the last frame ends with the file. Status bytes
// recorded after a frame lie before the next start code and so are part of its length.
uint64_t codedLength(zentro::RawChunkReader &reader, uint64_t start, uint64_t end)
{
    if (end - start <= kMinCodedFrameBytes || !bytesAre(reader, start, kStartCode, 4))
        return 0;
    uint64_t found = 0;
    if (reader.find(kStartCode, sizeof(kStartCode), start + kMinCodedFrameBytes, end, found))
        return found - start;
    return end == reader.fileSize() ? end - start : 0;
}

} // namespace

namespace zentro {

bool isScannedImageType(uint32_t type)
{
    return type == ZE_IMAGE_JPEG || type == ZE_IMAGE_JPEG_SPDTAGS || type == ZE_IMAGE_JPEG_ROTATE ||
           type == ZE_IMAGE_H264;
}

RawChunkReader::RawChunkReader(int fd, uint64_t fileSize)
    : fd_(fd), fileSize_(fileSize), chunk_(kChunkBytes)
{
}

bool RawChunkReader::load(uint64_t offset)
{
    chunkStart_ = offset;
    chunkBytes_ = 0;
    const uint64_t wanted = std::min(kChunkBytes, fileSize_ - offset);
    while (chunkBytes_ < wanted) {
        const ssize_t got = pread(fd_, chunk_.data() + chunkBytes_, wanted - chunkBytes_,
                                  off_t(offset + chunkBytes_));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // the file shrank or cannot be read: the scan sees its end here
        chunkBytes_ += uint64_t(got);
    }
    return chunkBytes_ > 0;
}

bool RawChunkReader::byteAt(uint64_t offset, uint8_t &byte)
{
    if (offset >= fileSize_)
        return false;
    if ((offset < chunkStart_ || offset >= chunkStart_ + chunkBytes_) && !load(offset))
        return false;
    byte = chunk_[offset - chunkStart_];
    return true;
}

bool RawChunkReader::find(const uint8_t *pattern, uint32_t length, uint64_t from, uint64_t end,
                          uint64_t &found)
{
    end = std::min(end, fileSize_);
    uint64_t pos = from;
    while (pos + length <= end) {
        if ((pos < chunkStart_ || pos >= chunkStart_ + chunkBytes_) && !load(pos))
            return false;
        const uint8_t *window = chunk_.data() + (pos - chunkStart_);
        const uint64_t span = std::min(chunkStart_ + chunkBytes_, end) - pos;
        const void *hit = memchr(window, pattern[0], span);
        if (!hit) {
            pos += span;
            continue;
        }
        const uint64_t at = pos + uint64_t(static_cast<const uint8_t *>(hit) - window);
        if (at + length <= end && bytesAre(*this, at, pattern, length)) {
            found = at;
            return true;
        }
        pos = at + 1;
    }
    return false;
}

uint64_t scannedFrameLength(RawChunkReader &reader, uint32_t imageType, uint64_t start,
                            uint64_t limit, uint32_t statusBytes)
{
    if (start >= reader.fileSize())
        return 0;
    const uint64_t end = start + std::min(limit, reader.fileSize() - start);
    if (imageType == ZE_IMAGE_H264)
        return codedLength(reader, start, end);
    return jpegLength(reader, start, end, statusBytes);
}

} // namespace zentro
