#include "parsers/GitParsers.h"

#include "model/TextUtil.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)GitParsers::parseStatus(text);
    const QList<LogEntry> entries = GitParsers::parseLog(text);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].revision != 1000000 - i || !entries[i].commitHash)
            __builtin_trap();
    }
    const QList<GitBranch> branches = GitParsers::parseBranches(text);
    for (const GitBranch &branch : branches) {
        if (branch.name.isEmpty())
            __builtin_trap();
    }
    (void)GitParsers::unquotePath(text);

    // Read as bytes, nothing is lost to a byte that is not UTF-8, and UTF-8 reads as it does as text.
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<WorkingCopyItem> status = GitParsers::parseStatus(bytes);
    // Read in pieces as git writes it, the same bytes give the same rows wherever the pieces end.
    GitParsers::StatusReading pieces;
    const qsizetype step = 1 + (size > 0 ? data[0] % 13 : 0);
    for (qsizetype at = 0; at < bytes.size(); at += step)
        pieces.add(bytes.sliced(at, std::min(step, bytes.size() - at)).toByteArray());
    QList<WorkingCopyItem> read = pieces.finish();
    TextUtil::sortByLocalizedKey(read, [](const WorkingCopyItem &item) { return item.path; });
    if (read != status)
        __builtin_trap();
    const QList<LogEntry> fromBytes = GitParsers::parseLog(bytes);
    // A byte order mark at the very start is dropped from the text alone.
    if (TextUtil::isValidUtf8(bytes) && !bytes.startsWith("\xEF\xBB\xBF") && fromBytes != entries)
        __builtin_trap();
    return 0;
}
