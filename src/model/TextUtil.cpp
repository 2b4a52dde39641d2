#include "TextUtil.h"

#include <QDir>
#include <QLocale>
#include <QStringDecoder>
#include <QTimeZone>

#include <algorithm>
#include <limits>

namespace TextUtil {

std::optional<qint64> parseInt64(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        i = 1;
    }
    if (i >= text.size())
        return std::nullopt;
    // Accumulate as a negative number so that the minimum value fits.
    qint64 value = 0;
    constexpr qint64 minValue = std::numeric_limits<qint64>::min();
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < minValue / 10 || (value == minValue / 10 && -digit < minValue % 10))
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == minValue)
            return std::nullopt;
        value = -value;
    }
    return value;
}

namespace {

bool readDigits(QStringView text, qsizetype &pos, int count, int &out)
{
    if (pos + count > text.size())
        return false;
    int value = 0;
    for (int k = 0; k < count; ++k) {
        const char16_t c = text[pos + k].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    pos += count;
    out = value;
    return true;
}

bool expect(QStringView text, qsizetype &pos, char16_t c)
{
    if (pos >= text.size() || text[pos].unicode() != c)
        return false;
    ++pos;
    return true;
}

} // namespace

std::optional<QDateTime> parseInternetDateTime(QStringView text)
{
    qsizetype pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readDigits(text, pos, 4, year) || !expect(text, pos, u'-') || !readDigits(text, pos, 2, month)
        || !expect(text, pos, u'-') || !readDigits(text, pos, 2, day) || !expect(text, pos, u'T')
        || !readDigits(text, pos, 2, hour) || !expect(text, pos, u':') || !readDigits(text, pos, 2, minute)
        || !expect(text, pos, u':') || !readDigits(text, pos, 2, second))
        return std::nullopt;
    int msec = 0;
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        const qsizetype start = pos;
        int digits = 0;
        while (pos < text.size() && text[pos].unicode() >= u'0' && text[pos].unicode() <= u'9') {
            if (digits < 3) {
                msec = msec * 10 + (text[pos].unicode() - u'0');
                ++digits;
            }
            ++pos;
        }
        if (pos == start)
            return std::nullopt;
        while (digits < 3) {
            msec *= 10;
            ++digits;
        }
    }
    int offsetSeconds = 0;
    if (pos >= text.size())
        return std::nullopt;
    if (text[pos] == u'Z') {
        ++pos;
    } else if (text[pos] == u'+' || text[pos] == u'-') {
        const int sign = text[pos] == u'-' ? -1 : 1;
        ++pos;
        int offHours = 0, offMinutes = 0;
        if (!readDigits(text, pos, 2, offHours) || !expect(text, pos, u':') || !readDigits(text, pos, 2, offMinutes))
            return std::nullopt;
        if (offHours > 23 || offMinutes > 59)
            return std::nullopt;
        offsetSeconds = sign * (offHours * 3600 + offMinutes * 60);
    } else {
        return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;
    if (month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    const QDateTime result(date, QTime(hour, minute, second, msec), QTimeZone(offsetSeconds));
    if (!result.isValid())
        return std::nullopt;
    return result.toUTC();
}

QString decodeUtf8Strict(const QByteArray &bytes)
{
    return decodeUtf8(bytes).value_or(QString());
}

std::optional<QString> decodeUtf8(QByteArrayView bytes, bool complete)
{
    // A decoder that keeps state holds a character cut short at the end back for the next piece.
    QStringDecoder decoder(
        QStringDecoder::Utf8, complete ? QStringDecoder::Flag::Stateless : QStringDecoder::Flag::Default);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isValidUtf8(QByteArrayView bytes)
{
    // Decoded in pieces cut before a character's first byte, so each piece is whole UTF-8 or invalid.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    constexpr qsizetype piece = 16 * 1024;
    // Left uninitialised: QChar's constructor would clear 32 KiB on every call, however short the bytes.
    char16_t storage[piece];
    QChar *buffer = reinterpret_cast<QChar *>(storage);
    const auto continuation = [](char byte) { return (uchar(byte) & 0xC0) == 0x80; };
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = std::min(at + piece, bytes.size());
        for (int back = 0; back < 3 && end < bytes.size() && end > at + 1 && continuation(bytes[end]); ++back)
            --end;
        decoder.appendToBuffer(buffer, bytes.sliced(at, end - at));
        if (decoder.hasError())
            return false;
        at = end;
    }
    return true;
}

namespace {

constexpr char16_t firstEscapedByte = 0xDC80;
constexpr char16_t lastEscapedByte = 0xDCFF;

bool isEscapedByte(QStringView text, qsizetype at)
{
    const char16_t c = text[at].unicode();
    return c >= firstEscapedByte && c <= lastEscapedByte && (at == 0 || !text[at - 1].isHighSurrogate());
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF).
qsizetype utf8SequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return i < bytes.size() ? uchar(bytes[i]) : 0; };
    const auto continuation = [&](qsizetype i, uchar low = 0x80, uchar high = 0xBF) {
        const uchar b = byte(i);
        return i < bytes.size() && b >= low && b <= high;
    };
    const uchar lead = byte(at);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uchar low = lead == 0xE0 ? 0xA0 : 0x80;
        const uchar high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(at + 1, low, high) && continuation(at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uchar low = lead == 0xF0 ? 0x90 : 0x80;
        const uchar high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(at + 1, low, high) && continuation(at + 2) && continuation(at + 3) ? 4 : 0;
    }
    return 0;
}

} // namespace

