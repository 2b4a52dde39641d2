#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFileDevice;

// Writes all the bytes to a file opened unbuffered, at its current position. Gives nothing once
// written, else the reason of the write that failed ("No space left on device").
std::optional<QString> writeAll(QFileDevice &file, const QByteArray &bytes);

// Writes the whole file as one rename, so a failure leaves what stood at the path as it was. Gives
// nothing once written, else the reason of the write that failed.
std::optional<QString> saveWholeFile(const QString &path, const QByteArray &bytes);
