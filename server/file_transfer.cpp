#include "file_transfer.h"

#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <optional>

#include "request_values.h"

namespace qrb {

namespace {

const QString kRetVal = QStringLiteral("retVal");
const QString kProgress = QStringLiteral("progress");
const QString kFileSize = QStringLiteral("fileSize");

QVariantMap progressReply(int retVal, const QVariant &progress)
{
    return {{kRetVal, retVal}, {kProgress, progress}};
}

QString partialPath(const QString &path)
{
    return path + QLatin1String(kPartialSuffix);
}

// The request values of a transfer chunk; nothing when one of them is malformed.
struct ChunkRequest {
    QString path;
    bool cancel = false;
    qint64 offset = 0;
    qint64 transferSize = 0;
};

std::optional<ChunkRequest> readChunkRequest(const QVariantMap &request)
{
    const std::optional<QString> path = readString(request, "path");
    const std::optional<bool> cancel = readBool(request, "cancel");
    const std::optional<qint64> offset = readI64(request, "offset");
    const std::optional<qint64> transferSize = readI64(request, "transferSize");
    if (!path || !cancel || !offset || !transferSize)
        return std::nullopt;
    return ChunkRequest{*path, *cancel, *offset, *transferSize};
}

} // namespace

bool isAcceptedPath(const QString &path, PathUse use)
{
    if (path.isEmpty() || path.contains(QChar(0)) || path.endsWith(QLatin1Char('/')) ||
        path.toUtf8().size() > kMaxPathBytes)
        return false;
    if (use == PathUse::Upload && path.endsWith(QLatin1String(kPartialSuffix)))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

FileXferState::FileXferState(const QString &path, qint64 size, bool resume)
    : path(path), size(size), file(std::make_unique<QFile>(partialPath(path)))
{
    // Unbuffered: every write reaches the file at once, so a failed write is seen by the
    // request that made it. Not in append mode, where every write would go to the end
    // whatever the chunk's offset; a resumed file keeps its bytes (no truncation).
    QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::Unbuffered;
    if (!resume)
        mode |= QIODevice::Truncate;
    error = QFileInfo(path).isDir() || !file->open(mode);
    if (!error)
        progress = file->size();
}

FileXferState::FileXferState(const QString &path) : path(path), file(std::make_unique<QFile>(path))
{
    // Only regular files: a pipe or a device could block the server without end.
    error = !QFileInfo(path).isFile() || !file->open(QIODevice::ReadOnly);
    if (!error)
        size = file->size();
}

FileTransfers::StateList::iterator FileTransfers::find(StateList &list, const QString &path)
{
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->path == path)
            return it;
    }
    return list.end();
}

FileXferState &FileTransfers::insert(StateList &list, FileXferState state)
{
    // Nothing times a transfer out: a client that abandons transfers must not make the
    // server hold open files without end.
    while (list.size() >= static_cast<std::size_t>(kMaxTransferStates))
        list.pop_back();
    list.push_front(std::move(state));
    return list.front();
}

QVariantMap FileTransfers::uploadFile(const QVariantMap &request)
{
    const std::optional<QString> path = readString(request, "path");
    const std::optional<qint64> fileSize = readI64(request, "fileSize");
    const std::optional<bool> resume = readBool(request, "resume");
    if (!path || !fileSize || !resume || *fileSize < 0 || !isAcceptedPath(*path, PathUse::Upload))
        return progressReply(kRefused, 0);

    auto existing = find(uploads, *path);
    // A fresh start, or a resume announcing another size, begins a new state; a resume
    // keeps the partial file either way.
    if (existing != uploads.end() && (!*resume || existing->size != *fileSize)) {
        uploads.erase(existing);
        existing = uploads.end();
    }
    if (existing == uploads.end()) {
        FileXferState state(*path, *fileSize, *resume);
        if (state.error)
            return progressReply(kRefused, 0);
        insert(uploads, std::move(state));
        existing = uploads.begin();
    }
    // What the partial file holds now, so that a client resuming after a lost connection
    // goes on from there.
    return progressReply(0, existing->file->size());
}

