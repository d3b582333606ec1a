#include "support/localize.h"

#include "platform/paths.h"
#include "support/busypointer.h"

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

#include <algorithm>
#include <cstring>

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
    {u"ENU", 1033, QLocale::English, QLocale::UnitedStates},
    {u"ENG", 2057, QLocale::English, QLocale::UnitedKingdom},
    {u"ENA", 3081, QLocale::English, QLocale::Australia},
    {u"ENC", 4105, QLocale::English, QLocale::Canada},
    {u"ENZ", 5129, QLocale::English, QLocale::NewZealand},
    {u"ENI", 6153, QLocale::English, QLocale::Ireland},
    {u"DEU", 1031, QLocale::German, QLocale::Germany},
    {u"DES", 2055, QLocale::German, QLocale::Switzerland},
    {u"DEA", 3079, QLocale::German, QLocale::Austria},
    {u"DEL", 4103, QLocale::German, QLocale::Luxembourg},
    {u"DEC", 5127, QLocale::German, QLocale::Liechtenstein},
    {u"ESP", 1034, QLocale::Spanish, QLocale::Spain},
    {u"ESM", 2058, QLocale::Spanish, QLocale::Mexico},
    {u"ESN", 3082, QLocale::Spanish, QLocale::Spain},
    {u"ESG", 4106, QLocale::Spanish, QLocale::Guatemala},
    {u"ESC", 5130, QLocale::Spanish, QLocale::CostaRica},
    {u"ESA", 6154, QLocale::Spanish, QLocale::Panama},
    {u"ESD", 7178, QLocale::Spanish, QLocale::DominicanRepublic},
    {u"ESV", 8202, QLocale::Spanish, QLocale::Venezuela},
    {u"ESO", 9226, QLocale::Spanish, QLocale::Colombia},
    {u"ESR", 10250, QLocale::Spanish, QLocale::Peru},
    {u"ESS", 11274, QLocale::Spanish, QLocale::Argentina},
    {u"ESH", 18442, QLocale::Spanish, QLocale::Honduras},
    {u"ESI", 19466, QLocale::Spanish, QLocale::Nicaragua},
    {u"ESU", 20490, QLocale::Spanish, QLocale::PuertoRico},
    {u"FRA", 1036, QLocale::French, QLocale::France},
    {u"FRB", 2060, QLocale::French, QLocale::Belgium},
    {u"FRC", 3084, QLocale::French, QLocale::Canada},
    {u"FRS", 4108, QLocale::French, QLocale::Switzerland},
    {u"FRL", 5132, QLocale::French, QLocale::Luxembourg},
    {u"ITA", 1040, QLocale::Italian, QLocale::Italy},
    {u"ITS", 2064, QLocale::Italian, QLocale::Switzerland},
    {u"JPN", 1041, QLocale::Japanese, QLocale::Japan},
    {u"NLD", 1043, QLocale::Dutch, QLocale::Netherlands},
    {u"NLB", 2067, QLocale::Dutch, QLocale::Belgium},
    {u"NOR", 1044, QLocale::NorwegianBokmal, QLocale::Norway},
    {u"NON", 2068, QLocale::NorwegianNynorsk, QLocale::Norway},
    {u"PTB", 1046, QLocale::Portuguese, QLocale::Brazil},
    {u"PTG", 2070, QLocale::Portuguese, QLocale::Portugal},
};

const char *const kTranslationContext = "KORVA";

// A language library is checked in full before the translator sees it: the
// translator trusts every length and offset inside the file, and one damaged
// byte has it read far outside it.
namespace qm {

constexpr uchar kMagic[16] = {0x3c, 0xb8, 0x64, 0x18, 0xca, 0xef, 0x9c, 0x95,
                              0xcd, 0x21, 0x1c, 0xbf, 0x60, 0xa1, 0xbd, 0xdd};
constexpr qint64 kMaxSize = 16 * 1024 * 1024;

enum Section : uchar {
    Contexts = 0x2f,
    Hashes = 0x42,
    Messages = 0x69,
    NumerusRules = 0x88,
    Dependencies = 0x96,
    Language = 0xa7
};
enum Field : uchar { End = 1, Translation = 3, Obsolete1 = 5, SourceText = 6, Context = 7, Comment = 8 };

quint32 be32(const uchar *p) { return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]; }
quint16 be16(const uchar *p) { return quint16(p[0] << 8 | p[1]); }

