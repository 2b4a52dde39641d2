#include "ZipNames.h"

#include "model/TextUtil.h"

#include <QFile>

#include <algorithm>

namespace ZipNames {

namespace {

constexpr quint32 centralSignature = 0x02014b50;
constexpr quint32 localSignature = 0x04034b50;
constexpr quint32 endSignature = 0x06054b50;
constexpr quint32 zip64EndSignature = 0x06064b50;
constexpr quint32 zip64LocatorSignature = 0x07064b50;
constexpr quint16 utf8NameFlag = 0x0800;
constexpr qsizetype endSize = 22;
constexpr qsizetype largestComment = 0xFFFF;
// Far more than any archive of a working copy needs; a larger one is not read into memory.
constexpr qint64 largestCentralDirectory = qint64(1) << 30;

quint64 little(QByteArrayView bytes, qsizetype at, int size)
{
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

quint16 u16(QByteArrayView bytes, qsizetype at)
{
    return quint16(little(bytes, at, 2));
}

quint32 u32(QByteArrayView bytes, qsizetype at)
{
    return quint32(little(bytes, at, 4));
}

quint64 u64(QByteArrayView bytes, qsizetype at)
{
    return little(bytes, at, 8);
}

void setU16(QByteArray &bytes, qsizetype at, quint16 value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char(value >> 8);
}

bool needsFlag(QByteArrayView name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return quint8(c) >= 0x80; })
        && TextUtil::isValidUtf8(name);
}

class Archive {
public:
    explicit Archive(const QString &path) : m_file(path) { }

    QString mark()
    {
        if (!m_file.open(QIODevice::ReadWrite))
            return m_file.errorString();
        const qint64 size = m_file.size();
        const qint64 tailStart = std::max<qint64>(0, size - endSize - largestComment);
        const QByteArray tail = readAt(tailStart, size - tailStart);
        if (tail.size() != size - tailStart)
            return readError();
        // The end record is the last signature whose comment runs exactly to the end of the file.
        qsizetype end = -1;
        for (qsizetype at = tail.size() - endSize; at >= 0; --at) {
            if (u32(tail, at) == endSignature && at + endSize + u16(tail, at + 20) == tail.size()) {
                end = at;
                break;
            }
        }
        if (end < 0)
            return notAZip();
        quint64 entries = u16(tail, end + 10);
        quint64 directorySize = u32(tail, end + 12);
        quint64 directoryOffset = u32(tail, end + 16);
        if (entries == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF) {
            const qint64 locator = tailStart + end - 20;
            const QByteArray found = locator >= 0 ? readAt(locator, 20) : QByteArray();
            if (found.size() != 20 || u32(found, 0) != zip64LocatorSignature)
                return notAZip();
            const QByteArray record = readAt(qint64(u64(found, 8)), 56);
            if (record.size() != 56 || u32(record, 0) != zip64EndSignature)
                return notAZip();
            entries = u64(record, 32);
            directorySize = u64(record, 40);
            directoryOffset = u64(record, 48);
        }
        if (directorySize > quint64(largestCentralDirectory) || directoryOffset > quint64(size)
            || directorySize > quint64(size) - directoryOffset)
            return notAZip();
        QByteArray directory = readAt(qint64(directoryOffset), qint64(directorySize));
        if (directory.size() != qsizetype(directorySize))
            return readError();

        bool changed = false;
        qsizetype at = 0;
        for (quint64 entry = 0; entry < entries; ++entry) {
            if (at + 46 > directory.size() || u32(directory, at) != centralSignature)
                return notAZip();
            const quint16 flags = u16(directory, at + 8);
            const qsizetype nameLength = u16(directory, at + 28);
            const qsizetype extraLength = u16(directory, at + 30);
            const qsizetype commentLength = u16(directory, at + 32);
            const qsizetype next = at + 46 + nameLength + extraLength + commentLength;
            if (next > directory.size())
                return notAZip();
            const QByteArrayView name = QByteArrayView(directory).sliced(at + 46, nameLength);
            if (!(flags & utf8NameFlag) && needsFlag(name)) {
                const std::optional<quint64> local = localHeaderOffset(
                    directory, at, QByteArrayView(directory).sliced(at + 46 + nameLength, extraLength));
                if (!local)
                    return notAZip();
                if (const QString failure = markLocalHeader(*local, name); !failure.isEmpty())
                    return failure;
                setU16(directory, at + 8, quint16(flags | utf8NameFlag));
                changed = true;
            }
            at = next;
        }
        if (changed && !writeAt(qint64(directoryOffset), directory))
            return writeError();
        if (!m_file.flush())
            return writeError();
        return QString();
    }

private:
    // The local header's offset: in the record, or in its zip64 extra field when the record says so.
    static std::optional<quint64> localHeaderOffset(QByteArrayView directory, qsizetype record, QByteArrayView extra)
    {
        const quint32 offset = u32(directory, record + 42);
        if (offset != 0xFFFFFFFF)
            return offset;
        for (qsizetype at = 0; at + 4 <= extra.size();) {
            const quint16 id = u16(extra, at);
            const qsizetype length = u16(extra, at + 2);
            if (at + 4 + length > extra.size())
                break;
            if (id == 0x0001) {
                // The 64-bit values present, in this order: sizes first, then the offset.
                qsizetype value = at + 4;
                if (u32(directory, record + 24) == 0xFFFFFFFF)
                    value += 8;
                if (u32(directory, record + 20) == 0xFFFFFFFF)
                    value += 8;
                if (value + 8 > at + 4 + length)
                    return std::nullopt;
                return u64(extra, value);
            }
            at += 4 + length;
        }
        return std::nullopt;
    }

    QString markLocalHeader(quint64 offset, QByteArrayView name)
    {
        QByteArray header = readAt(qint64(offset), 30 + name.size());
        if (header.size() != 30 + name.size() || u32(header, 0) != localSignature || u16(header, 26) != name.size()
            || QByteArrayView(header).sliced(30) != name)
            return notAZip();
        setU16(header, 6, quint16(u16(header, 6) | utf8NameFlag));
        if (!writeAt(qint64(offset), header.first(30)))
            return writeError();
        return QString();
    }

    QByteArray readAt(qint64 offset, qint64 length)
    {
        if (!m_file.seek(offset))
            return QByteArray();
        return m_file.read(length);
    }

    bool writeAt(qint64 offset, const QByteArray &bytes)
    {
        return m_file.seek(offset) && m_file.write(bytes) == bytes.size();
    }

    QString readError() const { return QStringLiteral("could not read the archive: ") + m_file.errorString(); }
    QString writeError() const { return QStringLiteral("could not write the archive: ") + m_file.errorString(); }
    static QString notAZip() { return QStringLiteral("the archive zip wrote is not a zip archive as expected."); }

    QFile m_file;
};

} // namespace

QString markUtf8Names(const QString &archivePath)
{
    return Archive(archivePath).mark();
}

} // namespace ZipNames
