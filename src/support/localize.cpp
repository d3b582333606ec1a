#include "support/localize.h"

#include "platform/paths.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QEvent>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLocale>
#include <QtCore/QTranslator>
#include <QtGui/QAction>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTabWidget>

namespace korva::modLocalize {

namespace {

struct Entry
{
    const char16_t *code;
    qint32 lcid;
    QLocale::Language language;
    QLocale::Territory territory;
};

constexpr Entry kTable[] = {
    {u"ENU", 1033, QLocale::English, QLocale::UnitedStates}, {u"ENG", 2057, QLocale::English, QLocale::UnitedKingdom},
    {u"ENA", 3081, QLocale::English, QLocale::Australia},    {u"ENC", 4105, QLocale::English, QLocale::Canada},
    {u"ENZ", 5129, QLocale::English, QLocale::NewZealand},   {u"ENI", 6153, QLocale::English, QLocale::Ireland},
    {u"DEU", 1031, QLocale::German, QLocale::Germany},       {u"DES", 2055, QLocale::German, QLocale::Switzerland},
    {u"DEA", 3079, QLocale::German, QLocale::Austria},       {u"DEL", 4103, QLocale::German, QLocale::Luxembourg},
    {u"DEC", 5127, QLocale::German, QLocale::Liechtenstein}, {u"ESP", 1034, QLocale::Spanish, QLocale::Spain},
    {u"ESM", 2058, QLocale::Spanish, QLocale::Mexico},       {u"ESN", 3082, QLocale::Spanish, QLocale::Spain},
    {u"ESG", 4106, QLocale::Spanish, QLocale::Guatemala},    {u"ESC", 5130, QLocale::Spanish, QLocale::CostaRica},
    {u"ESA", 6154, QLocale::Spanish, QLocale::Panama},       {u"ESD", 7178, QLocale::Spanish, QLocale::DominicanRepublic},
    {u"ESV", 8202, QLocale::Spanish, QLocale::Venezuela},    {u"ESO", 9226, QLocale::Spanish, QLocale::Colombia},
    {u"ESR", 10250, QLocale::Spanish, QLocale::Peru},        {u"ESS", 11274, QLocale::Spanish, QLocale::Argentina},
    {u"ESH", 18442, QLocale::Spanish, QLocale::Honduras},    {u"ESI", 19466, QLocale::Spanish, QLocale::Nicaragua},
    {u"ESU", 20490, QLocale::Spanish, QLocale::PuertoRico},  {u"FRA", 1036, QLocale::French, QLocale::France},
    {u"FRB", 2060, QLocale::French, QLocale::Belgium},       {u"FRC", 3084, QLocale::French, QLocale::Canada},
    {u"FRS", 4108, QLocale::French, QLocale::Switzerland},   {u"FRL", 5132, QLocale::French, QLocale::Luxembourg},
    {u"ITA", 1040, QLocale::Italian, QLocale::Italy},        {u"ITS", 2064, QLocale::Italian, QLocale::Switzerland},
    {u"JPN", 1041, QLocale::Japanese, QLocale::Japan},       {u"NLD", 1043, QLocale::Dutch, QLocale::Netherlands},
    {u"NLB", 2067, QLocale::Dutch, QLocale::Belgium},        {u"NOR", 1044, QLocale::NorwegianBokmal, QLocale::Norway},
    {u"NON", 2068, QLocale::NorwegianNynorsk, QLocale::Norway}, {u"PTB", 1046, QLocale::Portuguese, QLocale::Brazil},
    {u"PTG", 2070, QLocale::Portuguese, QLocale::Portugal},
};

const char *const kTranslationContext = "KORVA";

} // namespace

qint32 lcidForCode(const QString &code)
{
    for (const Entry &e : kTable)
        if (code == QStringView(e.code)) // exactly, letter case included
            return e.lcid;
    return 1033;
}

QString codeForLcid(qint32 lcid)
{
    for (const Entry &e : kTable)
        if (e.lcid == lcid)
            return QString::fromUtf16(e.code);
    return QStringLiteral("ERROR");
}

QString languageName(const QString &code)
{
    for (const Entry &e : kTable)
        if (code == QStringView(e.code)) {
            // Spain appears twice (traditional and modern sort); the table's own words tell them apart.
            QString name = QLocale::languageToString(e.language) + QStringLiteral(" (")
                           + QLocale::territoryToString(e.territory) + u')';
            if (e.lcid == 1034)
                name = QStringLiteral("Spanish (Spain, traditional sort)");
            else if (e.lcid == 3082)
                name = QStringLiteral("Spanish (Spain, modern sort)");
            return name;
        }
    return QStringLiteral("(error)");
}

qint32 userDefaultLcid()
{
    const QLocale system = QLocale::system();
    qint32 sameLanguage = 0;
    for (const Entry &e : kTable) {
        if (e.language != system.language())
            continue;
        if (e.territory == system.territory())
            return e.lcid;
        if (!sameLanguage)
            sameLanguage = e.lcid;
    }
    return sameLanguage ? sameLanguage : 1033;
}

FontChoice fontFor(qint32 lcid)
{
    switch (lcid) {
    case 1042:
        return {129, QString::fromUtf16(u"\uAD74\uB9BC")};
    case 1028:
        return {136, QString::fromUtf16(u"\u65B0\u7D30\u660E\u9AD4")};
    case 1041:
        return {128, QString::fromUtf16(u"\uFF2D\uFF33\u0020\uFF30\u30B4\u30B7\u30C3\u30AF")};
    case 2052:
        return {134, QString::fromUtf16(u"\u5B8B\u4F53")};
    default:
        return {1, QString()};
    }
}

QString translated(const QString &english)
{
    return QCoreApplication::translate(kTranslationContext, english.toUtf8().constData());
}

// Windows, dialogs and menus shown after a language was chosen take it on
// before they are first painted.
class Languages::Watcher : public QObject
{
public:
    explicit Watcher(const Languages &languages) : m_languages(languages) {}

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            auto *w = static_cast<QWidget *>(object);
            if (w->isWindow() && w->windowType() != Qt::ToolTip
                && w->property("korvaLanguage").toInt() != m_languages.current())
                m_languages.applyTo(w);
        }
        return false;
    }