struct Span
{
    const uchar *data = nullptr;
    quint32 size = 0;
};

// The offset just after the message that starts at `at`, or 0 when one of its
// fields runs past the section or is of a kind the compiler never writes.
quint32 messageEnd(Span messages, quint32 at)
{
    quint32 pos = at;
    for (;;) {
        if (pos >= messages.size)
            return 0;
        const uchar field = messages.data[pos++];
        switch (field) {
        case End:
            return pos;
        case Obsolete1:
            if (messages.size - pos < 4)
                return 0;
            pos += 4;
            break;
        case Translation:
        case SourceText:
        case Context:
        case Comment: {
            if (messages.size - pos < 4)
                return 0;
            const quint32 length = be32(messages.data + pos);
            pos += 4;
            if (field == Translation && length == 0xffffffffu) // a null text: the lookup stops at it
                break;
            if ((field == Translation && length % 2) || length > messages.size - pos)
                return 0;
            pos += length;
            break;
        }
        default:
            return 0;
        }
    }
}

// The context table: a bucket count, the buckets, then runs of
// length-prefixed names each ended by a zero length.
bool contextsFit(Span contexts)
{
    if (contexts.size < 2)
        return false;
    const quint32 buckets = be16(contexts.data);
    const quint32 pool = 2 + 2 * buckets;
    if (buckets == 0 || pool > contexts.size)
        return false;
    for (quint32 b = 0; b < buckets; ++b) {
        const quint32 offset = be16(contexts.data + 2 + 2 * b);
        if (offset == 0)
            continue;
        quint32 pos = pool + 2 * offset;
        for (;;) {
            if (pos >= contexts.size)
                return false;
            const quint32 length = contexts.data[pos++];
            if (length == 0)
                break;
            if (length > contexts.size - pos)
                return false;
            pos += length;
        }
    }
    return true;
}

// What is wrong with a compiled translation; empty when nothing is.
QString problem(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < qint64(sizeof kMagic) || memcmp(data, kMagic, sizeof kMagic) != 0)
        return QStringLiteral("it is not a compiled translation");
    Span contexts, hashes, messages;
    QList<uchar> seen;
    for (qint64 pos = sizeof kMagic; pos < size;) {
        if (size - pos < 5)
            return QStringLiteral("it ends inside a section header");
        const uchar tag = data[pos];
        const quint32 length = be32(data + pos + 1);
        pos += 5;
        if (length > size - pos)
            return QStringLiteral("a section runs past the end of the file");
        if (seen.contains(tag))
            return QStringLiteral("a section appears twice");
        seen << tag;
        const Span span{data + pos, length};
        switch (tag) {
        case Contexts:
            contexts = span;
            break;
        case Hashes:
            hashes = span;
            break;
        case Messages:
            messages = span;
            break;
        case NumerusRules: // the translator checks these itself
        case Language:
            break;
        case Dependencies: // would have the translator load other files unchecked
        default:
            return QStringLiteral("it has a section of an unknown kind");
        }
        pos += length;
    }
    if (contexts.size && !contextsFit(contexts))
        return QStringLiteral("its context table is damaged");
    // Messages lie back to back; the hash table points at their starts, in
    // hash order (the lookup is a binary search).
    QList<quint32> starts;
    for (quint32 at = 0; at < messages.size;) {
        starts << at;
        at = messageEnd(messages, at);
        if (at == 0)
            return QStringLiteral("a message is damaged");
    }
    if (hashes.size % 8)
        return QStringLiteral("its hash table is damaged");
    quint32 previous = 0;
    for (quint32 at = 0; at < hashes.size; at += 8) {
        const quint32 hash = be32(hashes.data + at);
        const quint32 offset = be32(hashes.data + at + 4);
        if (hash < previous || !std::binary_search(starts.cbegin(), starts.cend(), offset))
            return QStringLiteral("its hash table does not match its messages");
        previous = hash;
    }
    return QString();
}

} // namespace qm

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

