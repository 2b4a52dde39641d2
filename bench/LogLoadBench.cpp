// The log loads of the workflow tabs end to end, with their views on screen: Incoming on a working copy
// far behind its repository, and History and Archives where one revision touched 200,000 paths. Each
// load is set against the bare tool's run of the same log in the same run; a 5 ms timer watches the UI
// thread meanwhile. The repositories are generated once and kept in a temporary folder (in memory
// where /dev/shm exists).
#include "state/AppState.h"
#include "state/ProjectStore.h"
#include "ui/workflow/ArchivesView.h"
#include "ui/workflow/HistoryView.h"
#include "ui/workflow/IncomingView.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using namespace BenchSupport;

QString cacheFolder(const QString &name)
{
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return base + QStringLiteral("/korvel-bench-") + name;
}

// One record of an svn dump: its headers, then the properties and the text counted in them.
class DumpWriter {
public:
    explicit DumpWriter(const QString &path) : m_file(path)
    {
        m_ok = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        write("SVN-fs-dump-format-version: 2\n\nUUID: 6b1c2a4e-0f3d-4c57-9a51-7d3e1b2f8c90\n\n");
        revision(0, {}, {});
    }
    bool ok() const { return m_ok; }

    void revision(int number, const QByteArray &author, const QByteArray &message)
    {
        QByteArray props;
        if (!message.isNull())
            props += property("svn:log", message);
        if (!author.isNull())
            props += property("svn:author", author);
        const int minutes = number;
        props += property("svn:date",
            QByteArray("2026-01-") + QByteArray::number(1 + minutes / 1440 % 28).rightJustified(2, '0') + 'T'
                + QByteArray::number(minutes / 60 % 24).rightJustified(2, '0') + ':'
                + QByteArray::number(minutes % 60).rightJustified(2, '0') + ":00.000000Z");
        props += "PROPS-END\n";
        write("Revision-number: " + QByteArray::number(number)
            + "\nProp-content-length: " + QByteArray::number(props.size())
            + "\nContent-length: " + QByteArray::number(props.size()) + "\n\n" + props + "\n");
    }
    void addFolder(const QByteArray &path)
    {
        write("Node-path: " + path
            + "\nNode-kind: dir\nNode-action: add\nProp-content-length: 10\n"
              "Content-length: 10\n\nPROPS-END\n\n");
    }
    void addFile(const QByteArray &path, const QByteArray &text)
    {
        write("Node-path: " + path
            + "\nNode-kind: file\nNode-action: add\nProp-content-length: 10\nText-content-length: "
            + QByteArray::number(text.size()) + "\nContent-length: " + QByteArray::number(10 + text.size())
            + "\n\nPROPS-END\n" + text + "\n\n");
    }
    void changeFile(const QByteArray &path, const QByteArray &text)
    {
        write("Node-path: " + path
            + "\nNode-kind: file\nNode-action: change\nText-content-length: " + QByteArray::number(text.size())
            + "\nContent-length: " + QByteArray::number(text.size()) + "\n\n" + text + "\n\n");
    }

private:
    static QByteArray property(const QByteArray &key, const QByteArray &value)
    {
        return "K " + QByteArray::number(key.size()) + '\n' + key + "\nV " + QByteArray::number(value.size()) + '\n'
            + value + '\n';
    }
    void write(const QByteArray &bytes)
    {
        if (m_ok)
            m_ok = m_file.write(bytes) == bytes.size();
    }

    QFile m_file;
    bool m_ok = false;
};

bool loadDump(const QString &cache, const QString &dump, const QString &repository)
{
    QProcess load;
    load.setWorkingDirectory(cache);
    load.setStandardInputFile(dump);
    load.setStandardOutputFile(QProcess::nullDevice());
    load.start(QStringLiteral("svnadmin"),
        {QStringLiteral("load"), QStringLiteral("-q"), QStringLiteral("--no-flush-to-disk"), repository});
    load.waitForFinished(-1);
    QFile::remove(dump);
    return load.exitStatus() == QProcess::NormalExit && load.exitCode() == 0;
}

