// Export File of a 500 MB file through the program's own path, against `svn cat > file` in the same run:
// the time, and the peak memory, which must not grow with the file.
#include "state/AppDialogs.h"
#include "state/AppState.h"

#include "BenchSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using namespace BenchSupport;

constexpr qint64 exportedSize = 500 * 1000 * 1000;

struct ExportRepository {
    QString url;
    QString workingCopy;
};

// A repository whose revision 1 holds big.txt, 500 MB of text, and an empty working copy of it. Made
// once and kept between runs.
ExportRepository exportRepository()
{
    const QString cache = QDir::tempPath() + QStringLiteral("/korvel-bench-export-500MB");
    const ExportRepository made{
        QUrl::fromLocalFile(cache + QStringLiteral("/repo")).toString(), cache + QStringLiteral("/wc")};
    if (QFile::exists(cache + QStringLiteral("/ready")))
        return made;
    QDir(cache).removeRecursively();
    QDir().mkpath(cache + QStringLiteral("/import"));
    {
        QFile big(cache + QStringLiteral("/import/big.txt"));
        if (!big.open(QIODevice::WriteOnly))
            return {};
        QByteArray block;
        for (int line = 0; block.size() < 1000 * 1000; ++line)
            block += "line " + QByteArray::number(line) + " of the exported file, as text\n";
        block.truncate(1000 * 1000);
        for (qint64 written = 0; written < exportedSize; written += block.size())
            big.write(block);
    }
    if (!runQuietly(QStringLiteral("svnadmin"), {QStringLiteral("create"), cache + QStringLiteral("/repo")}, cache)
        || !runQuietly(QStringLiteral("svn"),
            {QStringLiteral("import"), QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("big"),
                cache + QStringLiteral("/import"), made.url},
            cache)
        || !runQuietly(QStringLiteral("svn"),
            {QStringLiteral("checkout"), QStringLiteral("-q"), QStringLiteral("--depth"), QStringLiteral("empty"),
                made.url, made.workingCopy},
            cache))
        return {};
    QDir(cache + QStringLiteral("/import")).removeRecursively();
    writeText(cache + QStringLiteral("/ready"), "");
    return made;
}

// Answers the Export File form with the file's URL at revision 1 and the save panel with the destination.
class ExportDialogs : public AppDialogs {
public:
    ExportDialogs(QString url, QString destination) : m_url(std::move(url)), m_destination(std::move(destination)) { }
    std::optional<QStringList> prompt(const QString &, const QList<PromptField> &) override
    {
        return QStringList{m_url, QStringLiteral("1")};
    }
    bool confirm(const QString &, const QString &) override { return false; }
    std::optional<QString> openPanel(const OpenPanelOptions &) override { return std::nullopt; }
    std::optional<QString> savePanel(const SavePanelOptions &) override { return m_destination; }
    void rememberFolder(const QString &) override { }
    std::optional<BranchChoiceAnswer> chooseBranch(const BranchChoiceRequest &) override { return std::nullopt; }
    void bringToFront() override { }

private:
    QString m_url;
    QString m_destination;
};

} // namespace

// The program's path: the Export File action, until its output sheet is set. Peak memory is this
// process's resident peak (VmHWM, reset before each export) above its resident size before it.
void BM_ExportFile500MB(benchmark::State &benchState)
{
    const ExportRepository repository = exportRepository();
    if (repository.url.isEmpty()) {
        benchState.SkipWithError("could not make the repository");
        return;
    }
    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    ProjectStore(&settings).save(
        {Project{QUuid::createUuid(), QStringLiteral("big"), repository.workingCopy, RepositoryKind::svn}});
    AppState state(&settings);
    const QString destination = folder.filePath(QStringLiteral("big.txt"));
    ExportDialogs dialogs(repository.url + QStringLiteral("/big.txt"), destination);
    state.setDialogs(&dialogs);
    double peakGrowth = 0;
    for (auto _ : benchState) {
        QFile::remove(destination);
        state.setCommandOutput(std::nullopt);
        const qint64 before = residentBytes();
        resetPeakResident();
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        const QMetaObject::Connection watching = QObject::connect(&state, &AppState::changed, [&] {
            if (state.commandOutput() || state.alert())
                loop.quit();
        });
        state.exportFileAtRevision();
        loop.exec();
        QObject::disconnect(watching);
        benchState.SetIterationTime(clock.nsecsElapsed() / 1e9);
        peakGrowth = std::max(peakGrowth, double(peakResidentBytes() - before));
        if (state.alert() || QFileInfo(destination).size() != exportedSize) {
            benchState.SkipWithError("the export failed");
            return;
        }
    }
    benchState.counters["peak_growth_mb"] = peakGrowth / 1e6;
    benchState.counters["peak_resident_mb"] = double(peakResidentBytes()) / 1e6;
}
BENCHMARK(BM_ExportFile500MB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// The baseline: svn's output redirected into the file by the shell's way, `svn cat > file`. Its peak
// memory is the peak resident size of that one svn (wait4).
void BM_SvnCatToFile500MB(benchmark::State &benchState)
{
    const ExportRepository repository = exportRepository();
    if (repository.url.isEmpty()) {
        benchState.SkipWithError("could not make the repository");
        return;
    }
    QTemporaryDir folder;
    const QByteArray destination = QFile::encodeName(folder.filePath(QStringLiteral("big.txt")));
    const QByteArray url = (repository.url + QStringLiteral("/big.txt")).toUtf8();
    double peak = 0;
    for (auto _ : benchState) {
        QElapsedTimer clock;
        clock.start();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(
            &actions, STDOUT_FILENO, destination.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const char *arguments[] = {"svn", "cat", "-r", "1", url.constData(), nullptr};
        pid_t child = 0;
        const int started = posix_spawnp(&child, "svn", &actions, nullptr, const_cast<char **>(arguments), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        if (started != 0 || ::wait4(child, &status, 0, &usage) != child || status != 0) {
            benchState.SkipWithError("svn cat failed");
            return;
        }
        benchState.SetIterationTime(clock.nsecsElapsed() / 1e9);
        peak = std::max(peak, double(usage.ru_maxrss) * 1024);
    }
    benchState.counters["peak_resident_mb"] = peak / 1e6;
}
BENCHMARK(BM_SvnCatToFile500MB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
