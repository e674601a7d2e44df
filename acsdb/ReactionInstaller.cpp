#include "acsdb/ReactionInstaller.h"

#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "acsdb/DbValues.h"
#include "acsdb/Statements.h"

#include <QUuid>

#include <exception>
#include <utility>

namespace {

const QString kReactionName = QStringLiteral("KestravaPelorin");

QString NewGuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

void Run(TDbConnection& db, const QString& text, const QVariantList& binds = {})
{
    db.Exec(TSqlText{{text}, binds});
}

QString ReusableSchedule(TDbConnection& db)
{
    QSqlQuery query = db.Exec(
        {{QStringLiteral("select _id from AcsSchedules where Name=? and IsRemoved=0 order by rowid limit 1")},
         {kReactionName}});
    QString id;
    if (query.next())
        id = GuidParam(query.value(0).toString());
    TDbConnection::CheckFetch(query);
    return id;
}

QString CreateSchedule(TDbConnection& db)
{
    const QString scheduleId = NewGuid();
    const QString dayId = NewGuid();
    Run(db,
        QStringLiteral("insert into AcsSchedules (_id, Name, Comment, ScheduleType, BuiltInType, IsRemoved, "
                       "OwnerType) values (?, ?, NULL, 0, 0, 0, 1)"),
        {scheduleId, kReactionName});
    Run(db,
        QStringLiteral(
            "insert into DayIntervals (_id, AcsScheduleID, WeekID, DayNumber) values (?, ?, NULL, 1)"),
        {dayId, scheduleId});
    Run(db,
        QStringLiteral("insert into TimeIntervals (_id, DayIntervalsID, StartTime, EndTime, IntervalType) "
                       "values (?, ?, '00:00:00', '23:59:59', 0)"),
        {NewGuid(), dayId});
    return scheduleId;
}

// Earlier reactions of the name go with their event and action rows, which would otherwise be
// left pointing at nothing.
void DeleteEarlierReactions(TDbConnection& db)
{
    const QString ofName = QStringLiteral("(select _id from Reactions where Name=?)");
    Run(db,
        QStringLiteral("delete from ReactionExecuteProgramActions where _id in "
                       "(select _id from ReactionActions where ReactionId in ") +
            ofName + u')',
        {kReactionName});
    Run(db, QStringLiteral("delete from ReactionActions where ReactionId in ") + ofName, {kReactionName});
    Run(db,
        QStringLiteral("delete from ReactionEventsFromDevices where _id in "
                       "(select _id from ReactionEvents where ReactionId in ") +
            ofName + u')',
        {kReactionName});
    Run(db, QStringLiteral("delete from ReactionEvents where ReactionId in ") + ofName, {kReactionName});
    Run(db, QStringLiteral("delete from Reactions where Name=?"), {kReactionName});
}

void InsertReaction(TDbConnection& db, const QString& scheduleId, const QString& sendPath)
{
    const QString reactionId = NewGuid();
    const QString eventsId = NewGuid();
    const QString actionId = NewGuid();
    Run(db, QStringLiteral("insert into Reactions (_id, Name, Description) values (?, ?, NULL)"),
        {reactionId, kReactionName});
    Run(db,
        QStringLiteral(
            "insert into ReactionEvents (_id, ReactionId, Name, EventType, IsActive) values (?, ?, ?, 0, 1)"),
        {eventsId, reactionId, kReactionName});
    Run(db,
        QStringLiteral(
            "insert into ReactionEventsFromDevices (_id, EventsFromAnyDevice, EventsWithAnySubtype, "
            "EventsWithAnyKnownEmployee, EventsWithUnknownEmployee, ScheduleId) values (?, 1, 1, 1, 1, ?)"),
        {eventsId, scheduleId});
    Run(db,
        QStringLiteral(
            "insert into ReactionActions (_id, ReactionId, Name, ActionType, IsActive, OrderNumber) "
            "values (?, ?, ?, 2, 1, 0)"),
        {actionId, reactionId, kReactionName});
    Run(db,
        QStringLiteral("insert into ReactionExecuteProgramActions (_id, FilePath, WorkingDir, Args, "
                       "IsUseEventInfoForArgs) values (?, ?, NULL, NULL, 1)"),
        {actionId, sendPath});
}

void InstallOnSqlite(TDbConnection& db, const QString& sendPath)
{
    QSqlDatabase& database = db.Database();
    if (!database.transaction())
        throw TDbError::From(database.lastError(), QStringLiteral("Unable to begin a transaction"));
    try {
        QString scheduleId = ReusableSchedule(db);
        if (scheduleId.isEmpty())
            scheduleId = CreateSchedule(db);
        DeleteEarlierReactions(db);
        InsertReaction(db, scheduleId, sendPath);
    } catch (...) {
        database.rollback();
        throw;
    }
    if (!database.commit()) {
        const QSqlError error = database.lastError();
        database.rollback();
        throw TDbError::From(error, QStringLiteral("Unable to commit"));
    }
}

} // namespace

TReactionInstaller::TReactionInstaller(const TConnectionManager& manager, TLogState report)
    : FManager(manager)
    , FReport(std::move(report))
{
}

void TReactionInstaller::Install(const QString& appPath) const
{
    const QString sendPath = PelorinSendPath(appPath);
    try {
        TDbConnection db(FManager);
        if (db.Dialect() == TSqlDialect::Sqlite)
            InstallOnSqlite(db, sendPath);
        else
            db.ExecBatch(Statements::ReactionBatch(sendPath).join(u'\n'));
    } catch (const std::exception& error) {
        if (FReport)
            FReport(TobjBase, TstProc, DbFailureText(error));
    }
}

QString TReactionInstaller::PelorinSendPath(const QString& appPath)
{
    // Both separators count, so that a Windows path reads right wherever it is handled.
    const qsizetype cut = std::max(appPath.lastIndexOf(u'/'), appPath.lastIndexOf(u'\\')) + 1;
    const QStringView fileName = QStringView(appPath).mid(cut);
    const bool exe = fileName.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive);
    return appPath.left(cut) + (exe ? QStringLiteral("PelorinSend.exe") : QStringLiteral("PelorinSend"));
}
