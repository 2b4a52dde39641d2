#include "parsers/UnifiedDiffParser.h"
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

// One file of n lines in hunks of 100: a third added, a third removed, a third context, of source-like length.
QString oneFileDiff(int lines, QChar variant = u'a')
{
    QString text = QStringLiteral("diff --git a/src/big.cpp b/src/big.cpp\nindex 1111111..2222222 100644\n"
                                  "--- a/src/big.cpp\n+++ b/src/big.cpp\n");
    text.reserve(lines * 56);
    for (int at = 0; at < lines; ++at) {
        if (at % 100 == 0)
            text += QStringLiteral("@@ -%1,100 +%1,100 @@ void Widget::update(int value)\n").arg(at + 1);
        const QChar prefix = at % 3 == 0 ? u'+' : at % 3 == 1 ? u'-' : u' ';
        text += prefix;
        text
            += QStringLiteral("    result = compute(value, %1) + offset_%2; // %3\n").arg(at).arg(at % 17).arg(variant);
    }
    return text;
}

QString manyFilesDiff(int files, QChar variant = u'a')
{
    QString text;
    for (int file = 0; file < files; ++file) {
        text += QStringLiteral("Index: src/module%1/file%2.c\n"
                               "===================================================================\n"
                               "--- src/module%1/file%2.c\t(revision 41)\n"
                               "+++ src/module%1/file%2.c\t(working copy)\n"
                               "@@ -1,18 +1,18 @@\n")
                    .arg(file % 37)
                    .arg(file);
        for (int at = 0; at < 20; ++at) {
            const QChar prefix = at % 10 == 4 ? u'+' : at % 10 == 5 ? u'-' : u' ';
            text += prefix + QStringLiteral("\tstatic int value_%1 = %2; /* %3 */\n").arg(at).arg(file).arg(variant);
        }
    }
    return text;
}

QString longLineDiff(int length, QChar variant = u'a')
{
    QString line(length, u'x');
    for (int at = 0; at < length; at += 80)
        line[at] = variant;
    return QStringLiteral("diff --git a/data.min.js b/data.min.js\n--- a/data.min.js\n+++ b/data.min.js\n"
                          "@@ -1 +1 @@\n-old\n+")
        + line + u'\n';
}

enum class Sample { oneFile, manyFiles, longLine };

QString sample(Sample kind, int size, QChar variant = u'a')
{
    switch (kind) {
    case Sample::oneFile:
        return oneFileDiff(size, variant);
    case Sample::manyFiles:
        return manyFilesDiff(size, variant);
    case Sample::longLine:
        return longLineDiff(size, variant);
    }
    return {};
}

void parse(benchmark::State &state, Sample kind)
{
    const QString text = sample(kind, int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(UnifiedDiffParser::parse(text));
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}

// Two texts of the same shape, set in turn, so that every call lays out a new text.
void setContent(benchmark::State &state, Sample kind)
{
    const QString texts[2] = {sample(kind, int(state.range(0)), u'a'), sample(kind, int(state.range(0)), u'b')};
    {
        // What a view keeps of one text, besides the text itself, which it shares with the caller.
        const size_t before = mallinfo2().uordblks;
        DiffView view;
        view.setContent(texts[0], QStringLiteral("(no text diff)"));
        const double kept = double(mallinfo2().uordblks - before);
        state.counters["kept_vs_utf16"] = kept / double(texts[0].size() * sizeof(QChar));
        state.counters["kept_vs_utf8"] = kept / double(texts[0].toUtf8().size());
    }
    {
        // The parse result lives only while the layout is built; with the layout it makes the peak.
        const size_t before = mallinfo2().uordblks;
        const ParsedDiff diff = UnifiedDiffParser::parse(texts[0]);
        state.counters["parse_vs_utf16"]
            = double(mallinfo2().uordblks - before) / double(texts[0].size() * sizeof(QChar));
    }
    DiffView view;
    int turn = 0;
    for (auto _ : state) {
        view.setContent(texts[turn], QStringLiteral("(no text diff)"));
        turn ^= 1;
    }
    state.SetBytesProcessed(state.iterations() * texts[0].size() * qsizetype(sizeof(QChar)));
}

void paint(benchmark::State &state, Sample kind)
{
    DiffView view;
    view.resize(1200, 800);
    view.setContent(sample(kind, int(state.range(0))), QStringLiteral("(no text diff)"));
    view.show();
    DiffCanvas *canvas = view.canvas();
    // A large diff is laid out on a worker and shown when done: painted before that, the view would
    // lay itself out during the timed renders and paint a viewport of no fixed size.
    QElapsedTimer waited;
    waited.start();
    while (!canvas->isVisible() && waited.elapsed() < 60000) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
    const QSize frame = view.size() - canvas->viewport()->size();
    view.resize(QSize(1200, 800) + frame);
    QCoreApplication::processEvents();
    if (canvas->viewport()->size() != QSize(1200, 800)) {
        state.SkipWithError("the diff was not shown at its size");
        return;
    }
    QScrollBar *vertical = canvas->verticalScrollBar();
    QScrollBar *horizontal = canvas->horizontalScrollBar();
    vertical->setValue(vertical->maximum() / 2);
    horizontal->setValue(horizontal->maximum() / 2);
    QImage image(canvas->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        canvas->viewport()->render(&image);
        benchmark::ClobberMemory();
    }
    state.counters["viewport_w"] = image.width();
    state.counters["viewport_h"] = image.height();
}

} // namespace

// The bare parse of the same texts, the baseline of setting content.
BENCHMARK_CAPTURE(parse, oneFile, Sample::oneFile)
    ->Name("BM_DiffViewParseBaseline")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parse, manyFiles, Sample::manyFiles)
    ->Name("BM_DiffViewParseBaseline_Files")
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parse, longLine, Sample::longLine)
    ->Name("BM_DiffViewParseBaseline_LongLine")
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(setContent, oneFile, Sample::oneFile)
    ->Name("BM_DiffViewSetContent")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(setContent, manyFiles, Sample::manyFiles)
    ->Name("BM_DiffViewSetContent_Files")
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(setContent, longLine, Sample::longLine)
    ->Name("BM_DiffViewSetContent_LongLine")
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(paint, oneFile, Sample::oneFile)->Name("BM_DiffViewPaint")->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(paint, manyFiles, Sample::manyFiles)
    ->Name("BM_DiffViewPaint_Files")
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(paint, longLine, Sample::longLine)
    ->Name("BM_DiffViewPaint_LongLine")
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);
