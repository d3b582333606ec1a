#pragma once

#include "platform/registryaccess/registrytree.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace korva::regaccess {

// Reading and writing the text of a registry export. The tree's top key has
// no name; its children are the roots ("HKEY_LOCAL_MACHINE", ...).
struct RegFileParse
{
    RegistryKey top;
    int errorLine = 0; // 0 when the text parsed
    QString error;
};

// Accepts UTF-16 (with byte order mark), UTF-8 or single-byte text; the
// "Windows Registry Editor Version 5.00" and "REGEDIT4" headers; deletions
// are applied as they are read. Empty text is an empty registry. A key nested
// more than kMaxKeyDepth levels below its root is an error.
RegFileParse parseRegFile(const QByteArray &bytes);

// UTF-8 text in the export layout, values in stored order. Keys that are only
// the parents of others get no section of their own (see RegistryKey::ownSection),
// so that text read and written again comes out as it was.
QByteArray formatRegFile(const RegistryKey &top);

} // namespace korva::regaccess
