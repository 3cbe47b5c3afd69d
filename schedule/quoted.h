#pragma once

#include <QString>

namespace horvex {

// What a message may quote of a value a user wrote (a line, a name, a
// summary): a file can hold a line of megabytes, or binary junk.
inline constexpr qsizetype kQuotedLimit = 80;
// No message is longer than this, in bytes of UTF-8.
inline constexpr qsizetype kMessageLimit = 1024;

// `text` shown safely: characters that are not printable as \xNN or \uNNNN,
// and at most kQuotedLimit characters, the end cut with "…".
QString shown(const QString& text);

// «text», shown as above.
QString quoted(const QString& text);

// `text` cut to `bytes` bytes of UTF-8 at most, with "…" at the cut.
QString cutToBytes(const QString& text, qsizetype bytes);

// `message` cut to kMessageLimit bytes.
inline QString boundedMessage(const QString& message) {
    return cutToBytes(message, kMessageLimit);
}

} // namespace horvex
