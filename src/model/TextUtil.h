#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// Small, strict readers and text helpers shared by the parsers, the state and the actions.
namespace TextUtil {

// An optional "+" or "-" followed by one or more ASCII digits and nothing else, within the
// signed 64-bit range. Anything else (white space included) gives no number.
std::optional<qint64> parseInt64(QStringView text);

// An internet date-time: YYYY-MM-DDTHH:MM:SS(.fraction)?(Z|+HH:MM|-HH:MM), checked strictly.
// The fraction is optional. Anything else gives no date.
std::optional<QDateTime> parseInternetDateTime(QStringView text);

// UTF-8 decoding that gives the empty text when the bytes are not valid UTF-8.
// A leading byte order mark is dropped.
QString decodeUtf8Strict(const QByteArray &bytes);
// The same, with nothing for bytes that are not UTF-8. Bytes cut from a longer text (not `complete`)
// may end inside a character: that character is left out, not counted invalid.
std::optional<QString> decodeUtf8(QByteArrayView bytes, bool complete = true);

// Whether the bytes are valid UTF-8. Reads them in pieces, so a large text costs no copy.
bool isValidUtf8(QByteArrayView bytes);

// A file name's bytes as text: UTF-8 where they are UTF-8, and each byte that is not (a name from an
// old Latin-1 system) as the lone surrogate U+DC80..U+DCFF, so that no two names read alike and
// encodeFileName gives the exact bytes back. Valid UTF-8 never decodes to a lone surrogate.
QString decodeFileName(QByteArrayView bytes);
QByteArray encodeFileName(QStringView name);
// Whether the name holds a byte that is not UTF-8: no command-line argument can carry it.
bool holdsUndecodableBytes(QStringView name);
// The name as shown: each byte that is not UTF-8 as U+FFFD.
QString displayFileName(const QString &name);
// The names as shown, in prose: "a.txt", "a.txt and b.txt", "a.txt, b.txt and c.txt", at most ten.
QString namesInProse(const QStringList &paths);

// White space and newlines removed from both ends (Unicode separators, U+0009..U+000D, U+0085).
inline QString trimmed(const QString &text)
{
    return text.trimmed();
}

// Only U+000A..U+000D, U+0085, U+2028 and U+2029 removed from both ends.
QString trimmedNewlines(const QString &text);
// Whether trimmedNewlines would leave nothing; looks at the text without copying it.
bool holdsOnlyNewlines(QStringView text);
// The same for UTF-8 text, without decoding it.
bool holdsOnlyNewlines(QByteArrayView utf8);

// Spaces and tabs removed from both ends.
QString trimmedSpacesAndTabs(const QString &text);

// The localized standard order: case-insensitive, digit runs compared by value.
// True when a sorts before b.
bool localizedStandardLess(const QString &a, const QString &b);
// Compare: negative, zero or positive.
int localizedStandardCompare(const QString &a, const QString &b);
// The locale, or US English in place of the C locale (C, C.UTF-8, POSIX: common on servers and in
// containers), which has no numeric collation and no real date styles: its short time shows seconds.
QLocale workingLocale(const QLocale &locale = QLocale());

// Sorts a list by a key in the localized standard order; stable.
template <typename T, typename KeyFn> void sortByLocalizedKey(QList<T> &items, KeyFn key);

// Cuts text into lines at line feeds; a final line feed adds no empty last line.
QStringList splitLines(const QString &text);

// The last path component: "/a/b/" gives "b", "/" gives "/", "" gives "".
QString lastPathComponent(const QString &path);
// The path without its last component: "/a/b" gives "/a", "/a" gives "/", "b" gives "".
QString deletingLastPathComponent(const QString &path);
// Appends a component (or relative path) to a folder path with exactly one "/" between.
QString appendingPathComponent(const QString &folder, const QString &component);
// QDir::cleanPath of the path.
QString standardizedPath(const QString &path);

} // namespace TextUtil

#include "TextUtilSort.h"