QVariantMap FileTransfers::uploadFileTransfer(const QVariantMap &request, TransferLink &link)
{
    const std::optional<qint64> transferSize = readI64(request, "transferSize");
    // Without a trustworthy size the raw bytes cannot be told from the next request.
    if (!transferSize || *transferSize < 0 || *transferSize > kMaxTransferSize) {
        link.replyAndClose(resultReply(kRefused));
        return {};
    }
    const auto refuse = [&](const QVariantMap &reply) {
        // The client sends the data whatever the answer; it is read and dropped so that the
        // next request is read from where it starts.
        link.receiveUploadBytes(nullptr, *transferSize);
        return reply;
    };
    const std::optional<ChunkRequest> chunk = readChunkRequest(request);
    auto state = chunk ? find(uploads, chunk->path) : uploads.end();
    if (state == uploads.end())
        return refuse(resultReply(kRefused));
    if (chunk->cancel) {
        uploads.erase(state);
        return refuse(resultReply(0));
    }
    const qint64 partialSize = state->file->size();
    // No gap before the chunk and nothing beyond the announced size.
    if (chunk->offset < 0 || chunk->offset > partialSize ||
        chunk->transferSize > state->size - chunk->offset)
        return refuse(progressReply(kRefused, partialSize));

    std::vector<char> &data = chunkBuffer(chunk->transferSize);
    const qint64 received = link.receiveUploadBytes(data.data(), chunk->transferSize);
    // Short: the connection is gone; nothing of the chunk is written and it can be sent again.
    const QVariantMap reply = received < chunk->transferSize
                                  ? progressReply(kRefused, partialSize)
                                  : storeChunk(state, chunk->offset, data);
    releaseLargeBuffer();
    return reply;
}

std::vector<char> &FileTransfers::chunkBuffer(qint64 size)
{
    buffer.resize(static_cast<std::size_t>(size));
    return buffer;
}

void FileTransfers::releaseLargeBuffer()
{
    if (buffer.capacity() > static_cast<std::size_t>(kKeptBufferSize))
        std::vector<char>().swap(buffer);
}

QVariantMap FileTransfers::storeChunk(StateList::iterator state, qint64 offset,
                                      const std::vector<char> &chunk)
{
    QFile &file = *state->file;
    const auto size = static_cast<qint64>(chunk.size());
    if (!file.seek(offset) || file.write(chunk.data(), size) != size) {
        uploads.erase(state);
        return progressReply(kRefused, QVariant());
    }
    const qint64 position = file.pos();
    if (position < state->size)
        return progressReply(0, position);
    return completeUpload(state, position);
}

QVariantMap FileTransfers::completeUpload(StateList::iterator state, qint64 position)
{
    const QString path = state->path;
    state->file->close();
    uploads.erase(state);
    // rename() replaces an existing file in one step: the path names either the old file or
    // the whole new one, never a part.
    const QByteArray from = QFile::encodeName(partialPath(path));
    const QByteArray to = QFile::encodeName(path);
    if (std::rename(from.constData(), to.constData()) != 0)
        return progressReply(kRefused, position);
    return progressReply(0, position);
}

QVariantMap FileTransfers::downloadFile(const QVariantMap &request)
{
    const std::optional<QString> path = readString(request, "path");
    const QVariantMap refused{{kRetVal, kRefused}, {kFileSize, 0}};
    if (!path || !isAcceptedPath(*path, PathUse::Download))
        return refused;
    auto state = find(downloads, *path);
    if (state == downloads.end()) {
        FileXferState opened(*path);
        if (opened.error)
            return refused;
        insert(downloads, std::move(opened));
        state = downloads.begin();
    }
    return {{kRetVal, 0}, {kFileSize, state->size}};
}

QVariantMap FileTransfers::downloadFileTransfer(const QVariantMap &request, TransferLink &link)
{
    const std::optional<ChunkRequest> chunk = readChunkRequest(request);
    auto state = chunk ? find(downloads, chunk->path) : downloads.end();
    if (state == downloads.end() || chunk->cancel) {
        if (state != downloads.end())
            downloads.erase(state);
        link.sendFileChunk(-1, 0, 0);
        return {};
    }
    QFile &file = *state->file;
    if (chunk->offset < 0 || chunk->transferSize < 0) {
        link.sendFileChunk(-1, 0, 0);
        return {};
    }
    const qint64 wanted = qMin(qMin(chunk->transferSize, kMaxTransferSize),
                               qMax<qint64>(0, file.size() - chunk->offset));
    // Nothing left there (or not a single byte could be sent): the download ends here.
    if (wanted == 0 || link.sendFileChunk(file.handle(), chunk->offset, wanted) == 0) {
        downloads.erase(state);
        if (wanted == 0)
            link.sendFileChunk(-1, 0, 0);
    }
    return {};
}

} // namespace qrb
