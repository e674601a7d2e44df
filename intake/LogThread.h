#pragma once

#include "core/BotTypes.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class QSqlQuery;
class TConnectionManager;
class TDbConnection;

// How long the poller waits. The program uses the defaults; tests shorten them.
struct TLogThreadTiming {
    std::chrono::milliseconds StartDelay{8000}; // before the first query
    std::chrono::milliseconds PollPause{3000};  // after every poll, and after a failed start query
};

// Watches the access-control database's event table for new rows and hands each one, as a TMes,
// to the event callback; reports its start, its stop and its failures through the status
// callback. Only rows added after it started are handled, oldest first.
//
// Threads: the routine runs on a thread of its own, which also calls both callbacks. A stop
// request ends every wait at once; the routine then finishes the query it may be running, makes
// its final report and ends. The destructor requests the stop and joins, so once it has returned
// no callback runs any more.
class TLogThread {
public:
    TLogThread(const TConnectionManager& manager, TLogState logState, TlogMess logMess,
               TLogThreadTiming timing);
    ~TLogThread();

    TLogThread(const TLogThread&) = delete;
    TLogThread& operator=(const TLogThread&) = delete;

    void Start();
    void RequestStop();
    bool StopRequested() const;
    // True once the routine has ended (after its final report).
    bool Finished() const;
    // Waits at most `limit` for the routine to end; true when it has.
    bool WaitFinished(std::chrono::milliseconds limit) const;
    void Join();

    // One log row as an event (columns in the order of the poll statement).
    static TMes RowToMes(const QSqlQuery& row);

private:
    void Run();
    void PollUntilStopped(TDbConnection& db, std::int64_t lastId);
    // Sleeps unless a stop is requested meanwhile; false when it was.
    bool Pause(std::chrono::milliseconds duration) const;
    void Report(const QString& text) const;

    const TConnectionManager& FManager;
    const TLogState FLogState;
    const TlogMess FLogMess;
    const TLogThreadTiming FTiming;

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    bool FStop = false;
    bool FFinished = false;
    std::thread FThread;
};

// Removes the first and then the last character: "{ABC}" gives "ABC", one character gives "".
QString StripBraces(const QString& text);

// Whether a measured temperature (tenths of a degree) is above a limit in degrees. A limit that is
// not a number lets every temperature through.
bool AboveTemperatureLimit(std::int32_t tenths, double limitDegrees);
