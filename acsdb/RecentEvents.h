#pragma once

#include "core/BotTypes.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class TConnectionManager;
class TDbConnection;

// The newest events of employees, read from the access-control database's event log for the
// bot's recent-events command. One object serves one command: its connection is opened by the
// first read and closed when the object ends, so use it on one thread only.
//
// Only events whose employee exists and whose device has a name are listed.
class TRecentEvents {
public:
    static constexpr int kCount = 5;

    // Failures are reported through `report` (TobjBase, TstProc, "<kind> <message>").
    TRecentEvents(const TConnectionManager& manager, TLogState report);
    ~TRecentEvents();

    TRecentEvents(const TRecentEvents&) = delete;
    TRecentEvents& operator=(const TRecentEvents&) = delete;

    // At most kCount events of the employee (an id with or without braces), newest first; empty
    // when there are none; nullopt after a failure, which has been reported.
    std::optional<std::vector<TMes>> Newest(const QString& EmployeeId);

private:
    const TConnectionManager& FManager;
    const TLogState FReport;
    std::unique_ptr<TDbConnection> FDb;
};