// A working copy of a repository loaded from the dump `write` makes, checked out with `checkout`
// options; made once and kept in the cache folder `name`.
QString svnWorkingCopyFromDump(
    const QString &name, const std::function<void(DumpWriter &)> &write, const QStringList &checkout)
{
    const QString cache = cacheFolder(name);
    const QString workingCopy = cache + QStringLiteral("/wc");
    if (QFile::exists(cache + QStringLiteral("/ready")))
        return workingCopy;
    QDir(cache).removeRecursively();
    QDir().mkpath(cache);
    const QString dump = cache + QStringLiteral("/repo.dump");
    {
        DumpWriter writer(dump);
        write(writer);
        if (!writer.ok())
            return QString();
    }
    const QString repository = cache + QStringLiteral("/repo");
    if (!runQuietly(QStringLiteral("svnadmin"), {QStringLiteral("create"), repository}, cache)
        || !loadDump(cache, dump, repository)
        || !runQuietly(QStringLiteral("svn"),
            QStringList{QStringLiteral("checkout"), QStringLiteral("-q")} + checkout
                + QStringList{QUrl::fromLocalFile(repository).toString(), workingCopy},
            cache))
        return QString();
    writeText(cache + QStringLiteral("/ready"), "");
    return workingCopy;
}

// `revisions` revisions of 100 files, each after the first changing one or two of them with messages of
// one or two lines; the working copy stays at r1.
QString farBehindWorkingCopy(int revisions)
{
    const auto write = [revisions](DumpWriter &writer) {
        writer.revision(1, "bench", "Add the files");
        writer.addFolder("src");
        for (int file = 0; file < 100; ++file)
            writer.addFile("src/file" + QByteArray::number(file) + ".txt", "0\n");
        for (int number = 2; number <= revisions; ++number) {
            QByteArray message = "Change file " + QByteArray::number(number % 100) + " for the "
                + QByteArray::number(number) + "th time";
            if (number % 3 == 0)
                message += ", with a longer explanation of why the change was made that wraps onto a second line";
            writer.revision(number, "author" + QByteArray::number(number % 7), message);
            writer.changeFile(
                "src/file" + QByteArray::number(number % 100) + ".txt", QByteArray::number(number) + '\n');
            if (number % 5 == 0)
                writer.changeFile(
                    "src/file" + QByteArray::number((number + 50) % 100) + ".txt", QByteArray::number(-number) + '\n');
        }
    };
    return svnWorkingCopyFromDump(QStringLiteral("incoming-%1").arg(revisions), write, {QStringLiteral("-r1")});
}

constexpr int widePaths = 200000;

QByteArray widePath(int index)
{
    return "dir" + QByteArray::number(index / 1000) + "/file" + QByteArray::number(index % 1000) + ".txt";
}

// A first revision of 200,000 files under 200 folders and a small one after it; the working copy holds
// the root alone, which is all the log needs.
QString wideSVNWorkingCopy()
{
    const auto write = [](DumpWriter &writer) {
        writer.revision(1, "bench", "Import everything");
        for (int index = 0; index < widePaths; ++index) {
            if (index % 1000 == 0)
                writer.addFolder("dir" + QByteArray::number(index / 1000));
            writer.addFile(widePath(index), QByteArray());
        }
        writer.revision(2, "bench", "Change one file");
        writer.changeFile(widePath(0), "changed\n");
    };
    return svnWorkingCopyFromDump(
        QStringLiteral("wide-svn-%1").arg(widePaths), write, {QStringLiteral("--depth=empty")});
}

