#include "IniKeys.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

struct Line {
    qsizetype start = 0;
    // Where its line break or comment begins.
    qsizetype end = 0;
    qsizetype equals = -1;
    bool topLevel = false;
};

// The escapes QSettings writes and reads by name.
constexpr std::array<std::pair<char, char>, 9> namedEscapes = {{{'\a', 'a'}, {'\b', 'b'}, {'\f', 'f'}, {'\n', 'n'},
    {'\r', 'r'}, {'\t', 't'}, {'\v', 'v'}, {'"', '"'}, {'\\', '\\'}}};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The file's lines as QSettings reads them: a quoted value goes on over line breaks, a backslash takes
// the next byte (or line break) with it, and an unquoted ';' starts a comment that runs to the line's
// end. Keys before any section and in "[General]" (in any case) are the top-level ones.
std::vector<Line> lines(QByteArrayView text)
{
    std::vector<Line> found;
    bool topLevel = true;
    const qsizetype size = text.size();
    qsizetype i = text.startsWith("\xef\xbb\xbf") ? 3 : 0;
    for (;;) {
        while (i < size && isSpace(text[i]))
            ++i;
        if (i == size)
            return found;
        if (text[i] == ';') {
            while (i < size && text[i] != '\n' && text[i] != '\r')
                ++i;
            continue;
        }
        Line line{.start = i};
        bool quoted = false;
        for (; i < size; ++i) {
            const char c = text[i];
            if (!quoted && (c == '\n' || c == '\r' || c == ';'))
                break;
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '=' && !quoted && line.equals < 0) {
                line.equals = i;
            } else if (c == '\\' && i + 1 < size) {
                const char next = text[++i];
                if (i + 1 < size && ((next == '\n' && text[i + 1] == '\r') || (next == '\r' && text[i + 1] == '\n')))
                    ++i;
            }
        }
        line.end = i;
        if (text[line.start] == '[') {
            QByteArrayView header = text.sliced(line.start + 1, line.end - line.start - 1);
            if (const qsizetype close = header.indexOf(']'); close >= 0)
                header = header.first(close);
            topLevel = header.trimmed().compare("general", Qt::CaseInsensitive) == 0;
            line.equals = -1;
        }
        line.topLevel = topLevel;
        found.push_back(line);
    }
}

bool isKeyLine(QByteArrayView text, const Line &line, QByteArrayView key)
{
    return line.topLevel && line.equals >= 0 && text.sliced(line.start, line.equals - line.start).trimmed() == key;
}

// Where the line after the one ending at `end` begins.
qsizetype nextLine(QByteArrayView text, qsizetype end)
{
    const qsizetype lineBreak = text.indexOf('\n', end);
    return lineBreak < 0 ? text.size() : lineBreak + 1;
}

// A value's text as QSettings writes it: control characters escaped, and quoted where a ';', ',' or '='
// or a space at either end would change how it reads. Bytes from 0x7F up are escaped too unless they
// are UTF-8.
QByteArray escaped(QByteArrayView bytes, bool utf8)
{
    QByteArray text;
    text.reserve(bytes.size() + bytes.size() / 8 + 2);
    bool quoted = false;
    // After a numeric escape a hex digit would read as part of it.
    bool escapeHexDigit = false;
    for (const char c : bytes) {
        const auto byte = uchar(c);
        quoted = quoted || c == ';' || c == ',' || c == '=';
        if (escapeHexDigit && isHexDigit(c)) {
            text += "\\x" + QByteArray::number(byte, 16);
            continue;
        }
        escapeHexDigit = false;
        const auto named = std::find_if(
            namedEscapes.begin(), namedEscapes.end(), [c](const std::pair<char, char> &e) { return e.first == c; });
        if (named != namedEscapes.end()) {
            text += '\\';
            text += named->second;
        } else if (c == '\0') {
            text += "\\0";
            escapeHexDigit = true;
        } else if (byte <= 0x1F || (byte >= 0x7F && !utf8)) {
            text += "\\x" + QByteArray::number(byte, 16);
            escapeHexDigit = true;
        } else {
            text += c;
        }
    }
    if (quoted || text.startsWith(' ') || text.endsWith(' '))
        return '"' + text + '"';
    return text;
}

