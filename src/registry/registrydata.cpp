#include "registry/registrydata.h"

#include "registry/registrysource.h"

namespace korva::registryview {

namespace {

// What the registry answers for a key that is not there.
constexpr long kKeyNotFound = 2;

} // namespace

KeyTree listKeyTree(const RegistrySource &source)
{
    KeyTree tree;
    struct Step
    {
        QString path; // relative: "" or "\A\B"
        QStringList subKeys;
        qsizetype next = 0;
    };
    auto open = [&](const QString &relative) {
        Step step{relative, {}};
        // Passed on as composed, doubled separator and all; the registry reads it as one.
        const std::optional<QStringList> keys = source.EnumKeys(kSettingsFolder + relative);
        if (!keys) {
            const QString problem = source.problem();
            tree.failures << Error{kKeyNotFound,
                                   !problem.isEmpty()
                                       ? problem
                                       : QStringLiteral("Unable to open the registry key HKEY_LOCAL_MACHINE\\")
                                             + kSettingsFolder + relative.mid(1)};
        } else {
            // An empty name would stand for the key itself and be walked for ever.
            for (const QString &name : *keys)
                if (!name.isEmpty())
                    step.subKeys << name;
        }
        if (step.subKeys.isEmpty() && !relative.isEmpty())
            tree.leafPaths << relative;
        return step;
    };
    QList<Step> path{open(QString())};
    while (!path.isEmpty()) {
        Step &step = path.last();
        if (step.next == step.subKeys.size()) {
            path.removeLast();
            continue;
        }
        const QString child = step.path + u'\\' + step.subKeys.at(step.next++);
        path.append(open(child));
    }
    return tree;
}

QStringList keyComponents(const QString &relativePath) { return relativePath.split(u'\\', Qt::SkipEmptyParts); }

QString keyPathOfNode(const QString &nodeKey)
{
    const QString path = kSettingsFolder + nodeKey;
    return path.endsWith(u'\\') ? path : path + u'\\';
}

QString valueText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::Int:
        return QString::number(value.toInt());
    case QMetaType::QByteArray: {
        static constexpr char digits[] = "0123456789ABCDEF";
        const QByteArray bytes = value.toByteArray();
        QString text;
        text.reserve(bytes.size() * 3);
        for (const char c : bytes) {
            const auto b = uchar(c);
            text += QLatin1Char(digits[b >> 4]);
            text += QLatin1Char(digits[b & 0xF]);
            text += u' ';
        }
        return text;
    }
    default:
        return value.toString();
    }
}

QString fullKeyPath(const QString &path, const QString &valueName)
{
    return QStringLiteral("HKLM\\") + path + valueName;
}

QString lowerCasedDescriptions(const QString &text)
{
    QString lower = text.toLower();
    lower.replace(QStringLiteral("<![cdata["), QStringLiteral("<![CDATA["));
    lower.replace(QStringLiteral("<!doctype"), QStringLiteral("<!DOCTYPE"));
    return lower;
}

bool loadDescriptions(const QByteArray &bytes, xml::Document *doc)
{
    return doc->loadFromText(lowerCasedDescriptions(xml::decodeDocument(bytes)));
}

QString valueDescription(const xml::Document &doc, const QString &name, const QString &path)
{
    QStringList components = path.split(u'\\');
    if (!components.isEmpty() && components.last().isEmpty())
        components.removeLast();
    QString expression = QStringLiteral("regkeys");
    for (const QString &component : std::as_const(components))
        expression += QStringLiteral("/regkey[@name=") + xml::literal(component.toLower()) + u']';
    expression += QStringLiteral("/regval[@name=") + xml::literal(name.toLower()) + u']';
    const xml::Node node = doc.isLoaded() ? doc.selectSingleNode(expression) : xml::Node();
    return QStringLiteral("Name: ") + name + QStringLiteral("\r\nType: ") + node.attributeText(QStringLiteral("type"))
           + QStringLiteral("\r\nDefault: ") + node.attributeText(QStringLiteral("default"))
           + QStringLiteral("\r\nDescription: ") + node.text();
}

} // namespace korva::registryview
