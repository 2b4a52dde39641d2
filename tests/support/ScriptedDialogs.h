#pragma once

#include "state/AppDialogs.h"

#include <QList>

#include <deque>
#include <functional>

// Answers the state's modal questions from queues a test fills, and records every question.
// An empty queue answers as if the user cancelled.
class ScriptedDialogs : public AppDialogs {
public:
    struct PromptRequest {
        QString title;
        QList<PromptField> fields;
    };

    std::deque<std::optional<QStringList>> promptAnswers;
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<QString>> openPanelAnswers;
    std::deque<std::optional<QString>> savePanelAnswers;
    std::deque<std::optional<BranchChoiceAnswer>> branchAnswers;

    // Runs while a confirmation is open, before it is answered: what the user does meanwhile.
    std::function<void()> whileConfirming;
    std::function<void()> whileChoosingBranch;

    QList<PromptRequest> prompts;
    QList<std::pair<QString, QString>> confirmations;
    QList<OpenPanelOptions> openPanels;
    QList<SavePanelOptions> savePanels;
    QList<BranchChoiceRequest> branchRequests;
    QStringList rememberedFolders;
    int broughtToFront = 0;

    std::optional<QStringList> prompt(const QString &title, const QList<PromptField> &fields) override
    {
        prompts.push_back({title, fields});
        return next(promptAnswers, std::optional<QStringList>());
    }
    bool confirm(const QString &title, const QString &message) override
    {
        confirmations.push_back({title, message});
        if (whileConfirming)
            whileConfirming();
        return next(confirmAnswers, false);
    }
    std::optional<QString> openPanel(const OpenPanelOptions &options) override
    {
        openPanels.push_back(options);
        return next(openPanelAnswers, std::optional<QString>());
    }
    std::optional<QString> savePanel(const SavePanelOptions &options) override
    {
        savePanels.push_back(options);
        return next(savePanelAnswers, std::optional<QString>());
    }
    std::optional<BranchChoiceAnswer> chooseBranch(const BranchChoiceRequest &request) override
    {
        branchRequests.push_back(request);
        if (whileChoosingBranch)
            whileChoosingBranch();
        return next(branchAnswers, std::optional<BranchChoiceAnswer>());
    }
    void rememberFolder(const QString &folder) override { rememberedFolders.push_back(folder); }
    void bringToFront() override { ++broughtToFront; }

private:
    template <typename T> static T next(std::deque<T> &queue, T answer)
    {
        if (!queue.empty()) {
            answer = std::move(queue.front());
            queue.pop_front();
        }
        return answer;
    }
};
