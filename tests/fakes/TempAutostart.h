#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

// A fresh $XDG_CONFIG_HOME for the life of a test, so that autorun entries never touch the
// user's own session.
class TTempAutostart {
public:
    TTempAutostart()
        : FOld(qgetenv("XDG_CONFIG_HOME"))
        , FHadOld(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", FDir.path().toUtf8());
    }
    ~TTempAutostart()
    {
        if (FHadOld)
            qputenv("XDG_CONFIG_HOME", FOld);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    TTempAutostart(const TTempAutostart&) = delete;
    TTempAutostart& operator=(const TTempAutostart&) = delete;

    QString EntryPath() const { return FDir.path() + QStringLiteral("/autostart/KestravaPelorin.desktop"); }

private:
    QTemporaryDir FDir;
    QByteArray FOld;
    bool FHadOld;
};