private:
    const Languages &m_languages;
};

struct Languages::Library
{
    QFile file; // kept open while it is the current language's
    QTranslator translator;
    bool installed = false;

    ~Library()
    {
        if (installed)
            QCoreApplication::removeTranslator(&translator);
    }
};

Languages::Languages(QString programFolder, QString executableName)
    : m_folder(std::move(programFolder)), m_executable(std::move(executableName))
{
}

Languages::~Languages()
{
    if (m_watcher && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(m_watcher.get());
}

QString Languages::loadedLibrary() const { return m_library ? m_library->file.fileName() : QString(); }

bool Languages::hasTranslations() const { return m_library && m_library->installed; }

QString Languages::InitalizeLanguages()
{
    QString errors;
    if (m_current == 0)
        m_current = userDefaultLcid();
    m_library.reset();
    if (!m_watcher && QCoreApplication::instance()) {
        m_watcher = std::make_unique<Watcher>(*this);
        QCoreApplication::instance()->installEventFilter(m_watcher.get());
    }
    const QString wanted = m_executable + u'_' + codeForLcid(m_current) + QStringLiteral(".dll");
    const QDir dir(m_folder);
    const QStringList files = dir.entryList(QDir::Files, QDir::Unsorted); // in the folder's own order
    // The library of the current language, found whatever the letter case of its name.
    QString path;
    for (const QString &name : files)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            path = dir.filePath(name);
            break;
        }
    if (!path.isEmpty()) {
        auto library = std::make_unique<Library>();
        library->file.setFileName(path);
        if (library->file.open(QIODevice::ReadOnly)) {
            if (library->translator.load(path)) {
                QCoreApplication::installTranslator(&library->translator);
                library->installed = true;
            }
            m_library = std::move(library);
        }
    }
    m_available.clear();
    const QString prefix = m_executable + u'_';
    for (const QString &name : files) {
        if (name.size() < prefix.size() + 3 || !name.startsWith(prefix, Qt::CaseInsensitive)
            || !name.endsWith(QStringLiteral("DLL"), Qt::CaseInsensitive))
            continue;
        // The three characters before ".dll".
        m_available << name.mid(name.size() - 7, 3);
    }
    if (m_available.isEmpty())
        m_available << QString();
    for (QWidget *w : QApplication::topLevelWidgets())
        applyTo(w);
    return errors;
}

