#include "request_values.h"

#include <QMetaType>
#include <QVariant>

#include <cmath>
#include <limits>

namespace qrb {

namespace {

bool isAbsent(const QVariant &value)
{
    return !value.isValid() || value.isNull();
}

// JSON numbers arrive as doubles (or as integers from a map built in the server); booleans
// and strings are not numbers here, whatever Qt would make of them.
std::optional<double> numberOf(const QVariant &value)
{
    switch (static_cast<QMetaType::Type>(value.type())) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toDouble();
    default:
        return std::nullopt;
    }
}

template <typename T>
std::optional<T> integerOf(const QVariant &value)
{
    if (isAbsent(value))
        return T{0};
    const std::optional<double> number = numberOf(value);
    if (!number || !std::isfinite(*number) || std::floor(*number) != *number)
        return std::nullopt;
    // max + 1 is a power of two and exact as a double, where max itself may not be (64 bits).
    if (*number < static_cast<double>(std::numeric_limits<T>::min()) ||
        *number >= static_cast<double>(std::numeric_limits<T>::max()) + 1.0)
        return std::nullopt;
    return static_cast<T>(*number);
}

template <typename T>
std::optional<std::vector<T>> integerList(const QVariantMap &request, const char *key,
                                          quint32 limit)
{
    const std::optional<QVariantList> list = readList(request, key);
    if (!list || static_cast<quint32>(list->size()) > limit)
        return std::nullopt;
    std::vector<T> values;
    values.reserve(static_cast<std::size_t>(list->size()));
    for (const QVariant &element : *list) {
        // An element of null is a value like any other: 0.
        const std::optional<T> value = integerOf<T>(element);
        if (!value)
            return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

} // namespace

std::optional<quint32> readU32(const QVariantMap &request, const char *key)
{
    return integerOf<quint32>(request.value(QLatin1String(key)));
}

std::optional<qint32> readI32(const QVariantMap &request, const char *key)
{
    return integerOf<qint32>(request.value(QLatin1String(key)));
}

std::optional<qint64> readI64(const QVariantMap &request, const char *key)
{
    return integerOf<qint64>(request.value(QLatin1String(key)));
}

std::optional<bool> readBool(const QVariantMap &request, const char *key)
{
    const QVariant value = request.value(QLatin1String(key));
    if (isAbsent(value))
        return false;
    if (value.type() != QVariant::Bool)
        return std::nullopt;
    return value.toBool();
}

std::optional<QString> readString(const QVariantMap &request, const char *key)
{
    const QVariant value = request.value(QLatin1String(key));
    if (isAbsent(value))
        return QString();
    if (value.type() != QVariant::String)
        return std::nullopt;
    return value.toString();
}

std::optional<QVariantList> readList(const QVariantMap &request, const char *key)
{
    const QVariant value = request.value(QLatin1String(key));
    if (isAbsent(value))
        return QVariantList();
    if (value.type() != QVariant::List)
        return std::nullopt;
    return value.toList();
}

std::optional<std::vector<quint32>> readU32List(const QVariantMap &request, const char *key,
                                                quint32 limit)
{
    return integerList<quint32>(request, key, limit);
}

std::optional<std::vector<qint32>> readI32List(const QVariantMap &request, const char *key,
                                               quint32 limit)
{
    return integerList<qint32>(request, key, limit);
}

bool readU32Fields(const QVariantMap &request, std::initializer_list<U32Field> fields)
{
    for (const U32Field &field : fields) {
        const std::optional<quint32> value = readU32(request, field.key);
        if (!value)
            return false;
        *field.value = *value;
    }
    return true;
}

QVariantMap resultReply(int retVal)
{
    return {{QStringLiteral("retVal"), retVal}};
}

QVariantList toVariantList(const std::vector<quint32> &values)
{
    QVariantList list;
    list.reserve(static_cast<int>(values.size()));
    for (const quint32 value : values)
        list.append(value);
    return list;
}

} // namespace qrb
