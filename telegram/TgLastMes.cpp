#include "telegram/TgLastMes.h"

#include "acsdb/RecentEvents.h"
#include "core/BotDriver.h"
#include "messaging/FormatMes.h"
#include "telegram/TgSubscriptions.h"

namespace {

const QString kNotSubscribed = QStringLiteral("Вы не подписаны на прием сообщений");
const QString kNoEvents = QStringLiteral("События не найдены");
const QString kArchived = QStringLiteral("Архив: ");

} // namespace

TTgLastMes::TTgLastMes(TKvBotDriver& driver)
    : FDriver(driver)
{
}

void TTgLastMes::TgLastMes(qint64 userId)
{
    const std::vector<TPhoneRow> rows = TTgSubscriptions(FDriver).SubscribedRows(userId);
    if (rows.empty()) {
        FDriver.TgSendText(userId, kNotSubscribed, false);
        FDriver.TgSendMenu(userId);
        return;
    }
    const QString templ = FDriver.TgMessFrm();
    TRecentEvents recent(FDriver.DMan(), [this](Tobj obj, TStatus status, const QString& mess) {
        FDriver.DoLogState(obj, status, mess);
    });
    // One answer per subscribed row, in the order of the rows: an employee subscribed through two
    // rows is listed twice.
    for (const TPhoneRow& row : rows) {
        const std::optional<std::vector<TMes>> events = recent.Newest(row.EmployeeId);
        if (!events)
            return; // reported; the rows after it are skipped
        if (events->empty())
            FDriver.TgSendText(userId, kNoEvents, false);
        for (const TMes& mes : *events)
            FDriver.TgSendText(userId, kArchived + FormatMes(mes, templ), false);
    }
}
