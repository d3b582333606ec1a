#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>

class QWidget;

// Interface languages. A language library is a file beside the program named
// after the executable, an underscore and a three-letter code ("korva_DEU.dll");
// it holds the translations of the windows' texts (a compiled Qt translation).
namespace korva::modLocalize {

// The code table, both ways: an unknown code is 1033, an unknown identifier "ERROR".
qint32 lcidForCode(const QString &code);
QString codeForLcid(qint32 lcid);

// The display name of the language a code stands for ("German (Germany)"), "(error)" when unknown.
QString languageName(const QString &code);

// The user's own language as an identifier of the table (1033 when it has none there).
qint32 userDefaultLcid();

struct FontChoice
{
    int charset = 1;
    QString family; // empty: the application's own font
};
// The font the windows take for a language.
FontChoice fontFor(qint32 lcid);

// The language state of the program.
class Languages
{
public:
    explicit Languages(QString programFolder, QString executableName);
    ~Languages();

    qint32 current() const { return m_current; }
    void setCurrent(qint32 lcid) { m_current = lcid; }
    // Sets the user's language when none is set, loads the library of the
    // current language (releasing the one before) and lists the libraries
    // found; a single empty entry when there is none. A damaged library is
    // not loaded and the language falls back to English (1033). Errors come
    // back as text (empty when none).
    QString InitalizeLanguages();
    const QStringList &available() const { return m_available; }
    // The library file of the current language, when one was found, checked and loaded.
    QString loadedLibrary() const;
    bool hasTranslations() const;

    // The font table and the translations applied to a window and every
    // control in it; its "<name>_Auto_Init" hook is called when it has one.
    void applyTo(QWidget *window) const;
    // Chooses a language: initialises, then applies it to every open window.
    // Answers the errors of the initialisation.
    QString choose(qint32 lcid);

private:
    struct Library;
    class Watcher;
    QString m_folder;
    QString m_executable;
    qint32 m_current = 0;
    QStringList m_available;
    std::unique_ptr<Library> m_library;
    std::unique_ptr<Watcher> m_watcher;
};

// The one state of this program run, beside the program's executable.
Languages &programLanguages();

// The text of a window's control in the current language: the English text it
// was built with, translated when a language library has it.
QString translated(const QString &english);

// A caption made of a text of the program's and a name (a server, a
// procedure): the text is shown in the current language and follows later
// changes of it; the name stays as it is.
void setComposedTitle(QWidget *window, const QString &english, const QString &name = QString(),
                      const QString &separator = QStringLiteral(" - "));


} // namespace korva::modLocalize
