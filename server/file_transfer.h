// Resumable file uploads and downloads: transfer states kept between requests and across
// client connections, addressed by the file's path on the board.
#pragma once

#include <QFile>
#include <QString>
#include <QVariantMap>
#include <QtGlobal>

#include <list>
#include <memory>
#include <vector>

namespace qrb {

// An upload chunk is held whole in memory before it is written; a larger "transferSize" is
// refused before anything is allocated or read. Download chunks (sent from the file's pages,
// not held) are cut to the same size.
inline constexpr qint64 kMaxTransferSize = 64 * 1024 * 1024;
// A chunk buffer up to this size is kept for the next chunk; a larger one is given back.
inline constexpr qint64 kKeptBufferSize = 4 * 1024 * 1024;
// Transfer states kept per direction; a new one beyond that ends the oldest.
inline constexpr int kMaxTransferStates = 64;
// Longest path accepted, in bytes of UTF-8 (the system's own limit).
inline constexpr int kMaxPathBytes = 4095;
// An upload is written under the path with this suffix and renamed when complete.
inline constexpr char kPartialSuffix[] = "~temp";

// The connection a transfer command reads raw bytes from and answers on.
class TransferLink
{
public:
    // Reads the raw bytes that follow the request (see MessageChannel::receiveRaw).
    virtual qint64 receiveUploadBytes(char *data, qint64 size) = 0;
    // Sends one raw buffer frame of `size` bytes of the open file `file` from `offset` (the
    // empty frame for 0); returns the payload bytes sent. A frame cut short drops the client.
    virtual qint64 sendFileChunk(int file, qint64 offset, qint64 size) = 0;
    // Sends a reply and then ends the connection: what follows the request cannot be told
    // apart from requests.
    virtual void replyAndClose(const QVariantMap &reply) = 0;

protected:
    ~TransferLink() = default;
};

// Whether a path may be transferred: not empty, no NUL, no "." or ".." component, not
// ending in "/", at most kMaxPathBytes; an upload's path does not end in kPartialSuffix.
enum class PathUse { Upload, Download };
bool isAcceptedPath(const QString &path, PathUse use);

// One upload or download in progress.
struct FileXferState {
    FileXferState() = default;
    // Upload: opens path + kPartialSuffix for writing, appending when resuming.
    FileXferState(const QString &path, qint64 size, bool resume);
    // Download: opens an existing regular file for reading.
    explicit FileXferState(const QString &path);

    QString path;
    qint64 size = 0;
    qint64 progress = 0;
    bool error = false;
    std::unique_ptr<QFile> file;
};

class FileTransfers
{
public:
    QVariantMap uploadFile(const QVariantMap &request);
    QVariantMap uploadFileTransfer(const QVariantMap &request, TransferLink &link);
    QVariantMap downloadFile(const QVariantMap &request);
    // Always answers with one raw buffer frame; returns an empty (no JSON) reply.
    QVariantMap downloadFileTransfer(const QVariantMap &request, TransferLink &link);

private:
    // Newest first.
    using StateList = std::list<FileXferState>;
    static StateList::iterator find(StateList &list, const QString &path);
    static FileXferState &insert(StateList &list, FileXferState state);

    QVariantMap storeChunk(StateList::iterator state, qint64 offset,
                           const std::vector<char> &chunk);
    QVariantMap completeUpload(StateList::iterator state, qint64 position);

    // The bytes of one chunk, kept between chunks of ordinary size so that each does not
    // cost a fresh allocation and its page faults.
    std::vector<char> &chunkBuffer(qint64 size);
    void releaseLargeBuffer();

    StateList uploads;
    StateList downloads;
    std::vector<char> buffer;
};

} // namespace qrb
