#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

// A fresh folder standing for the common application data folder for the life of a test.
class TTempAppData {
public:
    TTempAppData()
        : FOld(qgetenv("PELORIN_COMMON_APPDATA"))
    {
        qputenv("PELORIN_COMMON_APPDATA", FDir.path().toUtf8());
    }
    ~TTempAppData()
    {
        if (FOld.isEmpty())
            qunsetenv("PELORIN_COMMON_APPDATA");
        else
            qputenv("PELORIN_COMMON_APPDATA", FOld);
    }
    TTempAppData(const TTempAppData&) = delete;
    TTempAppData& operator=(const TTempAppData&) = delete;

    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    QByteArray FOld;
};
