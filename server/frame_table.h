// The frame server's images: one buffer and frame description per device name, kept for the
// life of the server and reused from grab to grab.
#pragma once

#include <QString>
#include <QtGlobal>

#include <map>
#include <optional>
#include <vector>

#include "zentro.h"

namespace qrb {

// Chunk length of a fetch that asks for none.
inline constexpr qint64 kDefaultChunkSize = 0x20000;
// Largest image one device name's buffer holds.
inline constexpr quint32 kMaxFrameBytes = 256u * 1024u * 1024u;
// Most bytes all buffers of the table hold together.
inline constexpr qint64 kMaxFrameTableBytes = 512 * 1024 * 1024;
// Most device names the table keeps, and the longest one it keeps.
inline constexpr std::size_t kMaxFrameEntries = 32;
inline constexpr int kMaxDeviceNameLength = 256;

struct ZentroFrame {
    ze_frame_info_t info{};
    std::vector<quint8> data;
};

// The bytes of one fetch: `length` bytes of the entry's data from `offset`.
struct ChunkRange {
    qint64 offset = 0;
    qint64 length = 0;
};

// What one fetch sends: "transferSize" bytes (the default chunk for 0) from "offset", no
// more than the image holds up to "bufferSize"; 0 bytes at or past the end.
ChunkRange chunkRange(qint64 dataSize, quint32 offset, quint32 transferSize, quint32 bufferSize);

class FrameTable
{
public:
    explicit FrameTable(quint32 maxFrameBytes = kMaxFrameBytes,
                        qint64 maxTableBytes = kMaxFrameTableBytes)
        : maxFrameBytes(maxFrameBytes), maxTableBytes(maxTableBytes)
    {
    }

    // The entry of `deviceName`, created empty on first use; null when the table already
    // holds as many names as it keeps, or the name is longer than any it keeps.
    ZentroFrame *entry(const QString &deviceName);
    // The entry of `deviceName` if there is one.
    const ZentroFrame *find(const QString &deviceName) const;

    // Resizes the entry's data to `size` (growing appends zeros, shrinking drops the tail);
    // false, with nothing changed, when the table could not hold it.
    bool resize(ZentroFrame &frame, quint32 size);

private:
    qint64 heldBytes() const;

    quint32 maxFrameBytes;
    qint64 maxTableBytes;
    std::map<QString, ZentroFrame> frames;
};

} // namespace qrb