// The text QSettings reads from a value: quotes and escapes undone, unquoted spaces at the ends dropped.
// Nothing for a value that reads as a list (an unquoted ',').
std::optional<QString> unescaped(QByteArrayView value)
{
    QString text;
    QStringDecoder utf8(QStringDecoder::Utf8);
    bool inQuotes = false;
    bool quoted = false;
    qsizetype keep = 0;
    qsizetype i = 0;
    const qsizetype size = value.size();
    const auto skipSpaces = [&] {
        while (i < size && (value[i] == ' ' || value[i] == '\t'))
            ++i;
    };
    // Every digit that follows counts, as in QSettings.
    const auto number = [&](int base) {
        char16_t code = 0;
        for (; i < size; ++i) {
            const char c = value[i];
            const int digit = c >= '0' && c <= '9' ? c - '0' : isHexDigit(c) ? (c | 0x20) - 'a' + 10 : base;
            if (digit >= base)
                break;
            code = char16_t(code * base + digit);
        }
        text += QChar(code);
    };
    skipSpaces();
    while (i < size) {
        const char c = value[i];
        if (c == '\\') {
            if (++i >= size)
                return text;
            const char escape = value[i++];
            const auto named = std::find_if(namedEscapes.begin(), namedEscapes.end(),
                [escape](const std::pair<char, char> &e) { return e.second == escape; });
            if (named != namedEscapes.end() || escape == '?' || escape == '\'') {
                text += QLatin1Char(named != namedEscapes.end() ? named->first : escape);
            } else if (escape == 'x' && i < size && isHexDigit(value[i])) {
                number(16);
            } else if (escape >= '0' && escape <= '7') {
                --i;
                number(8);
            } else if ((escape == '\n' || escape == '\r') && i < size && (value[i] == '\n' || value[i] == '\r')
                && value[i] != escape) {
                ++i;
            }
            keep = text.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                keep = text.size();
            }
        } else if (c == ',' && !inQuotes) {
            return std::nullopt;
        } else {
            qsizetype run = i + 1;
            while (run < size && value[run] != '\\' && value[run] != '"' && value[run] != ',')
                ++run;
            text += utf8(value.sliced(i, run - i));
            i = run;
        }
    }
    if (!quoted) {
        while (text.size() > keep && (text.back() == u' ' || text.back() == u'\t'))
            text.chop(1);
    }
    return text;
}

} // namespace

namespace IniKeys {

std::optional<QByteArray> value(const QByteArray &text, const QString &key)
{
    const QByteArray name = key.toLatin1();
    const std::vector<Line> found = lines(text);
    const auto line
        = std::find_if(found.rbegin(), found.rend(), [&](const Line &line) { return isKeyLine(text, line, name); });
    if (line == found.rend())
        return std::nullopt;
    return text.sliced(line->equals + 1, line->end - line->equals - 1);
}

QByteArray withValue(const QByteArray &text, const QString &key, const std::optional<QByteArray> &value)
{
    const QByteArray name = key.toLatin1();
    const std::vector<Line> found = lines(text);
    QByteArray edited = text;
    bool placed = !value;
    // From the last line back, so each edit leaves the positions of the lines before it as they were.
    for (auto line = found.rbegin(); line != found.rend(); ++line) {
        if (!isKeyLine(text, *line, name))
            continue;
        if (placed) {
            edited.remove(line->start, nextLine(text, line->end) - line->start);
        } else {
            edited.replace(line->start, line->end - line->start, name + '=' + *value);
            placed = true;
        }
    }
    if (placed)
        return edited;
    const QByteArray entry = name + '=' + *value + '\n';
    const auto last = std::find_if(found.rbegin(), found.rend(), [](const Line &line) { return line.topLevel; });
    if (last == found.rend())
        return "[General]\n" + entry + (text.isEmpty() ? "" : "\n") + text;
    const qsizetype at = nextLine(text, last->end);
    return edited.insert(at, (at == text.size() && !text.endsWith('\n') ? "\n" : "") + entry);
}

QByteArray fromBytes(const QByteArray &bytes)
{
    return escaped("@ByteArray(" + bytes + ')', false);
}

QByteArray fromString(const QString &string)
{
    // A leading '@' would read as the mark of a typed value.
    return escaped((string.startsWith(u'@') ? QStringLiteral("@") + string : string).toUtf8(), true);
}

std::optional<QByteArray> toBytes(QByteArrayView value)
{
    const std::optional<QString> text = unescaped(value);
    if (!text || !text->startsWith(QLatin1String("@ByteArray(")) || !text->endsWith(u')'))
        return std::nullopt;
    return text->sliced(11).chopped(1).toLatin1();
}

} // namespace IniKeys
