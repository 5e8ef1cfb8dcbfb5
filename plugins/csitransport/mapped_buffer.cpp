// MappedBuffer: the owner of one mapped capture buffer.
#include "mapped_buffer.h"

#include <cerrno>
#include <sys/mman.h>
#include <utility>

MappedBuffer::MappedBuffer(const v4l2_buffer &record, void *address, size_t length)
    : record_(record), address_(address), length_(length)
{
}

MappedBuffer::MappedBuffer(MappedBuffer &&other) noexcept
    : record_(other.record_), address_(std::exchange(other.address_, nullptr)),
      length_(std::exchange(other.length_, 0))
{
}

MappedBuffer &MappedBuffer::operator=(MappedBuffer &&other) noexcept
{
    if (this != &other) {
        unmap();
        record_ = other.record_;
        address_ = std::exchange(other.address_, nullptr);
        length_ = std::exchange(other.length_, 0);
    }
    return *this;
}

MappedBuffer::~MappedBuffer()
{
    unmap();
}

int MappedBuffer::unmap()
{
    if (address_ == nullptr)
        return 0;
    const int rc = ::munmap(address_, length_);
    address_ = nullptr;
    length_ = 0;
    return rc == 0 ? 0 : errno;
}
