#pragma once

#include <QString>

// Entry names in a zip archive.
namespace ZipNames {

// Marks every entry whose name holds bytes outside ASCII that are valid UTF-8 as a UTF-8 name (the
// general-purpose flag bit 11), in its central directory record and in its local header. zip 3.0 leaves
// the bit clear, so readers that follow the format take such a name for code page 437 ("über" reads as
// "├╝ber"). Nothing else of the archive changes. Gives the reason when the archive cannot be read
// or written, else the empty text.
QString markUtf8Names(const QString &archivePath);

} // namespace ZipNames