// The same in git, written by fast-import: the files are never checked out, which the log does not need.
QString wideGitRepository()
{
    const QString cache = cacheFolder(QStringLiteral("wide-git-%1").arg(widePaths));
    const QString repository = cache + QStringLiteral("/repo");
    if (QFile::exists(cache + QStringLiteral("/ready")))
        return repository;
    QDir(cache).removeRecursively();
    QDir().mkpath(repository);
    QByteArray stream = "blob\nmark :1\ndata 0\n\nblob\nmark :2\ndata 8\nchanged\n\n"
                        "commit refs/heads/main\nauthor Bench <bench@example.com> 1767225600 +0000\n"
                        "committer Bench <bench@example.com> 1767225600 +0000\ndata 17\nImport everything\n";
    for (int index = 0; index < widePaths; ++index)
        stream += "M 100644 :1 " + widePath(index) + '\n';
    stream += "\ncommit refs/heads/main\nauthor Bench <bench@example.com> 1767225660 +0000\n"
              "committer Bench <bench@example.com> 1767225660 +0000\ndata 15\nChange one file\n"
              "M 100644 :2 "
        + widePath(0) + "\n\n";
    const QString streamPath = cache + QStringLiteral("/stream");
    writeText(streamPath, stream);
    if (!runGit(
            {QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("main")}, repository))
        return QString();
    QProcess import;
    import.setWorkingDirectory(repository);
    import.setStandardInputFile(streamPath);
    import.setStandardOutputFile(QProcess::nullDevice());
    import.start(QStringLiteral("git"), {QStringLiteral("fast-import"), QStringLiteral("--quiet")});
    import.waitForFinished(-1);
    QFile::remove(streamPath);
    if (import.exitStatus() != QProcess::NormalExit || import.exitCode() != 0)
        return QString();
    writeText(cache + QStringLiteral("/ready"), "");
    return repository;
}

struct LogProbe : AppState {
    using AppState::AppState;
    using AppState::loadArchives;
    using AppState::loadHistory;
    using AppState::loadIncoming;
};

// A state over one project, with the three workflow tabs on screen.
struct LogBench {
    QTemporaryDir settingsDir;
    QSettings settings;
    std::unique_ptr<LogProbe> state;
    std::unique_ptr<IncomingView> incoming;
    std::unique_ptr<HistoryView> history;
    std::unique_ptr<ArchivesView> archives;

    LogBench(const QString &folder, RepositoryKind kind)
        : settings(settingsDir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat)
    {
        ProjectStore(&settings).save({Project{QUuid::createUuid(), QStringLiteral("big"), folder, kind}});
        state = std::make_unique<LogProbe>(&settings);
        incoming = std::make_unique<IncomingView>(*state);
        history = std::make_unique<HistoryView>(*state);
        archives = std::make_unique<ArchivesView>(*state);
        for (QWidget *view : {static_cast<QWidget *>(incoming.get()), static_cast<QWidget *>(history.get()),
                 static_cast<QWidget *>(archives.get())}) {
            view->resize(1000, 800);
            view->show();
        }
        QCoreApplication::processEvents();
    }
    ~LogBench()
    {
        archives.reset();
        history.reset();
        incoming.reset();
        state.reset();
    }
};

// Turns the event loop for a while: the views render, and the watch's next tick records how long that took.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs one load until its task has ended: the seconds until the views showed its list, which is when
// its busy text clears (as the status load is timed); the diff of the selected revision loads after it.
double timedLoad(AppState &state, const std::function<QCoro::Task<>()> &load, StallWatch &watch)
{
    QEventLoop loop;
    bool done = false;
    bool busySeen = false;
    double shown = 0;
    QElapsedTimer clock;
    const QMetaObject::Connection watching = QObject::connect(&state, &AppState::changed, [&] {
        if (state.busyMessage()) {
            busySeen = true;
        } else if (busySeen && shown == 0) {
            shown = -1;
            // Queued behind the views' render of this change.
            QMetaObject::invokeMethod(
                &state, [&] { shown = clock.nsecsElapsed() / 1e9; }, Qt::QueuedConnection);
        }
    });
    clock.start();
    watch.start();
    // Begun as the program begins a load, as a task of its own: called bare, it would carry the mark
    // the last load's run left current and be ended with it when this load supersedes that one.
    const ToolRunScope::Marked task(*state.runScope(), std::make_shared<ToolRunMark>());
    load().then([&] {
        done = true;
        loop.quit();
    });
    if (!done)
        loop.exec();
    settle();
    watch.stop();
    QObject::disconnect(watching);
    return shown > 0 ? shown : clock.nsecsElapsed() / 1e9;
}

