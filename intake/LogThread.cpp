#include "intake/LogThread.h"

#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "acsdb/DbValues.h"
#include "acsdb/Statements.h"

#include <QSqlQuery>

#include <cmath>
#include <exception>
#include <utility>

namespace {

const QString kStarted = QStringLiteral("Чтение событий запущено");
const QString kStopped = QStringLiteral("Чтение событий остановлено");

QString FailureText(const std::exception& error)
{
    if (const auto* db = dynamic_cast<const TDbError*>(&error))
        return db->Text();
    return QStringLiteral("Exception ") + QString::fromLocal8Bit(error.what());
}

std::int64_t ReadStartId(TDbConnection& db)
{
    QSqlQuery query = db.Exec(Statements::LogStartId());
    std::int64_t id = 0;
    if (query.next())
        id = query.value(0).toLongLong(); // an empty table gives NULL, read as 0
    TDbConnection::CheckFetch(query);
    return id;
}

} // namespace

QString StripBraces(const QString& text)
{
    QString stripped = text.mid(1);
    stripped.chop(1);
    return stripped;
}

bool AboveTemperatureLimit(std::int32_t tenths, double limitDegrees)
{
    const double threshold = limitDegrees * 10.0;
    return tenths > threshold || std::isnan(threshold);
}

TLogThread::TLogThread(const TConnectionManager& manager, TLogState logState, TlogMess logMess,
                       TLogThreadTiming timing)
    : FManager(manager)
    , FLogState(std::move(logState))
    , FLogMess(std::move(logMess))
    , FTiming(timing)
{
}

TLogThread::~TLogThread()
{
    RequestStop();
    Join();
}

void TLogThread::Start()
{
    FThread = std::thread([this] { Run(); });
}

void TLogThread::RequestStop()
{
    {
        std::lock_guard lock(FLock);
        FStop = true;
    }
    FChanged.notify_all();
}

bool TLogThread::StopRequested() const
{
    std::lock_guard lock(FLock);
    return FStop;
}

bool TLogThread::Finished() const
{
    std::lock_guard lock(FLock);
    return FFinished;
}

bool TLogThread::WaitFinished(std::chrono::milliseconds limit) const
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, limit, [this] { return FFinished; });
}

void TLogThread::Join()
{
    if (FThread.joinable())
        FThread.join();
}

bool TLogThread::Pause(std::chrono::milliseconds duration) const
{
    std::unique_lock lock(FLock);
    return !FChanged.wait_for(lock, duration, [this] { return FStop; });
}

void TLogThread::Report(const QString& text) const
{
    if (FLogState)
        FLogState(TobjLog, TstProc, text);
}

void TLogThread::Run()
{
    if (Pause(FTiming.StartDelay)) {
        // One connection for the thread's life; after a failure it connects afresh on next use.
        TDbConnection db(FManager);
        while (!StopRequested()) {
            std::int64_t lastId = 0;
            try {
                lastId = ReadStartId(db);
            } catch (const std::exception& error) {
                if (!StopRequested())
                    Report(FailureText(error));
                db.Drop();
                // Paced: a failure that comes back at once must not flood the log.
                Pause(FTiming.PollPause);
                continue;
            }
            if (!StopRequested())
                Report(kStarted);
            PollUntilStopped(db, lastId);
        }
    }
    Report(kStopped);
    {
        std::lock_guard lock(FLock);
        FFinished = true;
    }
    FChanged.notify_all();
}

void TLogThread::PollUntilStopped(TDbConnection& db, std::int64_t lastId)
{
    bool failureReported = false; // a failure of this run was reported and no poll has succeeded since
    while (!StopRequested()) {
        try {
            QSqlQuery query = db.Exec(Statements::LogRowsAfter(lastId));
            while (query.next()) {
                const TMes mes = RowToMes(query);
                if (!StopRequested() && FLogMess)
                    FLogMess(mes);
                // Only now: a row whose handling failed is read again at the next poll.
                lastId = query.value(0).toLongLong();
            }
            TDbConnection::CheckFetch(query);
            failureReported = false;
        } catch (const std::exception& error) {
            if (!failureReported && !StopRequested())
                Report(FailureText(error));
            failureReported = true;
            db.Drop();
        }
        Pause(FTiming.PollPause);
    }
}

TMes TLogThread::RowToMes(const QSqlQuery& row)
{
    TMes mes = LogRowToMes(row);
    mes.DriverId = StripBraces(mes.DriverId);
    mes.EmployeeId = StripBraces(mes.EmployeeId);
    mes.MessFromBase = true;
    return mes;
}
