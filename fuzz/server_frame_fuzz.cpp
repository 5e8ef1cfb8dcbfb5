// Fuzz target: the board server's frame scanning and message decoding. The input is a byte
// stream as a client would send it; every frame in it is scanned and decoded, and each
// decoded message must survive being encoded and decoded again unchanged.
#include <cstddef>
#include <cstdint>

#include "message_channel.h"

namespace {

void checkRoundTrip(const QVariantMap &message)
{
    const QByteArray text = qrb::encodeMessageText(message);
    const QByteArray frame = qrb::encodeMessageFrame(message);
    if (qrb::decodeLength(frame.constData()) != static_cast<quint32>(text.size()) ||
        frame.mid(qrb::kLengthPrefixSize) != text)
        __builtin_trap();
    if (qrb::encodeMessageText(qrb::decodeMessagePayload(text)) != text)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *stream = reinterpret_cast<const char *>(data);
    qint64 left = static_cast<qint64>(size);
    while (left > 0) {
        const qrb::FrameProbe probe = qrb::probeFrame(stream, left);
        if (probe.scan != qrb::FrameScan::Complete)
            break;
        if (probe.length > qrb::kMaxMessageLength)
            __builtin_trap();
        const QByteArray payload(stream + qrb::kLengthPrefixSize, static_cast<int>(probe.length));
        checkRoundTrip(qrb::decodeMessagePayload(payload));
        const qint64 consumed = qrb::kLengthPrefixSize + static_cast<qint64>(probe.length);
        stream += consumed;
        left -= consumed;
    }
    // The whole input as one payload exercises the JSON reader on arbitrary bytes.
    checkRoundTrip(qrb::decodeMessagePayload(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size))));
    return 0;
}
