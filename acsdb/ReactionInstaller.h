#pragma once

#include "core/BotTypes.h"

#include <QString>

class TConnectionManager;

// Writes into the access-control database the reaction "KestravaPelorin", which makes the server
// run PelorinSend, with the event's data as arguments, for every event of any device. Installing
// again replaces the earlier reaction and reuses its schedule. On SQL Server this is the
// installation's own batch; on SQLite the same rows are written in one transaction.
class TReactionInstaller {
public:
    TReactionInstaller(const TConnectionManager& manager, TLogState report);

    // Reports a failure (TobjBase, TstProc, "<kind> <message>"); success is silent.
    void Install(const QString& appPath) const;

    // PelorinSend beside the running program: the file name KestravaPelorin[.exe] (any letter
    // case) becomes PelorinSend[.exe]; a program under another name still gets PelorinSend, with
    // .exe when its own name has it, so that the reaction never starts the notifier itself.
    static QString PelorinSendPath(const QString& appPath);

private:
    const TConnectionManager& FManager;
    const TLogState FReport;
};
