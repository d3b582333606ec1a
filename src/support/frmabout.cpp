#include "support/frmabout.h"

#include "platform/paths.h"
#include "support/localize.h"
#include "support/messenger.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace korva {

ClickableLabel::ClickableLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked(event->globalPosition().toPoint());
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT clicked(mapToGlobal(rect().bottomLeft()));
        return;
    }
    QLabel::keyPressEvent(event);
}

QString aboutVersionText(const QString &version)
{
    const QStringList parts = version.split(u'.');
    const auto number = [&](int i) { return parts.value(i).toLongLong(); };
    return u' ' + QString::number(number(0)) + u'.' + QString::number(number(1)) + QStringLiteral(" Build  ")
           + QString::number(number(2));
}

namespace {

// The company's mark: a ring with a bar, in the product's blue.
QPixmap companyLogo()
{
    QPixmap pix(64, 64);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1f, 0x4e, 0x8c), 7));
    p.drawEllipse(QRectF(8, 8, 48, 48));
    p.fillRect(QRectF(28, 14, 8, 36), QColor(0x1f, 0x4e, 0x8c));
    return pix;
}

// The product's: a magnifier over a database drum.
QPixmap productLogo()
{
    QPixmap pix(64, 64);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor drum(0x3a, 0x7d, 0x44);
    p.setPen(QPen(drum.darker(), 2));
    p.setBrush(drum);
    p.drawRect(QRectF(6, 14, 34, 36));
    p.setBrush(drum.lighter(130));
    p.drawEllipse(QRectF(6, 8, 34, 12));
    p.drawEllipse(QRectF(6, 44, 34, 12));
    p.setBrush(QColor(255, 255, 255, 170));
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), 4));
    p.drawEllipse(QRectF(28, 24, 24, 24));
    p.drawLine(QPointF(48, 45), QPointF(60, 58));
    return pix;
}

QLabel *picture(const QPixmap &pix, const char *name, const QString &accessible, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(pix);
    label->setAccessibleName(accessible);
    return label;
}

} // namespace

frmAbout::frmAbout(Messenger &msg, modLocalize::Languages *languages, QWidget *parent)
    : QDialog(parent), m_msg(msg), m_languages(languages ? *languages : modLocalize::programLanguages())
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Zandel Orvex Talmu"));
    setModal(true);

    auto *top = new QHBoxLayout;
    top->addWidget(picture(companyLogo(), "picCompanyLogo", QStringLiteral("Company logo"), this));
    auto *company = new QVBoxLayout;
    auto *name = new QLabel(QStringLiteral("Zandel Orvex"), this);
    name->setObjectName(QStringLiteral("lblCompany"));
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    name->setFont(bold);
    auto *product = new QLabel(QStringLiteral("Talmu diagnostic browser for the voice-messaging databases"), this);
    product->setObjectName(QStringLiteral("lblProduct"));
    auto *legal = new QLabel(QStringLiteral("This tool is provided as is, without warranty of any kind."), this);
    legal->setObjectName(QStringLiteral("lblLegal"));
    legal->setWordWrap(true);
    company->addWidget(name);
    company->addWidget(product);
    company->addWidget(legal);
    top->addLayout(company, 1);
    top->addWidget(picture(productLogo(), "picProductLogo", QStringLiteral("Product logo"), this));

    auto *version = new QHBoxLayout;
    lblVersionTitle = new QLabel(QStringLiteral("Version:"), this);
    lblVersionTitle->setObjectName(QStringLiteral("lblVersionTitle"));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblVersionTitle->setBuddy(lblVersion);
    version->addWidget(lblVersionTitle);
    version->addWidget(lblVersion, 1);

    auto *bottom = new QHBoxLayout;
    lblChangeLanguage = new ClickableLabel(QStringLiteral("Change Language"), this);
    lblChangeLanguage->setObjectName(QStringLiteral("lblChangeLanguage"));
    lblChangeLanguage->setAccessibleDescription(QStringLiteral("Opens the list of interface languages"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    bottom->addWidget(lblChangeLanguage);
    bottom->addStretch(1);
    bottom->addWidget(cmdOK);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(version);
    layout->addStretch(1);
    layout->addLayout(bottom);

    mnuSelectLanguage = new QMenu(QStringLiteral("Select Language"), this);
    mnuSelectLanguage->setObjectName(QStringLiteral("mnuSelectLanguage"));
    QAction *first = mnuSelectLanguage->addAction(QString());
    first->setObjectName(QStringLiteral("mnuLanguageList"));

    connect(cmdOK, &QPushButton::clicked, this, &QWidget::hide);
    connect(lblChangeLanguage, &ClickableLabel::clicked, this, &frmAbout::lblChangeLanguage_Click);
    connect(mnuSelectLanguage, &QMenu::triggered, this, &frmAbout::chooseLanguage);
    Form_Load();
}

void frmAbout::Form_Load()
{
    lblVersion->setText(aboutVersionText(programVersion()));
    const QString error = m_languages.InitalizeLanguages();
    if (!error.isEmpty())
        m_msg.message(QStringLiteral("Error in form load routine:") + error);
    const QStringList &codes = m_languages.available();
    QList<QAction *> items = mnuSelectLanguage->actions();
    if (codes.size() == 1 && codes.first().isEmpty()) {
        items.first()->setText(QStringLiteral("no languages loaded"));
        items.first()->setData(QStringLiteral("1033"));
        return;
    }
    for (int i = 0; i < codes.size(); ++i) {
        QAction *item = i == 0 ? items.first() : mnuSelectLanguage->addAction(QString());
        item->setObjectName(QStringLiteral("mnuLanguageList"));
        item->setText(modLocalize::languageName(codes.at(i)));
        item->setData(QString(u' ' + QString::number(modLocalize::lcidForCode(codes.at(i)))));
        // The language names are the languages' own; no translation applies to them.
        item->setProperty("korvaNoTranslation", true);
    }
}

void frmAbout::lblChangeLanguage_Click(const QPoint &globalPos) { mnuSelectLanguage->popup(globalPos); }

void frmAbout::chooseLanguage(QAction *item)
{
    bool ok = false;
    const qint32 lcid = item->data().toString().trimmed().toInt(&ok);
    if (!ok)
        return;
    const QString error = m_languages.choose(lcid);
    if (!error.isEmpty())
        m_msg.message(error);
}

void frmAbout::frmAbout_Auto_Init()
{
    layout()->activate();
    adjustSize();
}

void frmAbout::setVisible(bool visible)
{
    // A box without a shown owner hangs off a hidden window of the window
    // system: it is not kept over the program, nor found under it by screen
    // readers. It is loaded once and may be asked for from another window
    // later, so the owner is looked for at each showing.
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (visible && !(owner && owner->isVisible())) {
        QWidget *working = QApplication::activeWindow();
        const auto fits = [this](QWidget *w) {
            return w && w != this && w->isVisible() && w->isWindow()
                   && (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog);
        };
        if (!fits(working)) {
            working = nullptr;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (fits(w)) {
                    working = w;
                    break;
                }
        }
        if (working)
            setParent(working, windowFlags());
    }
    QDialog::setVisible(visible);
}

void frmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    cmdOK->setFocus(); // Enter or Space closes it; Tab reaches the language choice
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    // Closed from its frame, it is only hidden, like OK does: it stays loaded.
    event->ignore();
    hide();
}

} // namespace korva
