// A 50 MB Git diff shown in the Changes preview: from the state's diff load until the preview has
// painted it, with the UI thread's longest stall and the resident memory it takes.
#include "state/AppState.h"
#include "ui/changes/DiffPreviewView.h"
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffView.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

using namespace BenchSupport;

namespace {

// A repository with one staged new file whose diff against HEAD is about 50 MB. Made once and kept.
QString largeDiffRepository()
{
    const QString cache = QDir::tempPath() + QStringLiteral("/korvel-bench-git-diff-50mb");
    const QString repository = cache + QStringLiteral("/repo");
    if (QFile::exists(cache + QStringLiteral("/ready")))
        return repository;
    QDir(cache).removeRecursively();
    QDir().mkpath(repository);
    writeText(repository + QStringLiteral("/README"), "bench\n");
    QByteArray text;
    const qsizetype target = 50 * 1024 * 1024;
    text.reserve(target);
    for (int line = 0; text.size() < target - 64; ++line)
        text += "    result = compute(value, " + QByteArray::number(line) + ") + offset_"
            + QByteArray::number(line % 17) + "; // big\n";
    writeText(repository + QStringLiteral("/big.cpp"), text);
    if (!runGit({QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral(".")}, repository)
        || !runGit({QStringLiteral("add"), QStringLiteral("README")}, repository)
        || !runGit({QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("initial")},
            repository)
        || !runGit({QStringLiteral("add"), QStringLiteral("big.cpp")}, repository))
        return QString();
    writeText(cache + QStringLiteral("/ready"), "");
    return repository;
}

// Notes when the canvas paints a diff with rows, or the preview paints without one.
struct PaintWatch : QObject {
    DiffCanvas *canvas = nullptr;
    bool wantRows = true;
    bool painted = false;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted && canvas->diffLayout().rows().isEmpty() != wantRows)
            painted = true;
        return false;
    }
};

void processEventsFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool processEventsUntil(const std::function<bool()> &condition, int timeoutMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

void BM_ShowLargeDiff(benchmark::State &benchState)
{
    const QString repository = largeDiffRepository();
    QByteArray diff;
    if (repository.isEmpty()
        || !runQuietly(QStringLiteral("git"),
            {QStringLiteral("diff"), QStringLiteral("HEAD"), QStringLiteral("--"), QStringLiteral("big.cpp")},
            repository, &diff)) {
        benchState.SkipWithError("could not make the repository");
        return;
    }
    const double diffBytes = double(diff.size());
    diff.clear();
    diff.squeeze();

    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    ProjectStore(&settings).save(
        {Project{QUuid::createUuid(), QStringLiteral("big"), repository, RepositoryKind::git}});
    AppState state(&settings);
    state.setChanges({WorkingCopyItem{
        QStringLiteral("big.cpp"), SVNStatusKind::added, SVNStatusKind::none, std::nullopt, std::nullopt, false}});
    state.setSelectedChangeID(QStringLiteral("big.cpp"));
    DiffPreviewView preview(state);
    preview.resize(1000, 800);
    preview.show();
    PaintWatch watch;
    watch.canvas = preview.diffView()->canvas();
    watch.canvas->viewport()->installEventFilter(&watch);
    processEventsFor(200);

    StallWatch stalls;
    double peak = 0;
    double held = 0;
    for (auto _ : benchState) {
        malloc_trim(0);
        const qint64 baseline = residentBytes();
        resetPeakResident();
        watch.wantRows = true;
        watch.painted = false;
        QElapsedTimer clock;
        clock.start();
        stalls.start();
        state.selectedChangeChanged();
        if (!processEventsUntil([&] { return watch.painted; })) {
            benchState.SkipWithError("the diff was never painted");
            return;
        }
        benchState.SetIterationTime(clock.nsecsElapsed() / 1e9);
        processEventsUntil([&] { return state.runningTasks() == 0; });
        processEventsFor(300);
        stalls.stop();
        peak = std::max(peak, double(peakResidentBytes() - baseline));
        held = std::max(held, double(residentBytes() - baseline));

        // Back to an empty preview, so the next load starts from nothing held.
        watch.wantRows = false;
        watch.painted = false;
        state.setDiffText(QByteArray());
        processEventsUntil([&] { return watch.painted; }, 5000);
        processEventsFor(100);
    }
    benchState.counters["diff_mb"] = diffBytes / 1e6;
    benchState.counters["worst_ui_stall_ms"] = double(stalls.worstMs());
    benchState.counters["peak_memory_per_diff_byte"] = peak / diffBytes;
    benchState.counters["held_memory_per_diff_byte"] = held / diffBytes;
}
BENCHMARK(BM_ShowLargeDiff)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
