#pragma once

#include "core/BotTypes.h"

#include <QString>
#include <QStringList>

// KestravaPelorin without a window: the driver is created and initialised, the channels saved as
// on are started as the main window does, and every status report becomes one line on standard
// output until SIGINT or SIGTERM.
class THeadlessRunner {
public:
    struct TOptions {
        bool LogUdp = false;
        bool LogTg = false;
        bool LogBd = false;
        bool LogSmsRu = false;
    };

    // Returns the process exit code.
    static int Run(const QString& appPath, const TOptions& options);

    // "yyyy-MM-dd HH:mm:ss.zzz<TAB>Tobj<TAB>TStatus<TAB>text" with \\, \t, \r, \n escaped.
    static QString FormatReport(const QDateTime& at, Tobj obj, TStatus status, const QString& text);
};
