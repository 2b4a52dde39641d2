#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The top-level keys of an INI settings file, read and set in the file's text the way QSettings reads
// and writes them. Every other line stays as it was, byte for byte, whatever QSettings would make of
// it. Keys are plain: letters, digits, '.', '_' and '-', which QSettings writes as they are.
namespace IniKeys {

// The text after "key=" on the key's last line among the top-level keys; nothing when it is not set.
std::optional<QByteArray> value(const QByteArray &text, const QString &key);
// The file's text with the key set to `value` (its line replaced, else added as the last top-level
// key) or, with no value, removed.
QByteArray withValue(const QByteArray &text, const QString &key, const std::optional<QByteArray> &value);

// The value's text as QSettings writes these bytes.
QByteArray fromBytes(const QByteArray &bytes);
// The value's text as QSettings writes this string.
QByteArray fromString(const QString &string);
// The bytes QSettings reads from a value's text; nothing when it reads as anything but bytes.
std::optional<QByteArray> toBytes(QByteArrayView value);

} // namespace IniKeys
