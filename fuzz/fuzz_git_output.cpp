#include "parsers/GitParsers.h"

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
    return 0;
}
