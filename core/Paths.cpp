#include "core/Paths.h"

#include <QDir>
#include <QStandardPaths>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <shlobj.h>
#include <windows.h>
#endif

namespace Paths {

namespace {

QString EnvPath(const char* name) { return qEnvironmentVariable(name); }

QString HomeRelative(const char* envName, const char* fallback)
{
    const QString fromEnv = EnvPath(envName);
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

} // namespace

QString CommonAppDataDir()
{
    const QString overridden = EnvPath("PELORIN_COMMON_APPDATA");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
#ifdef Q_OS_WIN
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return QDir::fromNativeSeparators(QString::fromWCharArray(path));
    return QString();
#else
    return QDir::cleanPath(HomeRelative("XDG_DATA_HOME", ".local/share"));
#endif
}

QString SettingsDir() { return CommonAppDataDir() + QStringLiteral("/KestravaPelorin"); }

QString SettingsFilePath() { return SettingsDir() + QStringLiteral("/Config.kvf"); }

QString ServerConfigPath() { return CommonAppDataDir() + QStringLiteral("/Orlimont/Kestrava/server.config"); }

QString AutostartFilePath()
{
    return QDir::cleanPath(HomeRelative("XDG_CONFIG_HOME", ".config")) +
           QStringLiteral("/autostart/KestravaPelorin.desktop");
}

} // namespace Paths
