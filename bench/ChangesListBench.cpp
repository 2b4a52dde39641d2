// The change list: a status of N changes published and one viewport painted, and the same status
// published again, as every window activation does. Compare with BM_ParseStatusXml, the reading of
// such a status: the list should cost no more than twice its reading.
#include "state/AppState.h"
#include "ui/changes/ChangeListView.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QList<WorkingCopyItem> makeChanges(qsizetype count)
{
    QList<WorkingCopyItem> items;
    items.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        WorkingCopyItem item;
        item.path = QStringLiteral("src/module%1/component/file%2.cpp").arg(i / 50, 3, 10, QLatin1Char('0')).arg(i);
        item.kind = allSVNStatusKinds[size_t(i) % allSVNStatusKinds.size()];
        item.propertiesKind = i % 7 == 0 ? SVNStatusKind::modified : SVNStatusKind::none;
        item.revision = QString::number(i % 900 + 1);
        items.push_back(std::move(item));
    }
    return items;
}

struct ListBench {
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    AppState state{&settings};
    ChangeListView view{state};
    QImage canvas{420, 900, QImage::Format_ARGB32_Premultiplied};

    ListBench()
    {
        view.resize(canvas.size());
        view.show();
        QCoreApplication::processEvents();
    }

    void publish(QList<WorkingCopyItem> items)
    {
        state.setChanges(std::move(items));
        view.render();
    }

    void paint()
    {
        QPainter painter(&canvas);
        static_cast<QWidget &>(view).render(&painter);
    }
};

void BM_ChangesListSetItems(benchmark::State &state)
{
    const QList<WorkingCopyItem> items = makeChanges(state.range(0));
    ListBench bench;
    for (auto _ : state) {
        state.PauseTiming();
        bench.publish({});
        QCoreApplication::processEvents();
        // A deep copy, as a status reading hands over.
        QList<WorkingCopyItem> fresh(items.begin(), items.end());
        state.ResumeTiming();
        bench.publish(std::move(fresh));
        bench.paint();
    }
    state.counters["rows"] = double(bench.view.model()->rowCount());
}
BENCHMARK(BM_ChangesListSetItems)->Arg(20000)->Unit(benchmark::kMillisecond);

// An equal status published again: nothing to do, whatever its size.
void BM_ChangesListSetIdenticalItems(benchmark::State &state)
{
    const QList<WorkingCopyItem> items = makeChanges(state.range(0));
    ListBench bench;
    bench.publish(items);
    bench.paint();
    for (auto _ : state) {
        state.PauseTiming();
        QList<WorkingCopyItem> fresh(items.begin(), items.end());
        state.ResumeTiming();
        bench.publish(std::move(fresh));
    }
}
BENCHMARK(BM_ChangesListSetIdenticalItems)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace
