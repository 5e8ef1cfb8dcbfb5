// MappedBuffer: one driver capture buffer mapped into the process, unmapped when the owner goes.
#pragma once

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>

class MappedBuffer
{
public:
    MappedBuffer() = default;
    // Takes over @length bytes mapped at @address for the buffer @record describes.
    MappedBuffer(const v4l2_buffer &record, void *address, size_t length);
    MappedBuffer(MappedBuffer &&other) noexcept;
    MappedBuffer &operator=(MappedBuffer &&other) noexcept;
    MappedBuffer(const MappedBuffer &) = delete;
    MappedBuffer &operator=(const MappedBuffer &) = delete;
    ~MappedBuffer();

    // Unmaps now; 0, or the errno of the failed munmap (the mapping is then forgotten).
    int unmap();

    const v4l2_buffer &record() const { return record_; }
    uint8_t *data() const { return static_cast<uint8_t *>(address_); }
    size_t length() const { return length_; }
    bool isMapped() const { return address_ != nullptr; }

private:
    v4l2_buffer record_{};
    void *address_ = nullptr;
    size_t length_ = 0;
};
