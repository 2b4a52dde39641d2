#include "model/TextUtil.h"
#include "parsers/GitParsers.h"
#include "parsers/SVNXMLParsers.h"
#include "parsers/UnifiedDiffParser.h"

#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

// Paths as a working copy holds them: a few folders deep, digits in the names, in the byte order
// the tools print them in.
QStringList makePaths(qsizetype count)
{
    QStringList paths;
    paths.reserve(count);
    quint32 seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    static const char *const folders[] = {"src", "tests", "docs", "Resources", "lib", "tools"};
    static const char *const extensions[] = {"cpp", "h", "txt", "md", "png", "json"};
    for (qsizetype i = 0; i < count; ++i) {
        paths.append(QStringLiteral("%1/module%2/Part%3/file_%4.%5")
                         .arg(QString::fromLatin1(folders[next() % 6]))
                         .arg(next() % 40)
                         .arg(next() % 25)
                         .arg(i)
                         .arg(QString::fromLatin1(extensions[next() % 6])));
    }
    paths.sort();
    return paths;
}

QString makeStatusXml(qsizetype count)
{
    const QStringList paths = makePaths(count);
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<status>\n<target\n   path=\".\">\n");
    for (qsizetype i = 0; i < count; ++i) {
        xml += QStringLiteral("<entry\n   path=\"%1\">\n").arg(paths[i]);
        switch (i % 4) {
        case 0:
        case 1:
            xml += QStringLiteral("<wc-status\n   item=\"modified\"\n   revision=\"%1\"\n   props=\"none\">\n"
                                  "<commit\n   revision=\"%2\">\n<author>developer</author>\n"
                                  "<date>2024-03-01T10:20:30.123456Z</date>\n</commit>\n</wc-status>\n")
                       .arg(1000 + i)
                       .arg(900 + i);
            break;
        case 2:
            xml += QStringLiteral("<wc-status\n   item=\"unversioned\"\n   props=\"none\">\n</wc-status>\n");
            break;
        default:
            xml += QStringLiteral(
                "<wc-status\n   item=\"added\"\n   revision=\"-1\"\n   props=\"none\">\n</wc-status>\n");
            break;
        }
        xml += QStringLiteral("</entry>\n");
    }
    xml += QStringLiteral("</target>\n</status>\n");
    return xml;
}

QString makeLogXml(qsizetype count)
{
    const QStringList paths = makePaths(10 * count);
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<log>\n");
    for (qsizetype i = 0; i < count; ++i) {
        xml += QStringLiteral("<logentry\n   revision=\"%1\">\n<author>developer</author>\n"
                              "<date>2024-03-01T10:20:30.123456Z</date>\n<paths>\n")
                   .arg(count - i);
        for (qsizetype p = 0; p < 10; ++p) {
            xml += QStringLiteral("<path\n   prop-mods=\"false\"\n   text-mods=\"true\"\n   kind=\"file\"\n"
                                  "   action=\"M\">/trunk/%1</path>\n")
                       .arg(paths[i * 10 + p]);
        }
        xml += QStringLiteral("</paths>\n<msg>Fix the thing number %1\n\nWith a longer body line.</msg>\n</logentry>\n")
                   .arg(i);
    }
    xml += QStringLiteral("</log>\n");
    return xml;
}

// Porcelain lines and the paths they name; every fourth name holds a non-ASCII letter and is quoted.
std::pair<QString, QStringList> makeGitStatus(qsizetype count)
{
    QStringList paths = makePaths(count);
    static const char *const codes[] = {" M", "M ", "??", "A ", " D", "!!", "MM", "R "};
    QString text;
    text.reserve(count * 48);
    for (qsizetype i = 0; i < count; ++i) {
        text += QLatin1String(codes[i % 8]);
        text += u' ';
        if (i % 4 == 0) {
            paths[i].replace(QStringLiteral("file_"), QStringLiteral("fich\u00e9_"));
            text += u'"';
            text += QString(paths[i]).replace(QStringLiteral("\u00e9"), QStringLiteral("\\303\\251"));
            text += u'"';
        } else {
            text += paths[i];
        }
        text += u'\n';
    }
    return {text, paths};
}

QString makeUnifiedDiff(qsizetype lineCount)
{
    QString text;
    text.reserve(lineCount * 40);
    qsizetype lines = 0;
    qsizetype file = 0;
    while (lines < lineCount) {
        text += QStringLiteral("diff --git a/src/file%1.cpp b/src/file%1.cpp\nindex 83db48f..bf269f4 100644\n"
                               "--- a/src/file%1.cpp\n+++ b/src/file%1.cpp\n")
                    .arg(file);
        lines += 4;
        for (int hunk = 0; hunk < 10 && lines < lineCount; ++hunk) {
            text += QStringLiteral("@@ -%1,8 +%1,8 @@ void function%2()\n").arg(hunk * 40 + 1).arg(hunk);
            ++lines;
            for (int k = 0; k < 8; ++k) {
                text += QStringLiteral("     int value%1 = compute(value%2, %3);\n").arg(k).arg(hunk).arg(lines);
                ++lines;
                if (k == 3) {
                    text += QStringLiteral("-    return oldValue + %1;\n+    return newValue + %1;\n").arg(lines);
                    lines += 2;
                }
            }
        }
        ++file;
    }
    return text;
}

void BM_ParseStatusXml(benchmark::State &state)
{
    const QString xml = makeStatusXml(state.range(0));
    for (auto _ : state) {
        QList<WorkingCopyItem> items = SVNXMLParsers::parseStatus(xml);
        benchmark::DoNotOptimize(items.data());
    }
    state.SetBytesProcessed(state.iterations() * xml.toUtf8().size());
}
BENCHMARK(BM_ParseStatusXml)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ScanXmlBaseline(benchmark::State &state)
{
    const QByteArray bytes = makeStatusXml(state.range(0)).toUtf8();
    for (auto _ : state) {
        QXmlStreamReader reader(bytes);
        qsizetype tokens = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            ++tokens;
        }
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ScanXmlBaseline)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ParseLogXml(benchmark::State &state)
{
    const QString xml = makeLogXml(state.range(0));
    for (auto _ : state) {
        QList<LogEntry> entries = SVNXMLParsers::parseLog(xml);
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetBytesProcessed(state.iterations() * xml.toUtf8().size());
}
BENCHMARK(BM_ParseLogXml)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_ParseGitStatus(benchmark::State &state)
{
    const QString text = makeGitStatus(state.range(0)).first;
    for (auto _ : state) {
        QList<WorkingCopyItem> items = GitParsers::parseStatus(text);
        benchmark::DoNotOptimize(items.data());
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_ParseGitStatus)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SortPathsBaseline(benchmark::State &state)
{
    const auto [text, paths] = makeGitStatus(state.range(0));
    for (auto _ : state) {
        QStringList sorted = paths;
        TextUtil::sortByLocalizedKey(sorted, [](const QString &path) { return path; });
        benchmark::DoNotOptimize(sorted.data());
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_SortPathsBaseline)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ParseUnifiedDiff(benchmark::State &state)
{
    const QString text = makeUnifiedDiff(state.range(0));
    for (auto _ : state) {
        ParsedDiff diff = UnifiedDiffParser::parse(text);
        benchmark::DoNotOptimize(diff.files.data());
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_ParseUnifiedDiff)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SplitLinesBaseline(benchmark::State &state)
{
    const QString text = makeUnifiedDiff(state.range(0));
    for (auto _ : state) {
        QStringList lines = TextUtil::splitLines(text);
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_SplitLinesBaseline)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
