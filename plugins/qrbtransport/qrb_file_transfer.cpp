// Resumable file upload and download through the board server's transfer commands.
#include "qrb_client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zentro::qrb {

namespace {

// Owns a local file descriptor for the length of one transfer.
class LocalFile
{
public:
    LocalFile(const std::string &path, int flags)
        : path_(path), fd_(::open(path.c_str(), flags | O_CLOEXEC, 0644))
    {
        if (fd_ < 0)
            fail("cannot open");
    }
    LocalFile(const LocalFile &) = delete;
    LocalFile &operator=(const LocalFile &) = delete;
    ~LocalFile() { ::close(fd_); }

    uint64_t size() const
    {
        struct stat status {
        };
        if (::fstat(fd_, &status) < 0)
            fail("cannot read the size of");
        return static_cast<uint64_t>(status.st_size);
    }

    size_t readAt(uint64_t offset, std::span<std::byte> into) const
    {
        for (;;) {
            const ssize_t n = ::pread(fd_, into.data(), into.size(), static_cast<off_t>(offset));
            if (n >= 0)
                return static_cast<size_t>(n);
            if (errno != EINTR)
                fail("cannot read");
        }
    }

    void writeAt(uint64_t offset, std::span<const std::byte> data) const
    {
        for (size_t done = 0; done < data.size();) {
            const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                       static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail("cannot write");
            done += static_cast<size_t>(n);
        }
    }

    void truncate() const
    {
        if (::ftruncate(fd_, 0) < 0)
            fail("cannot truncate");
    }

    void sync() const
    {
        if (::fsync(fd_) < 0)
            fail("cannot write");
    }

private:
    [[noreturn]] void fail(const char *what) const
    {
        throw Error(Error::Kind::Local,
                    std::string(what) + " " + path_ + ": " + std::strerror(errno));
    }

    std::string path_;
    int fd_;
};

void checkChunkSize(size_t chunkSize)
{
    if (chunkSize == 0 || chunkSize > kMaxFileChunk)
        throw Error(Error::Kind::Local, "a transfer chunk must hold 1 to " +
                                            std::to_string(kMaxFileChunk) + " bytes, not " +
                                            std::to_string(chunkSize));
}

QJsonObject transferRequest(const char *api, const std::string &path, uint64_t offset,
                            uint64_t size)
{
    return QJsonObject{{"api", api},
                       {"path", QString::fromStdString(path)},
                       {"cancel", false},
                       {"offset", static_cast<qint64>(offset)},
                       {"transferSize", static_cast<qint64>(size)}};
}

} // namespace

uint64_t Client::startUpload(const std::string &remotePath, uint64_t size, bool resume)
{
    const QJsonObject reply = checkedCall(QJsonObject{{"api", "uploadFile"},
                                                      {"path", QString::fromStdString(remotePath)},
                                                      {"fileSize", static_cast<qint64>(size)},
                                                      {"resume", resume}});
    return static_cast<uint64_t>(replyInteger(reply, "progress"));
}

uint64_t Client::sendUploadChunk(const std::string &remotePath, uint64_t offset,
                                 std::span<const std::byte> data)
{
    commands_.send(transferRequest("uploadFileTransfer", remotePath, offset, data.size()), data);
    const QJsonObject reply = commands_.receiveMessage();
    const int result = replyResult(reply);
    if (result != 0)
        throw Error(Error::Kind::Refused, "the board at " + address_.text() +
                                              " refused the upload of " + remotePath +
                                              " at offset " + std::to_string(offset) + " (retVal " +
                                              std::to_string(result) + ")");
    return static_cast<uint64_t>(replyInteger(reply, "progress"));
}

uint64_t Client::upload(const std::string &localPath, const std::string &remotePath,
                        const TransferOptions &options)
{
    checkChunkSize(options.chunkSize);
    const LocalFile source(localPath, O_RDONLY);
    const uint64_t size = source.size();
    uint64_t offset = startUpload(remotePath, size, options.resume);
    // A partial file longer than this file belongs to another upload: start over.
    if (offset > size)
        offset = startUpload(remotePath, size, false);
    std::vector<std::byte> buffer(static_cast<size_t>(std::min<uint64_t>(options.chunkSize, size)));
    // An empty file, too, needs one (empty) chunk: the board renames its partial file then.
    do {
        const size_t n = source.readAt(
            offset, std::span(buffer).first(std::min<uint64_t>(buffer.size(), size - offset)));
        if (n == 0 && offset < size)
            throw Error(Error::Kind::Local, localPath + " ended after " + std::to_string(offset) +
                                                " of " + std::to_string(size) + " bytes");
        const uint64_t progress = sendUploadChunk(remotePath, offset, std::span(buffer).first(n));
        if (progress <= offset && n > 0)
            throw Error(Error::Kind::Protocol, "the board did not take the upload of " +
                                                   remotePath + " at offset " +
                                                   std::to_string(offset));
        offset = progress;
        if (options.progress)
            options.progress(offset, size);
    } while (offset < size);
    return size;
}

size_t Client::receiveDownloadChunk(const std::string &remotePath, uint64_t offset,
                                    std::span<std::byte> into)
{
    commands_.send(transferRequest("downloadFileTransfer", remotePath, offset, into.size()));
    return commands_.receiveBufferInto(into);
}

uint64_t Client::download(const std::string &remotePath, const std::string &localPath,
                          const TransferOptions &options)
{
    checkChunkSize(options.chunkSize);
    const QJsonObject reply = checkedCall(
        QJsonObject{{"api", "downloadFile"}, {"path", QString::fromStdString(remotePath)}});
    const auto size = static_cast<uint64_t>(replyInteger(reply, "fileSize"));
    const std::string partial = localPath + kPartialSuffix;
    const LocalFile target(partial, O_WRONLY | O_CREAT);
    uint64_t offset = options.resume ? target.size() : 0;
    // A partial file longer than the board's file belongs to another download.
    if (!options.resume || offset > size) {
        target.truncate();
        offset = 0;
    }
    std::vector<std::byte> buffer(static_cast<size_t>(std::min<uint64_t>(options.chunkSize, size)));
    while (offset < size) {
        const auto want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - offset));
        const size_t n = receiveDownloadChunk(remotePath, offset, std::span(buffer).first(want));
        if (n == 0)
            throw Error(Error::Kind::Protocol, remotePath + " ended on the board after " +
                                                   std::to_string(offset) + " of " +
                                                   std::to_string(size) + " bytes");
        target.writeAt(offset, std::span(buffer).first(n));
        offset += n;
        if (options.progress)
            options.progress(offset, size);
    }
    // Asking past the end ends the download on the board (it answers an empty frame).
    std::byte probe[1];
    receiveDownloadChunk(remotePath, size, probe);
    target.sync();
    if (std::rename(partial.c_str(), localPath.c_str()) != 0)
        throw Error(Error::Kind::Local,
                    "cannot rename " + partial + " to " + localPath + ": " + std::strerror(errno));
    if (options.progress && size == 0)
        options.progress(0, 0);
    return size;
}

} // namespace zentro::qrb
