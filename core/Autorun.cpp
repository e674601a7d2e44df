#include "core/Autorun.h"

#include "core/AtomicFile.h"
#include "core/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Autorun {

namespace {

#ifdef _WIN32
constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"KestravaPelorin";

// The Run key, opened without creating it; closed when the holder goes.
class TRunKey {
public:
    explicit TRunKey(REGSAM access) { FStatus = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, access, &FKey); }
    ~TRunKey()
    {
        if (FStatus == ERROR_SUCCESS)
            RegCloseKey(FKey);
    }
    TRunKey(const TRunKey&) = delete;
    TRunKey& operator=(const TRunKey&) = delete;

    bool IsOpen() const { return FStatus == ERROR_SUCCESS; }
    LONG Status() const { return FStatus; }
    HKEY Handle() const { return FKey; }

private:
    HKEY FKey = nullptr;
    LONG FStatus = ERROR_INVALID_HANDLE;
};

[[noreturn]] void FailToWrite(LONG status)
{
    throw std::runtime_error(
        QStringLiteral("Cannot write the autorun value: error %1").arg(status).toStdString());
}
#endif

// Inside a quoted Exec argument '"', '`', '$' and '\' take a backslash, and '%' is written twice;
// the file's string escapes then write every backslash twice ("\\$" stands for a dollar sign).
QString QuotedExecArgument(const QString& path)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        switch (c.unicode()) {
        case u'"':
        case u'`':
        case u'$': quoted += QLatin1String("\\\\") + c; break;
        case u'\\': quoted += QLatin1String("\\\\\\\\"); break;
        case u'%': quoted += QLatin1String("%%"); break;
        case u'\n': quoted += QLatin1String("\\n"); break;
        case u'\r': quoted += QLatin1String("\\r"); break;
        case u'\t': quoted += QLatin1String("\\t"); break;
        default: quoted += c;
        }
    }
    quoted += u'"';
    return quoted;
}

} // namespace

QByteArray DesktopEntry(const QString& appPath)
{
    const QString entry =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=KestravaPelorin\n"
                       "Comment=Delivers access-control events as Telegram messages and SMS\n"
                       "Exec=%1\n"
                       "Terminal=false\n"
                       "X-GNOME-Autostart-enabled=true\n")
            .arg(QuotedExecArgument(appPath));
    return entry.toUtf8();
}

#ifdef _WIN32

bool IsOn()
{
    const TRunKey key(KEY_QUERY_VALUE);
    return key.IsOpen() &&
           RegQueryValueExW(key.Handle(), kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void SetOn(const QString& appPath)
{
    const TRunKey key(KEY_SET_VALUE);
    if (!key.IsOpen())
        FailToWrite(key.Status());
    const std::wstring data =
        (QLatin1Char('"') + QDir::toNativeSeparators(appPath) + QLatin1Char('"')).toStdWString();
    const LONG status =
        RegSetValueExW(key.Handle(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       DWORD((data.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        FailToWrite(status);
}

void SetOff()
{
    const TRunKey key(KEY_SET_VALUE);
    if (key.IsOpen())
        RegDeleteValueW(key.Handle(), kValueName);
}

#else

bool IsOn() { return QFileInfo::exists(Paths::AutostartFilePath()); }

void SetOn(const QString& appPath)
{
    const QString path = Paths::AutostartFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteFileAtomically(path, DesktopEntry(appPath), 0644);
}

void SetOff() { QFile::remove(Paths::AutostartFilePath()); }

#endif

} // namespace Autorun
