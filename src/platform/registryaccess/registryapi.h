#pragma once

#include "platform/error.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <functional>
#include <optional>

namespace korva::regaccess {
class RegistryKey;
}

// The program's registry routines. Every call opens the key it needs and lets
// go of it before returning. Only the local-machine root is kept (in the
// registry export file named by storeFilePath()); calls on other roots find
// nothing and write nothing. Key paths may hold doubled, leading or trailing
// "\" separators. Values come back as QString (REG_SZ), qint32 (REG_DWORD)
// or, for every other type, QByteArray holding the data as the registry
// holds it (UTF-16LE for expandable and multi-string texts).
namespace korva::RegistryAPI {

using HKEY = quintptr;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

inline constexpr int REG_SZ = 1;
inline constexpr int REG_EXPAND_SZ = 2;
inline constexpr int REG_BINARY = 3;
inline constexpr int REG_DWORD = 4;
inline constexpr int REG_MULTI_SZ = 7;

inline constexpr long kRegistryError = 1001;

bool KeyExists(HKEY root, const QString &keyPath);

// Creates the key and its missing parents; answers true when it already
// existed. Failure (among others, a key more than 512 levels deep, or the
// registry file locked by another process for longer than a moment): error
// 1001 "Unable to create the registry key".
bool CreateKey(HKEY root, const QString &keyPath, korva::Error *error = nullptr);

// typeCode REG_SZ, REG_BINARY or REG_DWORD; any other code on a key that
// exists gives error 1001 "Unsupported value type". A missing key or value,
// a value of another kind, or data longer than 4096 bytes (a text longer
// than 4095 characters) gives defaultValue.
QVariant GetValue(HKEY root, const QString &keyPath, const QString &valueName, int typeCode,
                  const QVariant &defaultValue, korva::Error *error = nullptr);

// Writes to an existing key only, and only for REG_SZ (value as text),
// REG_BINARY (as bytes) and REG_DWORD (a number from -2^31 to 2^32-1,
// rounded); anything else writes nothing. Failures are not reported.
void SetValue(HKEY root, const QString &keyPath, const QString &valueName, int typeCode, const QVariant &value);

// Creates the key as CreateKey does and writes the value (types as for
// SetValue) under the first of candidate(0) ... candidate(attempts - 1) that
// the key does not hold. The names are looked at under the registry file's
// lock, on the file as it is then, so that programs adding at the same moment
// each get a name of their own and none replaces another's value. Answers the
// name written, or nothing when every name was taken or nothing was written.
std::optional<QString> AddValue(HKEY root, const QString &keyPath, int typeCode, const QVariant &value,
                                const std::function<QString(int attempt)> &candidate, int attempts);

void DeleteValue(HKEY root, const QString &keyPath, const QString &valueName);

// Sub-key names in stored order; an empty path lists the root. nullopt when
// the key cannot be opened; one empty name when it has no sub-keys. The list
// ends before the first name longer than 259 characters.
std::optional<QStringList> EnumKeys(HKEY root, const QString &keyPath);

struct Entry
{
    QString name;
    QVariant value;
    int type = 0;
};

// Values in stored order, opened as for EnumKeys. A key without values gives
// one entry with an empty name, an invalid (empty) value and type 0. The list
// ends before the first value whose name or data does not fit the buffers of
// GetValue (259 characters, 4096 bytes).
std::optional<QList<Entry>> EnumValues(HKEY root, const QString &keyPath);

// What EnumKeys and EnumValues list for a key once it is open, with the same
// limits and empty answers; for keys read from elsewhere, such as an export.
QStringList listSubKeys(const regaccess::RegistryKey &key);
QList<Entry> listValues(const regaccess::RegistryKey &key);

// The file set by setStoreFile, else $KORVA_HKLM, else the per-user data
// folder's KORVA/HKLM.reg.
QString storeFilePath();
// Another machine's registry (an export taken on a server) in place of this
// one's; empty goes back to this machine's.
void setStoreFile(const QString &path);

// Why the registry file cannot be used (every call then finds nothing and
// writes nothing), or empty.
QString storeProblem();

} // namespace korva::RegistryAPI