QString decodeFileName(QByteArrayView bytes)
{
    // QString::fromUtf8 drops a leading byte order mark, which is part of a name.
    const auto utf8 = [](QByteArrayView run) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return QString(decoder.decode(run));
    };
    // Most names are ASCII, which reads as Latin-1 at once.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    if (isValidUtf8(bytes))
        return utf8(bytes);
    QString name;
    name.reserve(bytes.size());
    qsizetype runStart = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = utf8SequenceLength(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        name += utf8(bytes.sliced(runStart, at - runStart));
        name += QChar(char16_t(0xDC00 + uchar(bytes[at])));
        runStart = ++at;
    }
    name += utf8(bytes.sliced(runStart));
    return name;
}

QByteArray encodeFileName(QStringView name)
{
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype at = 0; at < name.size(); ++at) {
        if (!isEscapedByte(name, at))
            continue;
        bytes += name.sliced(runStart, at - runStart).toUtf8();
        bytes += char(name[at].unicode() - 0xDC00);
        runStart = at + 1;
    }
    if (runStart == 0)
        return name.toUtf8();
    bytes += name.sliced(runStart).toUtf8();
    return bytes;
}

bool holdsUndecodableBytes(QStringView name)
{
    for (qsizetype at = 0; at < name.size(); ++at) {
        if (isEscapedByte(name, at))
            return true;
    }
    return false;
}

QString displayFileName(const QString &name)
{
    if (!holdsUndecodableBytes(name))
        return name;
    QString shown = name;
    for (qsizetype at = 0; at < shown.size(); ++at) {
        if (isEscapedByte(name, at))
            shown[at] = QChar::ReplacementCharacter;
    }
    return shown;
}

QString namesInProse(const QStringList &paths)
{
    constexpr qsizetype shown = 10;
    QStringList names;
    for (qsizetype i = 0; i < paths.size() && i < shown; ++i)
        names.push_back(displayFileName(paths[i]));
    if (paths.size() > shown)
        names.push_back(QString::number(paths.size() - shown) + QStringLiteral(" more"));
    if (names.size() == 1)
        return names.front();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

namespace {
bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}
} // namespace

QString trimmedNewlines(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isNewline(text[start]))
        ++start;
    while (end > start && isNewline(text[end - 1]))
        --end;
    if (start == 0 && end == text.size())
        return text;
    return text.mid(start, end - start);
}

bool holdsOnlyNewlines(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return isNewline(c); });
}

bool holdsOnlyNewlines(QByteArrayView utf8)
{
    for (qsizetype at = 0; at < utf8.size();) {
        const QByteArrayView rest = utf8.sliced(at);
        if (rest.front() >= 0x0A && rest.front() <= 0x0D)
            at += 1;
        else if (rest.startsWith("\xC2\x85"))
            at += 2;
        else if (rest.startsWith("\xE2\x80\xA8") || rest.startsWith("\xE2\x80\xA9"))
            at += 3;
        else
            return false;
    }
    return true;
}

QString trimmedSpacesAndTabs(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    while (end > start && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    if (start == 0 && end == text.size())
        return text;
    return text.mid(start, end - start);
}

QLocale workingLocale(const QLocale &locale)
{
    return locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale;
}

QCollator standardCollator()
{
    // The C locale's collator ignores numeric mode.
    QCollator collator(workingLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

int localizedStandardCompare(const QString &a, const QString &b)
{
    static thread_local const QCollator collator = standardCollator();
    return collator.compare(a, b);
}

bool localizedStandardLess(const QString &a, const QString &b)
{
    return localizedStandardCompare(a, b) < 0;
}

QStringList splitLines(const QString &text)
{
    QStringList lines = text.split(u'\n');
    if (text.endsWith(u'\n'))
        lines.removeLast();
    return lines;
}

QString lastPathComponent(const QString &path)
{
    if (path.isEmpty())
        return QString();
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == u'/')
        --end;
    if (end == 0)
        return QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(u'/', end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

QString deletingLastPathComponent(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == u'/')
        --end;
    const qsizetype slash = path.lastIndexOf(u'/', end - 1);
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

QString appendingPathComponent(const QString &folder, const QString &component)
{
    if (folder.isEmpty())
        return component;
    if (component.isEmpty())
        return folder;
    QString result = folder;
    if (!result.endsWith(u'/'))
        result += u'/';
    qsizetype start = 0;
    while (start < component.size() && component[start] == u'/')
        ++start;
    result += QStringView(component).mid(start);
    return result;
}

QString standardizedPath(const QString &path)
{
    return QDir::cleanPath(path);
}

} // namespace TextUtil
