#include "frame_table.h"

#include <algorithm>

namespace qrb {

ChunkRange chunkRange(qint64 dataSize, quint32 offset, quint32 transferSize, quint32 bufferSize)
{
    const qint64 available = std::max<qint64>(0, std::min<qint64>(dataSize, bufferSize) - offset);
    const qint64 wanted = transferSize == 0 ? kDefaultChunkSize : qint64{transferSize};
    return {offset, std::min(wanted, available)};
}

ZentroFrame *FrameTable::entry(const QString &deviceName)
{
    const auto found = frames.find(deviceName);
    if (found != frames.end())
        return &found->second;
    if (frames.size() >= kMaxFrameEntries || deviceName.size() > kMaxDeviceNameLength)
        return nullptr;
    return &frames[deviceName];
}

const ZentroFrame *FrameTable::find(const QString &deviceName) const
{
    const auto found = frames.find(deviceName);
    return found == frames.end() ? nullptr : &found->second;
}

qint64 FrameTable::heldBytes() const
{
    qint64 held = 0;
    for (const auto &[name, frame] : frames)
        held += static_cast<qint64>(frame.data.capacity());
    return held;
}

bool FrameTable::resize(ZentroFrame &frame, quint32 size)
{
    if (size > maxFrameBytes)
        return false;
    // A buffer that keeps its capacity allocates nothing; a growing one must fit the table.
    const qint64 growth = static_cast<qint64>(size) - static_cast<qint64>(frame.data.capacity());
    if (growth > 0 && heldBytes() + growth > maxTableBytes)
        return false;
    // Exactly the size asked for: resize alone may reserve up to twice as much.
    if (growth > 0)
        frame.data.reserve(size);
    frame.data.resize(size);
    return true;
}

} // namespace qrb
