#pragma once

#include "core/BotTypes.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Collects status reports from any thread and lets a test wait for one.
class TReportRecorder {
public:
    struct TReport {
        Tobj Obj;
        TStatus Status;
        QString Mess;
        bool operator==(const TReport&) const = default;
    };

    TLogState Sink()
    {
        return [this](Tobj obj, TStatus status, QString mess) {
            {
                std::lock_guard lock(FLock);
                FReports.push_back({obj, status, mess});
            }
            FChanged.notify_all();
        };
    }

    std::vector<TReport> Reports() const
    {
        std::lock_guard lock(FLock);
        return FReports;
    }

    void Clear()
    {
        std::lock_guard lock(FLock);
        FReports.clear();
    }

    // Waits until `count` reports satisfy `match`; false on time-out.
    bool WaitFor(const std::function<bool(const TReport&)>& match, std::size_t count = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, timeout, [&] {
            std::size_t found = 0;
            for (const TReport& report : FReports)
                found += match(report) ? 1 : 0;
            return found >= count;
        });
    }

private:
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<TReport> FReports;
};
