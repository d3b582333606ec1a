#pragma once

#include <QtCore/QString>

#include <optional>

class QWidget;

namespace korva {

// Every message, question, input box and file dialog of the program passes
// through this interface, so tests can script the answers and read the texts.
class Messenger
{
public:
    virtual ~Messenger() = default;

    // A modal box with an OK button; an empty title means the application's.
    virtual void message(const QString &text, const QString &title = QString()) = 0;
    // Yes/No; true for Yes.
    virtual bool question(const QString &text, const QString &title = QString()) = 0;
    // OK/Cancel; true for OK.
    virtual bool confirm(const QString &text, const QString &title = QString()) = 0;
    // An input box; nothing when cancelled.
    virtual std::optional<QString> input(const QString &prompt, const QString &title,
                                         const QString &defaultText = QString()) = 0;
    // A save-file dialog; empty when cancelled.
    virtual QString saveFileName(const QString &title, const QString &proposedPath, const QString &filter) = 0;
    // An open-file dialog for a file that exists; empty when cancelled.
    virtual QString openFileName(const QString &title, const QString &folder, const QString &filter) = 0;
};

// The program's own: modal Qt boxes over a parent window, titled "KORVA".
class QtMessenger final : public Messenger
{
public:
    explicit QtMessenger(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void message(const QString &text, const QString &title) override;
    bool question(const QString &text, const QString &title) override;
    bool confirm(const QString &text, const QString &title) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultText) override;
    QString saveFileName(const QString &title, const QString &proposedPath, const QString &filter) override;
    QString openFileName(const QString &title, const QString &folder, const QString &filter) override;

private:
    QWidget *owner() const;
    QWidget *m_parent;
};

QString applicationTitle();

} // namespace korva
