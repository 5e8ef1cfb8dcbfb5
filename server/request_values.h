// Typed reading of request values: the conversions the commands name, with the bounds that
// keep a malformed request from reaching the library.
#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QtGlobal>

#include <initializer_list>
#include <optional>
#include <vector>

namespace qrb {

// The result of a request the server refused by itself (bad argument, missing camera).
inline constexpr int kRefused = 1;
// Most register values one request may read or write: a sensor's whole 16-bit address range.
inline constexpr quint32 kMaxRegisterCount = 65536;

// Each reader takes the value of `key`: a missing key or JSON null gives 0 (or the empty
// string or list); a value of another JSON type, a fraction or a number outside the range
// gives nothing, and the command is refused.
std::optional<quint32> readU32(const QVariantMap &request, const char *key);
std::optional<qint32> readI32(const QVariantMap &request, const char *key);
std::optional<qint64> readI64(const QVariantMap &request, const char *key);
// true or false only; a missing key or null is false.
std::optional<bool> readBool(const QVariantMap &request, const char *key);
std::optional<QString> readString(const QVariantMap &request, const char *key);
std::optional<QVariantList> readList(const QVariantMap &request, const char *key);

// Each element of a list as u32 (nothing when one of them is not); at most `limit` elements.
std::optional<std::vector<quint32>> readU32List(const QVariantMap &request, const char *key,
                                                quint32 limit);
// Each element of a list as i32 (nothing when one of them is not); at most `limit` elements.
std::optional<std::vector<qint32>> readI32List(const QVariantMap &request, const char *key,
                                               quint32 limit);

struct U32Field {
    const char *key;
    quint32 *value;
};
// Reads several u32 values at once; false when any of them is refused.
bool readU32Fields(const QVariantMap &request, std::initializer_list<U32Field> fields);

// A reply that carries only a result code.
QVariantMap resultReply(int retVal);

// The values of a reply list, as JSON numbers.
QVariantList toVariantList(const std::vector<quint32> &values);

} // namespace qrb