namespace {

QString composedTitle(const QWidget *window)
{
    const QString name = window->property("korvaTitleName").toString();
    return translated(window->property("korvaTitleSource").toString())
           + (name.isEmpty() ? QString() : window->property("korvaTitleSeparator").toString() + name);
}

} // namespace

void setComposedTitle(QWidget *window, const QString &english, const QString &name, const QString &separator)
{
    window->setProperty("korvaTitleSource", english);
    window->setProperty("korvaTitleName", name);
    window->setProperty("korvaTitleSeparator", separator);
    window->setWindowTitle(composedTitle(window));
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
    QFile file;          // kept open while it is the current language's
    QByteArray contents; // the translator reads from it, not from the file
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
{}

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
            library->contents = library->file.read(qm::kMaxSize + 1);
            QString bad = library->contents.size() > qm::kMaxSize ? QStringLiteral("it is too large")
                                                                  : qm::problem(library->contents);
            const auto *bytes = reinterpret_cast<const uchar *>(library->contents.constData());
            if (bad.isEmpty() && !library->translator.load(bytes, int(library->contents.size()), m_folder))
                bad = QStringLiteral("it could not be loaded");
            if (bad.isEmpty()) {
                QCoreApplication::installTranslator(&library->translator);
                library->installed = true;
                m_library = std::move(library);
            } else {
                errors += QStringLiteral("The language library ") + QDir::toNativeSeparators(path)
                          + QStringLiteral(" is damaged (") + bad + QStringLiteral("); the texts stay in English.");
                m_current = 1033;
            }
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
        if (w->isWindow() && w->property("korvaTitleSource").isValid())
            w->setWindowTitle(composedTitle(w));
        else if (w->isWindow())
            retext(
                w, [w] { return w->windowTitle(); }, [w](const QString &t) { w->setWindowTitle(t); });
        if (auto *label = qobject_cast<QLabel *>(w);
            label && label->textFormat() != Qt::RichText && !label->text().isEmpty())
            retext(
                label, [label] { return label->text(); }, [label](const QString &t) { label->setText(t); });
        else if (auto *button = qobject_cast<QAbstractButton *>(w); button && !button->text().isEmpty())
            retext(
                button, [button] { return button->text(); }, [button](const QString &t) { button->setText(t); });
        else if (auto *group = qobject_cast<QGroupBox *>(w))
            retext(
                group, [group] { return group->title(); }, [group](const QString &t) { group->setTitle(t); });
        if (auto *tabs = qobject_cast<QTabWidget *>(w))
            for (int i = 0; i < tabs->count(); ++i) {
                QWidget *page = tabs->widget(i);
                retext(
                    page, [tabs, i] { return tabs->tabText(i); },
                    [tabs, i](const QString &t) { tabs->setTabText(i, t); });
            }
    }
    for (QAction *a : window->findChildren<QAction *>())
        if (!a->isSeparator() && !a->text().isEmpty())
            retext(
                a, [a] { return a->text(); }, [a](const QString &t) { a->setText(t); });
    window->setProperty("korvaLanguage", m_current);
    // The window's own hook, when it has one.
    const QByteArray hook = window->objectName().toUtf8() + "_Auto_Init";
    if (window->metaObject()->indexOfMethod(QByteArray(hook + "()").constData()) >= 0)
        QMetaObject::invokeMethod(window, hook.constData());
    window->update();
}

QString Languages::choose(qint32 lcid)
{
    const BusyPointer busy;
    m_current = lcid;
    const QString errors = InitalizeLanguages(); // applies the fonts, the texts and the hooks to every open window
    for (QWidget *w : QApplication::topLevelWidgets())
        for (QWidget *child : w->findChildren<QWidget *>())
            child->update();
    return errors;
}

Languages &programLanguages()
{
    // The libraries carry the program's executable name, korva, whichever
    // program (a test, say) asks.
    static Languages languages(programDataFolder(), QStringLiteral("korva"));
    return languages;
}

} // namespace korva::modLocalize
