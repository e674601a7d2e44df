#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Sets an environment variable for the life of a test and puts the old value back.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const QString& value)
        : FName(name)
        , FHad(qEnvironmentVariableIsSet(name))
        , FOld(qgetenv(name))
    {
        qputenv(name, value.toUtf8());
    }
    ~TScopedEnv()
    {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};