// The resident peak of one load, counted from a heap given back to the system first.
struct PeakOfLoad {
    PeakOfLoad()
    {
        malloc_trim(0);
        resetPeakResident();
    }
    double megabytes() const { return peakResidentBytes() / 1048576.0; }
};

// svn info and the remote status side by side, as the loader runs them, then the log.
double secondsOfBareIncoming(const QString &workingCopy, int revisions)
{
    QElapsedTimer clock;
    clock.start();
    QProcess info;
    QProcess remote;
    for (QProcess *process : {&info, &remote}) {
        process->setWorkingDirectory(workingCopy);
        process->setStandardInputFile(QProcess::nullDevice());
    }
    info.start(QStringLiteral("svn"), {QStringLiteral("info"), QStringLiteral("--xml")});
    remote.start(QStringLiteral("svn"), {QStringLiteral("status"), QStringLiteral("--xml"), QStringLiteral("-u")});
    info.waitForFinished(-1);
    remote.waitForFinished(-1);
    (void)info.readAllStandardOutput();
    (void)remote.readAllStandardOutput();
    const double queries = clock.nsecsElapsed() / 1e9;
    return queries
        + secondsOfBareRun(QStringLiteral("svn"),
            {QStringLiteral("log"), QStringLiteral("--xml"), QStringLiteral("--verbose"), QStringLiteral("-r"),
                QStringLiteral("2:%1").arg(revisions)},
            workingCopy);
}

} // namespace

