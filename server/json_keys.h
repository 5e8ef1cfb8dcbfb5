// A quick look at the object keys of a JSON text before it is parsed.
#pragma once

#include <QByteArray>

namespace qrb {

// True when some object of `text` names a key twice (keys compared after their escapes are
// decoded), or nests deeper than any JSON reader accepts. Scans in one pass without building
// the document; malformed text that has neither is left for the JSON parser to refuse.
bool hasRepeatedKeys(const QByteArray &text);

} // namespace qrb
