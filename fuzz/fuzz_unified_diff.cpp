#include "parsers/UnifiedDiffParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)UnifiedDiffParser::parse(text);

    // Any text shown as an unversioned file reads back as one file of added lines, one per line.
    const QString diff = UnifiedDiffParser::unversionedFileDiff(QStringLiteral("file.txt"), text);
    const ParsedDiff parsed = UnifiedDiffParser::parse(diff);
    if (parsed.files.size() != 1 || parsed.files[0].hunks.size() != 1)
        __builtin_trap();
    qsizetype lines = text.count(u'\n') + 1;
    if (text.endsWith(u'\n'))
        --lines;
    if (text.isEmpty() || text == QStringLiteral("\n"))
        lines = 0;
    if (parsed.files[0].additions() != lines || parsed.files[0].hunks[0].lines.size() != lines)
        __builtin_trap();
    return 0;
}