namespace {

// Sets a text in the current language, remembering the English it was built with.
template<class Get, class Set>
void retext(QObject *o, const Get &get, const Set &set)
{
    if (o->property("korvaNoTranslation").toBool())
        return;
    const QString now = get();
    QString source = o->property("korvaSourceText").toString();
    // Text set by the program since the last change is its new English text.
    if (!o->property("korvaSourceText").isValid() || now != o->property("korvaShownText").toString())
        source = now;
    const QString shown = translated(source);
    if (shown != now)
        set(shown);
    o->setProperty("korvaSourceText", source);
    o->setProperty("korvaShownText", shown);
}

} // namespace

void Languages::applyTo(QWidget *window) const
{
    if (!window)
        return;
    const FontChoice font = fontFor(m_current);
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    // Each control's own family is noted before any changes: a child
    // inherits its window's font as soon as the window's is set.
    for (QWidget *w : widgets)
        if (!w->property("korvaFontFamily").isValid())
            w->setProperty("korvaFontFamily", w->font().family());
    for (QWidget *w : widgets) {
        // Tips and data show what the databases hold; only the windows' own texts change.
        if (w->windowType() == Qt::ToolTip)
            continue;
        const QString family = font.family.isEmpty() ? w->property("korvaFontFamily").toString() : font.family;
        if (w->font().family() != family) {
            QFont f = w->font();
            f.setFamily(family);
            w->setFont(f);
        }
        if (w->isWindow())
            retext(w, [w] { return w->windowTitle(); }, [w](const QString &t) { w->setWindowTitle(t); });
        if (auto *label = qobject_cast<QLabel *>(w); label && label->textFormat() != Qt::RichText && !label->text().isEmpty())
            retext(label, [label] { return label->text(); }, [label](const QString &t) { label->setText(t); });
        else if (auto *button = qobject_cast<QAbstractButton *>(w); button && !button->text().isEmpty())
            retext(button, [button] { return button->text(); }, [button](const QString &t) { button->setText(t); });
        else if (auto *group = qobject_cast<QGroupBox *>(w))
            retext(group, [group] { return group->title(); }, [group](const QString &t) { group->setTitle(t); });
        if (auto *tabs = qobject_cast<QTabWidget *>(w))
            for (int i = 0; i < tabs->count(); ++i) {
                QWidget *page = tabs->widget(i);
                retext(page, [tabs, i] { return tabs->tabText(i); }, [tabs, i](const QString &t) { tabs->setTabText(i, t); });
            }
    }
    for (QAction *a : window->findChildren<QAction *>())
        if (!a->isSeparator() && !a->text().isEmpty())
            retext(a, [a] { return a->text(); }, [a](const QString &t) { a->setText(t); });
    window->setProperty("korvaLanguage", m_current);
    // The window's own hook, when it has one.
    const QByteArray hook = window->objectName().toUtf8() + "_Auto_Init";
    if (window->metaObject()->indexOfMethod(QByteArray(hook + "()").constData()) >= 0)
        QMetaObject::invokeMethod(window, hook.constData());
    window->update();
}

void Languages::choose(qint32 lcid)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_current = lcid;
    InitalizeLanguages(); // applies the fonts, the texts and the hooks to every open window
    for (QWidget *w : QApplication::topLevelWidgets())
        for (QWidget *child : w->findChildren<QWidget *>())
            child->update();
    QApplication::restoreOverrideCursor();
}

Languages &programLanguages()
{
    // The libraries carry the program's executable name, korva, whichever
    // program (a test, say) asks.
    static Languages languages(programDataFolder(), QStringLiteral("korva"));
    return languages;
}

} // namespace korva::modLocalize
