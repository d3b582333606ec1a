#include "navigation/searchdialogs.h"

#include "support/messenger.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace korva {

frmCrossTableSearchOptions::frmCrossTableSearchOptions(Messenger &messenger, QWidget *parent)
    : QDialog(parent), m_msg(messenger)
{
    setObjectName(QStringLiteral("frmCrossTableSearchOptions"));
    setWindowTitle(QStringLiteral("Search across tables"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("Search string:"), this);
    label->setObjectName(QStringLiteral("lblSearchString"));
    m_txtSearchString = new QLineEdit(this);
    m_txtSearchString->setObjectName(QStringLiteral("txtSearchString"));
    label->setBuddy(m_txtSearchString);
    m_chkPartialMatches = new QCheckBox(QStringLiteral("Search for partial string matches"), this);
    m_chkPartialMatches->setObjectName(QStringLiteral("chkPartialMatches"));
    m_cmdSearch = new QPushButton(QStringLiteral("&Search"), this);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    m_cmdSearch->setDefault(true);
    m_cmdFindAll = new QPushButton(QStringLiteral("Find &all"), this);
    m_cmdFindAll->setObjectName(QStringLiteral("cmdFindAll"));
    layout->addWidget(label);
    layout->addWidget(m_txtSearchString);
    layout->addWidget(m_chkPartialMatches);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdSearch);
    buttons->addWidget(m_cmdFindAll);
    layout->addLayout(buttons);
    connect(m_cmdSearch, &QPushButton::clicked, this, &frmCrossTableSearchOptions::cmdSearch_Click);
    connect(m_cmdFindAll, &QPushButton::clicked, this, &frmCrossTableSearchOptions::cmdFindAll_Click);
    resize(360, sizeHint().height());
}

void frmCrossTableSearchOptions::cmdSearch_Click() { searchWith(false); }

void frmCrossTableSearchOptions::cmdFindAll_Click() { searchWith(true); }

void frmCrossTableSearchOptions::searchWith(bool findAll)
{
    if (m_txtSearchString->text().isEmpty()) {
        m_msg.message(QStringLiteral("You must select a string to search for"));
        return;
    }
    m_exactMatch = !m_chkPartialMatches->isChecked();
    m_searchText = m_txtSearchString->text();
    m_findAll = findAll;
    QDialog::done(QDialog::Accepted);
}

void frmCrossTableSearchOptions::done(int result)
{
    if (result != QDialog::Accepted)
        m_searchText.clear();
    QDialog::done(result);
}

frmFindNextCrossTableMatch::frmFindNextCrossTableMatch(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmFindNextCrossTableMatch"));
    setWindowTitle(QStringLiteral("Find next match?"));
    setModal(false);
    auto *layout = new QHBoxLayout(this);
    auto *yes = new QPushButton(QStringLiteral("&Yes"), this);
    yes->setObjectName(QStringLiteral("cmdYes"));
    yes->setDefault(true);
    auto *no = new QPushButton(QStringLiteral("&No"), this);
    no->setObjectName(QStringLiteral("cmdNo"));
    layout->addWidget(yes);
    layout->addWidget(no);
    connect(yes, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT findNext();
    });
    connect(no, &QPushButton::clicked, this, &frmFindNextCrossTableMatch::reject);
    resize(240, sizeHint().height());
}

void frmFindNextCrossTableMatch::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Like every message box, it takes the keyboard: Enter goes on, Esc stops.
    activateWindow();
    if (auto *yes = findChild<QPushButton *>(QStringLiteral("cmdYes")))
        yes->setFocus(Qt::ActiveWindowFocusReason);
}

void frmFindNextCrossTableMatch::reject()
{
    QDialog::reject();
    Q_EMIT stop();
}

void frmFindNextCrossTableMatch::placeOver(const QWidget *window)
{
    // Centred over the main window.
    const QRect g = window->frameGeometry();
    move(g.center() - QPoint(width() / 2, height() / 2));
}

} // namespace korva
