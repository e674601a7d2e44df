#include "acsdb/ServerConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {

QString Located(const QXmlStreamReader& xml, const QString& what)
{
    return QStringLiteral("line %1, column %2: %3").arg(xml.lineNumber()).arg(xml.columnNumber()).arg(what);
}

// Stores the text of a child element of <config>; the first occurrence of each element counts.
void TakeElement(const QStringView name, const QString& text, TServerConfig& config, QStringList& seen)
{
    const QString key = name.toString();
    if (seen.contains(key))
        return;
    seen.append(key);
    if (name == u"SqlServerInstance")
        config.SqlServerInstance = text;
    else if (name == u"SqlServerLogin")
        config.SqlServerLogin = text;
    else if (name == u"SqlServerPassword")
        config.SqlServerPassword = text;
    else if (name == u"SqliteDatabase")
        config.SqliteDatabase = text.trimmed();
}

QString ResolveSqlitePath(const QString& configPath, const QString& sqlitePath)
{
    if (sqlitePath.isEmpty())
        return QString();
    const QDir configDir = QFileInfo(configPath).absoluteDir();
    return QDir::cleanPath(configDir.absoluteFilePath(sqlitePath));
}

} // namespace

TServerConfigRead ReadServerConfig(const QString& path)
{
    TServerConfigRead result;
    QFile file(path);
    if (!file.exists()) {
        result.Missing = true;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.Error = file.errorString();
        return result;
    }

    QXmlStreamReader xml(&file);
    TServerConfig config;
    QStringList seen;
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1 && (xml.name() != u"config" || !xml.namespaceUri().isEmpty())) {
                result.Error = Located(xml, QStringLiteral("the root element is <%1>, not <config>")
                                                .arg(xml.qualifiedName().toString()));
                return result;
            }
            if (depth == 2) {
                const QString name = xml.name().toString();
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth; // readElementText consumed the end element
                if (xml.hasError())
                    break;
                TakeElement(name, text, config, seen);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (xml.hasError()) {
        result.Error = Located(xml, xml.errorString());
        return result;
    }
    config.SqliteDatabase = ResolveSqlitePath(path, config.SqliteDatabase);
    result.Config = config;
    return result;
}
