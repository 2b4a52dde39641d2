#pragma once

#include "support/TestSupport.h"

#include <QString>

// Real repositories for the workflow tabs: an svn working copy three revisions behind its repository
// (a second working copy committed them), with history of its own, and a Git repository.
struct WorkflowRepositories {
    TestSupport::Sandbox sandbox;
    TestSupport::SvnFixture svn;
    TestSupport::SvnFixture other;
    TestSupport::GitFixture git;

    WorkflowRepositories()
    {
        using TestSupport::writeFile;
        const QString base = sandbox.filePath(QStringLiteral("projects/orbit-service"));
        svn = TestSupport::SvnFixture::create(base, QStringLiteral("trunk"));
        writeFile(svn.workingCopy + "/README.md", "# Orbit\n");
        writeFile(svn.workingCopy + "/src/main.c", "int main(void)\n{\n    return 0;\n}\n");
        writeFile(svn.workingCopy + "/src/util.c", "int twice(int x) { return 2 * x; }\n");
        writeFile(svn.workingCopy + "/docs/guide.md", "Start the service.\n");
        svn.commitAll(QStringLiteral("Initial import"));
        writeFile(svn.workingCopy + "/src/main.c", "int main(void)\n{\n    return run();\n}\n");
        svn.commitAll(QStringLiteral("Return the exit status from main"));
        writeFile(svn.workingCopy + "/README.md", "# Orbit\n\nA small service.\n");
        writeFile(svn.workingCopy + "/src/net.c", "int connect_all(void) { return 0; }\n");
        svn.commitAll(
            QStringLiteral("Add the network module\n\nIt opens one connection per peer and keeps it alive "
                           "with a heartbeat every thirty seconds, so that peers behind NAT stay reachable."));

        other = TestSupport::SvnFixture::create(base, QStringLiteral("other"));
        writeFile(
            other.workingCopy + "/src/main.c", "int main(void)\n{\n    install_handlers();\n    return run();\n}\n");
        other.commitAll(QStringLiteral("Handle the quit signal"));
        for (int i = 1; i <= 12; ++i)
            writeFile(other.workingCopy + QStringLiteral("/src/protocol/handler%1.c").arg(i, 2, 10, QLatin1Char('0')),
                QByteArray("int handler(void) { return ") + QByteArray::number(i) + "; }\n");
        other.commitAll(QStringLiteral("Add the protocol handlers"));
        writeFile(other.workingCopy + "/README.md", "# Orbit\n\nA small service.\n\nBuild with make.\n");
        other.commitAll(QStringLiteral("Document the build"));

        git = TestSupport::GitFixture::create(sandbox.filePath(QStringLiteral("projects")), QStringLiteral("lantern"));
        writeFile(git.path + "/index.js", "console.log('hi')\n");
        writeFile(git.path + "/package.json", "{ \"name\": \"lantern\" }\n");
        git.commitAll(QStringLiteral("First commit"));
        writeFile(git.path + "/index.js", "console.log('hello')\n");
        git.commitAll(QStringLiteral("Say hello"));
        writeFile(git.path + "/lib/util.js", "module.exports = {}\n");
        git.commitAll(QStringLiteral("Add utilities"));
    }
};
