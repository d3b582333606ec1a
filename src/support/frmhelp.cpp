#include "support/frmhelp.h"

#include "platform/paths.h"
#include "support/windowplacement.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QUrl>
#include <QtWidgets/QTextBrowser>

namespace korva {

using placement::twipsToPixels;

namespace {
const QString kTitle = QStringLiteral("Zandel Orvex Talmu");
}

QRect helpBrowserGeometry(QSize clientTwips)
{
    return QRect(100, 1, std::max(0, clientTwips.width() - 200), std::max(0, clientTwips.height() - 101));
}

QString frmHelp::helpPagePath() { return programFilePath(QStringLiteral("KORVA.htm")); }

frmHelp::frmHelp(QWidget *parent) : QMainWindow(parent), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(kTitle);
    m_browser->setObjectName(QStringLiteral("brwWebBrowser"));
    m_browser->setAccessibleName(QStringLiteral("Help"));
    m_browser->setAccessibleDescription(QStringLiteral("The program's guide"));
    setCentralWidget(m_browser);
    // Pages and anchors of the help open in place; web addresses in the desktop's browser.
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(true);
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    // The margins around the page are the same at any size.
    const QSize client(kMinHelpWidth, kMinHelpHeight);
    const QRect inner = helpBrowserGeometry(client);
    setContentsMargins(twipsToPixels(inner.left(), dpiX), twipsToPixels(inner.top(), dpiY),
                       twipsToPixels(client.width() - inner.x() - inner.width(), dpiX),
                       twipsToPixels(client.height() - inner.y() - inner.height(), dpiY));
    placement::sizeInTwips(this, QSize(kMinHelpWidth, kMinHelpHeight), QSize(9000, 8000));
    const QString page = helpPagePath();
    if (QFileInfo(page).isFile()) {
        m_browser->setSource(QUrl::fromLocalFile(page));
    } else {
        m_browser->setPlainText(QStringLiteral("The help page was not found: ") + QDir::toNativeSeparators(page));
    }
}

} // namespace korva
