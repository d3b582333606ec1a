#include "widgets/gridfindbar.h"

#include "support/localize.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QToolButton>

namespace korva {

GridFindBar::GridFindBar(QWidget *parent)
    : QFrame(parent), m_text(new QLineEdit(this)), m_count(new QLabel(this)), m_previous(new QToolButton(this)),
      m_next(new QToolButton(this)), m_close(new QToolButton(this))
{
    setObjectName(QStringLiteral("fraFind"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_text->setObjectName(QStringLiteral("txtFind"));
    m_text->setAccessibleName(modLocalize::translated(QStringLiteral("Find in grid")));
    m_text->setPlaceholderText(modLocalize::translated(QStringLiteral("Find in grid")));
    m_text->setMinimumWidth(160);
    m_count->setObjectName(QStringLiteral("lblFindCount"));
    m_count->setMinimumWidth(90);
    m_previous->setObjectName(QStringLiteral("cmdFindPrevious"));
    m_previous->setArrowType(Qt::UpArrow);
    m_previous->setAccessibleName(QStringLiteral("Previous match"));
    m_previous->setToolTip(modLocalize::translated(QStringLiteral("Previous match (Shift+F3)")));
    m_next->setObjectName(QStringLiteral("cmdFindNext"));
    m_next->setArrowType(Qt::DownArrow);
    m_next->setAccessibleName(QStringLiteral("Next match"));
    m_next->setToolTip(modLocalize::translated(QStringLiteral("Next match (F3)")));
    m_close->setObjectName(QStringLiteral("cmdFindClose"));
    m_close->setText(QStringLiteral("x"));
    m_close->setAccessibleName(QStringLiteral("Close find"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(2);
    row->addWidget(m_text);
    row->addWidget(m_count);
    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_close);
    connect(m_text, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_count->clear();
        Q_EMIT searchFor(text);
    });
    connect(m_previous, &QToolButton::clicked, this, &GridFindBar::previous);
    connect(m_next, &QToolButton::clicked, this, &GridFindBar::next);
    connect(m_close, &QToolButton::clicked, this, [this] {
        hide();
        Q_EMIT closed();
    });
    m_text->installEventFilter(this);
    hide();
}

void GridFindBar::open()
{
    show();
    raise();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

QString GridFindBar::text() const { return m_text->text(); }

QString GridFindBar::countText() const { return m_count->text(); }

void GridFindBar::showCount(qsizetype matches, bool rowsStillComing)
{
    if (rowsStillComing && !m_text->text().isEmpty())
        m_count->setText(modLocalize::translated(QStringLiteral("Waiting for rows")));
    else if (m_text->text().isEmpty())
        m_count->clear();
    else if (matches == 0)
        m_count->setText(modLocalize::translated(QStringLiteral("No matches")));
    else if (matches == 1)
        m_count->setText(modLocalize::translated(QStringLiteral("1 match")));
    else
        m_count->setText(modLocalize::translated(QStringLiteral("%1 matches")).arg(matches));
}

void GridFindBar::showPlace(int place, int matches)
{
    m_count->setText(modLocalize::translated(QStringLiteral("%1 of %2")).arg(place).arg(matches));
}

bool GridFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool back = key->modifiers() & Qt::ShiftModifier;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F3:
            Q_EMIT(back ? previous() : next());
            return true;
        case Qt::Key_Escape:
            hide();
            Q_EMIT closed();
            return true;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace korva
