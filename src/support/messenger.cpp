#include "support/messenger.h"

#include "support/busypointer.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QMessageBox>

namespace korva {

QString applicationTitle() { return QStringLiteral("KORVA"); }

namespace {

QString titleOr(const QString &title) { return title.isEmpty() ? applicationTitle() : title; }

// While the user is asked, the plain pointer, whatever busy pointer the
// program shows meanwhile.
template<class Ask>
auto withArrow(Ask ask)
{
    const BusyPointer arrow(Qt::ArrowCursor);
    return ask();
}

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
    withArrow([&] { return box.exec(); });
}

bool QtMessenger::question(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Question, titleOr(title), text, QMessageBox::Yes | QMessageBox::No, owner());
    return withArrow([&] { return box.exec(); }) == QMessageBox::Yes;
}

bool QtMessenger::confirm(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, titleOr(title), text, QMessageBox::Ok | QMessageBox::Cancel, owner());
    return withArrow([&] { return box.exec(); }) == QMessageBox::Ok;
}

std::optional<QString> QtMessenger::input(const QString &prompt, const QString &title, const QString &defaultText)
{
    bool ok = false;
    const QString text = withArrow(
        [&] { return QInputDialog::getText(owner(), titleOr(title), prompt, QLineEdit::Normal, defaultText, &ok); });
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtMessenger::saveFileName(const QString &title, const QString &proposedPath, const QString &filter)
{
    // The overwrite question is the caller's, in its own words.
    return withArrow([&] {
        return QFileDialog::getSaveFileName(owner(), title, proposedPath, filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    });
}

QString QtMessenger::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    return withArrow([&] { return QFileDialog::getOpenFileName(owner(), title, folder, filter); });
}

} // namespace korva
