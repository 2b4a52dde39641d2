#include "state/IniKeys.h"

#include "support/TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

// QSettings reads each file once per path in a process, so every text gets a file of its own.
struct Files {
    QTemporaryDir dir;
    int count = 0;

    QString next() { return dir.filePath(QString::number(++count) + ".ini"); }
    QByteArray written(const QString &key, const QVariant &value)
    {
        const QString path = next();
        QSettings(path, QSettings::IniFormat).setValue(key, value);
        return readFile(path);
    }
    QVariantMap read(const QByteArray &text)
    {
        const QString path = next();
        writeFile(path, text);
        QSettings settings(path, QSettings::IniFormat);
        QVariantMap values;
        for (const QString &key : settings.allKeys())
            values.insert(key, settings.value(key));
        return values;
    }
};

} // namespace

// Values are written as QSettings writes them, byte for byte, and read as it reads them.
TEST(IniKeys, ValuesAreWrittenAndReadAsQSettingsDoes)
{
    Files files;
    const QString strings[]
        = {"/opt/svn/bin/svn", "@x y", " lead;", QString::fromUtf8("é\t\001a/𝄞"), "", "back\\slash \"quoted\" a=b, c"};
    for (const QString &string : strings) {
        SCOPED_TRACE(string.toStdString());
        EXPECT_EQ(IniKeys::value(files.written("K", string), "K"), IniKeys::fromString(string));
    }
    const QByteArray bytes[] = {QByteArray("\0001\x7f\xff\"\\\0", 7), R"([{"name":"é; x"}])", ""};
    for (const QByteArray &value : bytes) {
        SCOPED_TRACE(value.toHex().toStdString());
        const std::optional<QByteArray> text = IniKeys::value(files.written("K", value), "K");
        EXPECT_EQ(text, IniKeys::fromBytes(value));
        EXPECT_EQ(IniKeys::toBytes(text.value_or("")), value);
    }
    // Values written by hand read as bytes exactly when QSettings reads them as bytes.
    const QByteArray values[] = {"@ByteArray(abc)  ", "\"@ByteArray(a\" \"b)\"", "@ByteArray(\\x41\\102\\?)",
        "\"@ByteArray([1\"", "@ByteArray(a), @ByteArray(b)", "@@ByteArray(a)", "@ByteArray(a\\\n b)"};
    for (const QByteArray &value : values) {
        SCOPED_TRACE(value.toStdString());
        const QVariant read = files.read("[General]\nK=" + value + "\n").value("K");
        EXPECT_EQ(IniKeys::toBytes(value),
            read.typeId() == QMetaType::QByteArray ? std::optional(read.toByteArray()) : std::nullopt);
    }
}

// Setting or removing a key changes what QSettings reads under it and nothing else.
TEST(IniKeys, ASetOrRemovedKeyLeavesEveryOtherKeyAsItReads)
{
    Files files;
    const QByteArray texts[] = {"", "[General]\nK=old\nother=1\n", "other=1\n[S]\nK=no\n", "[S]\nx=1",
        "[General]\nK=1\n[S]\nx=1\n\n[general]\nK=2 ; said twice\n", "q=\"a\nK=b\"\n; K=comment\n"};
    for (const QByteArray &text : texts) {
        for (const std::optional<QString> &value : {std::optional<QString>("new, value"), std::optional<QString>()}) {
            SCOPED_TRACE(text.toStdString() + " set to " + value.value_or("nothing").toStdString());
            QVariantMap expected = files.read(text);
            expected.remove("K");
            if (value)
                expected.insert("K", *value);
            const QByteArray edited
                = IniKeys::withValue(text, "K", value ? std::optional(IniKeys::fromString(*value)) : std::nullopt);
            EXPECT_EQ(files.read(edited), expected) << edited.toStdString();
        }
    }
}
