#include "json_keys.h"

#include <QSet>
#include <QString>

#include <vector>

namespace qrb {

namespace {

// Deeper documents are refused by the JSON parser too.
constexpr std::size_t kMaxNesting = 1024;
constexpr int kUnicodeEscapeDigits = 4;

struct Container {
    bool isObject = false;
    bool expectKey = false;
    QSet<QString> keys;
};

// The key's text with its escapes decoded; `raw` is what lies between the quotes. Malformed
// escapes are kept as they are: the parser refuses them anyway.
QString decodeKey(const char *raw, int size)
{
    QString key;
    int i = 0;
    while (i < size) {
        int run = i;
        while (run < size && raw[run] != '\\')
            ++run;
        key += QString::fromUtf8(raw + i, run - i);
        i = run;
        if (i + 1 >= size)
            break;
        const char escaped = raw[i + 1];
        i += 2;
        switch (escaped) {
        case 'b':
            key += QChar('\b');
            break;
        case 'f':
            key += QChar('\f');
            break;
        case 'n':
            key += QChar('\n');
            break;
        case 'r':
            key += QChar('\r');
            break;
        case 't':
            key += QChar('\t');
            break;
        case 'u': {
            bool ok = false;
            const ushort unit =
                QByteArray(raw + i, qMin(kUnicodeEscapeDigits, size - i)).toUShort(&ok, 16);
            if (ok)
                key += QChar(unit);
            i += kUnicodeEscapeDigits;
            break;
        }
        default:
            key += QLatin1Char(escaped);
            break;
        }
    }
    return key;
}

// Index just past the closing quote of the string that starts at `open`, or `size`.
int skipString(const char *text, int open, int size)
{
    int i = open + 1;
    while (i < size && text[i] != '"')
        i += text[i] == '\\' ? 2 : 1;
    return qMin(i + 1, size);
}

} // namespace

bool hasRepeatedKeys(const QByteArray &text)
{
    const char *data = text.constData();
    const int size = text.size();
    std::vector<Container> open;
    for (int i = 0; i < size;) {
        const char c = data[i];
        if (c == '{' || c == '[') {
            if (open.size() >= kMaxNesting)
                return true;
            open.push_back({c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (open.empty())
                return false;
            open.pop_back();
        } else if (c == ',' && !open.empty()) {
            open.back().expectKey = open.back().isObject;
        } else if (c == '"') {
            const int end = skipString(data, i, size);
            if (!open.empty() && open.back().expectKey) {
                Container &object = open.back();
                object.expectKey = false;
                const QString key = decodeKey(data + i + 1, qMax(0, end - i - 2));
                if (object.keys.contains(key))
                    return true;
                object.keys.insert(key);
            }
            i = end;
            continue;
        }
        ++i;
    }
    return false;
}

} // namespace qrb
