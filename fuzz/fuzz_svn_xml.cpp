#include "parsers/SVNXMLParsers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<WorkingCopyItem> items = SVNXMLParsers::parseStatus(text);
    for (const WorkingCopyItem &item : items) {
        if (item.kind == SVNStatusKind::normal && item.propertiesKind == SVNStatusKind::none && !item.treeConflict)
            __builtin_trap();
    }
    // Read in pieces as a tool writes it, the same UTF-8 gives the same rows wherever the pieces end.
    const QByteArray bytes = text.toUtf8();
    SVNXMLParsers::StatusReading pieces;
    const qsizetype step = 1 + (size > 0 ? data[0] % 13 : 0);
    for (qsizetype at = 0; at < bytes.size(); at += step)
        pieces.add(bytes.mid(at, step));
    if (pieces.finish().items != items)
        __builtin_trap();
    const SVNRemoteStatus remote = SVNXMLParsers::parseRemoteStatus(text);
    for (const WorkingCopyItem &item : remote.outdatedItems) {
        if (item.treeConflict)
            __builtin_trap();
    }
    const QList<LogEntry> entries = SVNXMLParsers::parseLog(text);
    for (qsizetype i = 1; i < entries.size(); ++i) {
        if (entries[i - 1].revision < entries[i].revision)
            __builtin_trap();
    }
    // The piecewise log reading scans svn's own path elements itself: it reads what the XML reader reads.
    SVNXMLParsers::LogReading logPieces;
    QList<LogEntry> taken;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        logPieces.add(bytes.mid(at, step));
        taken += logPieces.takeEntries();
    }
    logPieces.finish();
    taken += logPieces.takeEntries();
    SVNXMLParsers::sortNewestFirst(taken);
    if (taken != entries)
        __builtin_trap();
    (void)SVNXMLParsers::parseInfo(text);
    for (const QString &file : SVNXMLParsers::parseConflictFiles(text)) {
        if (file.isEmpty())
            __builtin_trap();
    }
    return 0;
}
