#pragma once

#include "model/Project.h"
#include "state/RepositoryDetection.h"

#include <QCoroTask>
#include <QHash>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <utility>

struct AppClients;

// Whether a tool may run in a project's folder, asked of git or svn and of the disk off the UI thread,
// and the moves and kind changes a refresh offers for a folder that is not the top of a working copy of
// its kind, with the user's answers for this run of the program.
class ProjectFolderGuard {
public:
    // The root and kind a project may take instead of its own.
    using Offer = std::pair<QString, RepositoryKind>;

    ProjectFolderGuard(const AppClients &clients, std::shared_ptr<const ToolRunScope> scope);

    // What the project's tool and the disk say of the folder now.
    QCoro::Task<FolderLook> look(QString path, RepositoryKind kind);
    // What keeps a tool from running in the project's folder as it stands now; nothing when one may.
    QCoro::Task<std::optional<FolderRefusal>> refusal(Project project);
    // The project's folder when it is one, else none: for runs that need no working copy there.
    QCoro::Task<QString> existingFolder(Project project);

    // The root and kind the project may rightly take: the same folder as the other kind, or a working
    // copy above that the folder is part of. Nothing for a folder that stays as it is.
    QCoro::Task<std::optional<Offer>> rightPlacement(Project project);
    // The offer is not asked again until the project is selected anew; true when it was asked already.
    bool takeQuestion(const Project &project, const Offer &offer);
    // The user kept the project where it is: svn works in any folder of its working copy.
    void declined(const Project &project);
    // The project's folder left its working copy: a declined move no longer holds.
    void forget(const QUuid &project) { m_answers.remove(project); }
    // The user came back to the project: an offer declined that leaves it unusable is asked again.
    void projectSelected(const QUuid &project);

private:
    struct Answer {
        QString path;
        RepositoryKind kind;
        Offer offer;
        bool keptBelow = false;
    };
    // The answer about the project as it stands, if any.
    const Answer *answerFor(const Project &project) const;

    const AppClients &m_clients;
    std::shared_ptr<const ToolRunScope> m_scope;
    QHash<QUuid, Answer> m_answers;
};