// Each iteration: a window's first load of Incoming, then its reload, each followed by the bare runs.
void BM_IncomingLoadLong(benchmark::State &benchState)
{
    const int revisions = int(benchState.range(0));
    const QString workingCopy = farBehindWorkingCopy(revisions);
    if (workingCopy.isEmpty()) {
        benchState.SkipWithError("could not make the working copy");
        return;
    }
    // Once untimed, so the file system cache is warm for both.
    secondsOfBareIncoming(workingCopy, revisions);
    std::vector<double> ratios;
    std::vector<double> firstRatios;
    double firstPeak = 0;
    double reloadPeak = 0;
    double loadSeconds = 0;
    double bareSeconds = 0;
    StallWatch watch;
    qsizetype entries = 0;
    for (auto _ : benchState) {
        LogBench bench(workingCopy, RepositoryKind::svn);
        bench.state->setSelectedTab(WorkflowTab::incoming);
        QCoreApplication::processEvents();
        double seconds = 0;
        for (int load = 0; load < 2; ++load) {
            const PeakOfLoad peak;
            const double loaded = timedLoad(
                *bench.state, [&bench] { return bench.state->loadIncoming(); }, watch);
            (load == 0 ? firstPeak : reloadPeak) = std::max(load == 0 ? firstPeak : reloadPeak, peak.megabytes());
            const double bare = secondsOfBareIncoming(workingCopy, revisions);
            ratios.push_back(loaded / bare);
            if (load == 0)
                firstRatios.push_back(loaded / bare);
            seconds += loaded;
            loadSeconds += loaded;
            bareSeconds += bare;
        }
        benchState.SetIterationTime(seconds);
        entries = bench.state->incomingEntries().size();
    }
    benchState.counters["entries"] = double(entries);
    benchState.counters["bare_ms"] = bareSeconds * 1000 / double(ratios.size());
    benchState.counters["load_ms"] = loadSeconds * 1000 / double(ratios.size());
    benchState.counters["ratio_to_bare"] = median(ratios);
    benchState.counters["first_load_ratio_to_bare"] = median(firstRatios);
    benchState.counters["worst_ui_stall_ms"] = double(watch.worstMs());
    benchState.counters["peak_mb_first"] = firstPeak;
    benchState.counters["peak_mb_reload"] = reloadPeak;
    benchState.counters["reload_to_first_peak"] = firstPeak > 0 ? reloadPeak / firstPeak : 0;
}
BENCHMARK(BM_IncomingLoadLong)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// Arg 0: svn, 1: git. Each iteration: History's first load and reload, then Archives' load, each
// followed by the bare log.
void BM_HistoryWideRevision(benchmark::State &benchState)
{
    const bool git = benchState.range(0) == 1;
    const QString folder = git ? wideGitRepository() : wideSVNWorkingCopy();
    if (folder.isEmpty()) {
        benchState.SkipWithError("could not make the repository");
        return;
    }
    const QString program = git ? QStringLiteral("git") : QStringLiteral("svn");
    const QStringList arguments = git
        ? QStringList{QStringLiteral("log"), QStringLiteral("--no-ext-diff"), QStringLiteral("--no-color"),
            QStringLiteral("--date=iso-strict"), QStringLiteral("--name-status"),
            QStringLiteral("--format=--KORVEL-GIT-COMMIT--%H%x09%an%x09%aI%x09%s"), QStringLiteral("--max-count=100")}
        : QStringList{QStringLiteral("log"), QStringLiteral("--xml"), QStringLiteral("--verbose"), QStringLiteral("-l"),
            QStringLiteral("100")};
    secondsOfBareRun(program, arguments, folder);
    std::vector<double> ratios;
    std::vector<double> firstRatios;
    std::vector<double> archiveRatios;
    double loadSeconds = 0;
    double bareSeconds = 0;
    double peak = 0;
    StallWatch watch;
    StallWatch pathListWatch;
    qsizetype files = 0;
    for (auto _ : benchState) {
        LogBench bench(folder, git ? RepositoryKind::git : RepositoryKind::svn);
        bench.state->setSelectedTab(WorkflowTab::history);
        QCoreApplication::processEvents();
        double seconds = 0;
        for (int load = 0; load < 3; ++load) {
            const bool archives = load == 2;
            if (archives) {
                bench.state->setSelectedTab(WorkflowTab::archives);
                QCoreApplication::processEvents();
            }
            const PeakOfLoad peakOfLoad;
            const double loaded = archives ? timedLoad(
                                      *bench.state, [&bench] { return bench.state->loadArchives(); }, watch)
                                           : timedLoad(
                                               *bench.state, [&bench] { return bench.state->loadHistory(); }, watch);
            peak = std::max(peak, peakOfLoad.megabytes());
            const double bare = secondsOfBareRun(program, arguments, folder);
            (archives ? archiveRatios : ratios).push_back(loaded / bare);
            if (load == 0)
                firstRatios.push_back(loaded / bare);
            if (!archives) {
                seconds += loaded;
                loadSeconds += loaded;
                bareSeconds += bare;
            }
        }
        // The wide revision's own path list, chosen in Archives.
        pathListWatch.start();
        bench.state->setSelectedArchiveEntryID(bench.state->archiveEntries().last().revision);
        settle();
        pathListWatch.stop();
        benchState.SetIterationTime(seconds);
        files = bench.state->fileHistoryItems().size();
    }
    benchState.counters["files"] = double(files);
    benchState.counters["bare_ms"] = bareSeconds * 1000 / double(ratios.size());
    benchState.counters["load_ms"] = loadSeconds * 1000 / double(ratios.size());
    benchState.counters["ratio_to_bare"] = median(ratios);
    benchState.counters["first_load_ratio_to_bare"] = median(firstRatios);
    benchState.counters["archives_ratio_to_bare"] = median(archiveRatios);
    benchState.counters["worst_ui_stall_ms"] = double(std::max(watch.worstMs(), pathListWatch.worstMs()));
    benchState.counters["path_list_stall_ms"] = double(pathListWatch.worstMs());
    benchState.counters["peak_mb"] = peak;
}
BENCHMARK(BM_HistoryWideRevision)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
