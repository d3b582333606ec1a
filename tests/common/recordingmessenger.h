#pragma once

#include "support/messenger.h"

#include <QtCore/QQueue>
#include <QtCore/QStringList>

namespace korva::test {

// Scripted answers for every message, question and dialog; keeps the texts.
class RecordingMessenger final : public Messenger
{
public:
    QStringList messages; // every text shown, in order
    QStringList titles;
    QQueue<bool> answers; // for question() and confirm(); default No / Cancel
    QQueue<std::optional<QString>> inputs;
    QQueue<QString> fileNames;     // for saveFileName(); default cancelled
    QQueue<QString> openFileNames; // for openFileName(); default cancelled
    QStringList dialogTitles;
    QStringList proposedPaths;

    void message(const QString &text, const QString &title) override
    {
        messages << text;
        titles << title;
    }
    bool question(const QString &text, const QString &title) override
    {
        messages << text;
        titles << title;
        return answers.isEmpty() ? false : answers.dequeue();
    }
    bool confirm(const QString &text, const QString &title) override { return question(text, title); }
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &) override
    {
        messages << prompt;
        titles << title;
        return inputs.isEmpty() ? std::nullopt : inputs.dequeue();
    }
    QString saveFileName(const QString &title, const QString &proposedPath, const QString &) override
    {
        dialogTitles << title;
        proposedPaths << proposedPath;
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    QString openFileName(const QString &title, const QString &folder, const QString &) override
    {
        dialogTitles << title;
        proposedPaths << folder;
        return openFileNames.isEmpty() ? QString() : openFileNames.dequeue();
    }
    void clear()
    {
        messages.clear();
        titles.clear();
    }
};

} // namespace korva::test
