#include "support/messenger.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QMessageBox>

namespace korva {

QString applicationTitle() { return QStringLiteral("KORVA"); }

namespace {
QString titleOr(const QString &title) { return title.isEmpty() ? applicationTitle() : title; }
} // namespace

QWidget *QtMessenger::owner() const
{
    // Over the window the user is working in, so that window stays in front.
    if (QWidget *active = QApplication::activeWindow(); active && active->isVisible())
        return active;
    return m_parent;
}

void QtMessenger::message(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, titleOr(title), text, QMessageBox::Ok, owner());
    box.setObjectName(QStringLiteral("messageBox"));
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool QtMessenger::question(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Question, titleOr(title), text, QMessageBox::Yes | QMessageBox::No, owner());
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool yes = box.exec() == QMessageBox::Yes;
    QApplication::restoreOverrideCursor();
    return yes;
}

bool QtMessenger::confirm(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, titleOr(title), text, QMessageBox::Ok | QMessageBox::Cancel, owner());
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool ok = box.exec() == QMessageBox::Ok;
    QApplication::restoreOverrideCursor();
    return ok;
}

std::optional<QString> QtMessenger::input(const QString &prompt, const QString &title, const QString &defaultText)
{
    bool ok = false;
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const QString text = QInputDialog::getText(owner(), titleOr(title), prompt, QLineEdit::Normal, defaultText, &ok);
    QApplication::restoreOverrideCursor();
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtMessenger::saveFileName(const QString &title, const QString &proposedPath, const QString &filter)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    // The overwrite question is the caller's, in its own words.
    const QString name = QFileDialog::getSaveFileName(owner(), title, proposedPath, filter, nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    QApplication::restoreOverrideCursor();
    return name;
}

QString QtMessenger::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const QString name = QFileDialog::getOpenFileName(owner(), title, folder, filter);
    QApplication::restoreOverrideCursor();
    return name;
}

} // namespace korva
