#include "state/IgnoreFiles.h"
#include "../tests/support/IgnoreReference.h"
#include "parsers/IgnoreRules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

struct DecisionInput {
    IgnoreRules rules;
    QStringList paths;
    QList<bool> isDirectory;
};

// 60 rules from 20 ignore files (component and anchored rules, "**", classes, negations) and 100,000
// paths of depth 2 to 8 that run through the folders holding those files.
const DecisionInput &decisionInput()
{
    static const DecisionInput input = [] {
        const QStringList bases
            = {"", "src", "src/core", "src/core/io", "src/ui", "lib", "lib/vendor", "docs", "docs/api", "build", "app",
                "app/ui", "app/data", "tools", "tools/gen", "test", "test/data", "web", "web/static", "web/static/js"};
        const QStringList lines = {"*.o", "*.log", "!keep.log", "node_modules/", "/out", "*.[oa]", "**/cache", "/gen/*",
            "tmp", "*.sw?", "!important.o", "file[0-9].txt", "/dist/", "logs/**", "[!a-m]*.bak", "a/**/b", "!/out/keep",
            "*~", ".DS_Store", "*.pyc", "__pycache__/", "/vendor", "!vendor/keep/", "*.min.js", "coverage/",
            "!coverage/*.md", "*.tmp", "build-*/", "/local.conf", "doc/*.html", "*.class", "!Main.class", "target/",
            "/.idea", "*.iml", "**/generated", "*.bak", "!*.keep.bak", "/snapshots/**", "data/*.csv", "[Tt]humbs.db",
            "*.exe", "obj/", "!obj/README", "/cache/*", "*.so", "*.so.[0-9]*", "core", "*.orig", "*.rej", "!patch.rej",
            "/release/", "*.d", "deps/**/*.d", "*.gcda", "*.gcno", "!/test/*.gcno", "*.prof", "**/out/*.txt",
            "Makefile.in"};
        QList<IgnoreRule> rules;
        for (qsizetype i = 0; i < lines.size(); ++i)
            rules.append(*IgnoreRule::fromLine(lines[i], bases[i / 3]));

        const QStringList names = {"src", "core", "io", "ui", "lib", "vendor", "keep", "docs", "api", "build", "app",
            "data", "tools", "gen", "test", "web", "static", "js", "main.c", "main.o", "util.cpp", "a.log", "keep.log",
            "cache", "out", "tmp", "x.swp", "file7.txt", "a", "b", "z.bak", "n.bak", "Main.class", "App.class", "obj",
            "README", "lib.so.1", "index.html", "r.csv", "notes.md", "Thumbs.db", "deps", "x.d", "dist", "generated",
            "coverage", "patch.rej", "f.txt"};
        std::mt19937 random(7);
        DecisionInput result;
        result.rules = IgnoreRules(rules);
        result.paths.reserve(100000);
        for (int i = 0; i < 100000; ++i) {
            const int depth = 2 + random() % 7;
            QStringList components;
            if (random() % 2)
                components = bases[random() % bases.size()].split(u'/', Qt::SkipEmptyParts);
            components = components.mid(0, depth - 1);
            while (components.size() < depth)
                components.append(names[random() % names.size()]);
            result.paths.append(components.join(u'/'));
            result.isDirectory.append(random() % 5 == 0);
        }
        return result;
    }();
    return input;
}

void countPerPath(benchmark::State &state, qsizetype paths)
{
    state.SetItemsProcessed(state.iterations() * paths);
    state.counters["time_per_path"] = benchmark::Counter(
        double(paths), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_IgnoreDecisions(benchmark::State &state)
{
    const DecisionInput &input = decisionInput();
    const qsizetype count = std::min<qsizetype>(state.range(0), input.paths.size());
    for (auto _ : state) {
        int ignored = 0;
        for (qsizetype i = 0; i < count; ++i)
            ignored += input.rules.ignores(input.paths[i], input.isDirectory[i]);
        benchmark::DoNotOptimize(ignored);
    }
    countPerPath(state, count);
}
BENCHMARK(BM_IgnoreDecisions)->Arg(100000)->Unit(benchmark::kMillisecond);

// The literal algorithm on the first 2,000 paths; compare the time per path.
void BM_IgnoreDecisionsLiteral(benchmark::State &state)
{
    const DecisionInput &input = decisionInput();
    const qsizetype count = 2000;
    for (auto _ : state) {
        int ignored = 0;
        for (qsizetype i = 0; i < count; ++i)
            ignored += IgnoreReference::decision(input.rules.rules(), input.paths[i], input.isDirectory[i]) == true;
        benchmark::DoNotOptimize(ignored);
    }
    countPerPath(state, count);
}
BENCHMARK(BM_IgnoreDecisionsLiteral)->Unit(benchmark::kMillisecond);

// A project of 500 folders (20 with 24 subfolders each), ignore files in the top folders and in every
// eighth subfolder, and one file per candidate; some subfolders are reported themselves.
struct LoadInput {
    QTemporaryDir dir;
    QStringList candidates;
};

const LoadInput &loadInput(qsizetype candidateCount)
{
    static LoadInput input;
    if (!input.candidates.isEmpty())
        return input;
    QStringList folders;
    for (int top = 0; top < 20; ++top) {
        const QString topName = QStringLiteral("top%1").arg(top);
        QDir(input.dir.path()).mkpath(topName);
        QFile gitignore(input.dir.filePath(topName + "/.gitignore"));
        if (gitignore.open(QIODevice::WriteOnly))
            gitignore.write("*.o\n!keep.o\n/build/\n");
        for (int sub = 0; sub < 24; ++sub) {
            const QString folder = topName + QStringLiteral("/sub%1").arg(sub);
            QDir(input.dir.path()).mkpath(folder);
            if (sub % 8 == 0) {
                QFile korvelignore(input.dir.filePath(folder + "/.korvelignore"));
                if (korvelignore.open(QIODevice::WriteOnly))
                    korvelignore.write("*.tmp\n");
            }
            folders.append(folder);
        }
    }
    for (qsizetype i = 0; i < candidateCount; ++i) {
        const QString &folder = folders[i % folders.size()];
        if (i < folders.size() && i % 3 == 0) {
            input.candidates.append(folder + u'/');
            continue;
        }
        const QString path = folder + QStringLiteral("/file%1.c").arg(i);
        QFile file(input.dir.filePath(path));
        if (file.open(QIODevice::WriteOnly))
            file.close();
        input.candidates.append(path);
    }
    return input;
}

void BM_IgnoreLoad(benchmark::State &state)
{
    const LoadInput &input = loadInput(state.range(0));
    for (auto _ : state) {
        const IgnoreRules rules = IgnoreFiles::load(input.dir.path(), input.candidates);
        benchmark::DoNotOptimize(rules.rules().size());
    }
    state.SetItemsProcessed(state.iterations() * input.candidates.size());
}
BENCHMARK(BM_IgnoreLoad)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
