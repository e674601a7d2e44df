#include "messaging/Dispatcher.h"

#include "core/BotDriver.h"
#include "core/TextItems.h"
#include "messaging/FormatMes.h"
#include "messaging/NameValueLines.h"

#include <limits>

namespace {

// A subscribed phone row's Description holds this marker followed by the subscriber's chat id.
const QString kSubscriptionMarker = QStringLiteral("TgBot");

struct TPhoneRow {
    QString Description;
    QString Number; // without its leading "+"
};

// "Description=Phone" lines of the employee's phone rows.
TPhoneRow PhoneRowOf(const QString& line)
{
    const std::optional<TNameValue> pair = SplitNameValue(line);
    if (!pair)
        return {line, QString()};
    return {pair->Name, WithoutLeadingPlus(pair->Value)};
}

// What to say when Telegram did not take a message: its own refusal, the network's failure, or
// that there is no bot to send with.
QString TelegramFailureText(const TTgReply& reply)
{
    if (reply.Responded)
        return QStringLiteral("ETgApiError ") + (reply.Description.isEmpty()
                                                     ? QStringLiteral("HTTP %1").arg(reply.HttpStatus)
                                                     : reply.Description);
    return QStringLiteral("ETgConnectionError ") + reply.Description;
}

int DigitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

} // namespace

std::optional<qint64> ParseChatId(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    }
    if (i >= n)
        return std::nullopt;
    // Accumulated as a magnitude so that the most negative id still fits.
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    for (; i < n; ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0 || magnitude > (limit - quint64(digit)) / quint64(base))
            return std::nullopt;
        magnitude = magnitude * quint64(base) + quint64(digit);
    }
    if (negative)
        return qint64(~magnitude + 1); // two's complement: also right for the most negative id
    return qint64(magnitude);
}

QString WithoutLeadingPlus(const QString& number) { return number.startsWith(u'+') ? number.mid(1) : number; }

TDispatcher::TDispatcher(TKvBotDriver& driver)
    : FDriver(driver)
{
}

void TDispatcher::DispatchMes(const TMes& mes) const
{
    // The phone rows are read for every event, whatever the channels say.
    const QStringList phones = FDriver.GetEmpPhones(mes.EmployeeId);
    const TConf conf = FDriver.Conf();
    if (conf.TgEn) {
        const QString text = FormatMes(mes, conf.TgMessFrm);
        SendTelegramToExtraChats(conf.TgAdd, mes, text);
        if (!conf.TgOnlyAdd)
            SendTelegramToSubscribers(phones, text);
    }
    if (conf.SmsRuEn)
        SendSms(conf, phones, mes);
}

bool TDispatcher::TgSendMes(const QString& chat, const QString& phone, const TMes& mes) const
{
    return SendTelegram(chat, phone, FormatMes(mes, FDriver.TgMessFrm()));
}

bool TDispatcher::SendTelegram(const QString& chat, const QString& phone, const QString& text) const
{
    const std::optional<qint64> chatId = ParseChatId(chat);
    if (!chatId || *chatId == 0)
        return false;
    const TTgReply reply = FDriver.TgSendText(*chatId, text, false);
    if (!reply.Ok) {
        FDriver.DoLogState(TobjTg, TstConErr, TelegramFailureText(reply));
        return false;
    }
    if (FDriver.LogTg())
        FDriver.DoLogState(TobjTg, TstSendMes,
                           QString::number(*chatId) + QStringLiteral(": (") + phone + QStringLiteral(") ") +
                               text);
    return true;
}

void TDispatcher::SendTelegramToExtraChats(const QString& tgAdd, const TMes& mes, const QString& text) const
{
    for (const QString& line : SplitSettingLines(tgAdd)) {
        const std::optional<TNameValue> pair = SplitNameValue(line);
        const QString filter = pair ? TrimControls(pair->Value) : QString();
        if (filter.isEmpty()) {
            QString chat = TrimControls(line);
            if (chat.endsWith(u'='))
                chat.chop(1);
            SendTelegram(chat, QString(), text);
        } else if (FDriver.MessFltrPass(filter, mes)) {
            SendTelegram(TrimControls(pair->Name), QString(), text);
        }
    }
}

void TDispatcher::SendTelegramToSubscribers(const QStringList& phones, const QString& text) const
{
    for (const QString& line : phones) {
        const TPhoneRow row = PhoneRowOf(line);
        if (row.Description.contains(kSubscriptionMarker))
            SendTelegram(row.Description.mid(kSubscriptionMarker.size()), row.Number, text);
    }
}

void TDispatcher::SendSms(const TConf& conf, const QStringList& phones, const TMes& mes) const
{
    const QString text = FormatMes(mes, conf.SmsRuMessFrm);
    for (const QString& line : SplitSettingLines(conf.SmsRuAdd))
        FDriver.SmsRuSend(WithoutLeadingPlus(TrimControls(line)), text);
    if (conf.SmsRuOnlyAdd)
        return;
    for (const QString& line : phones) {
        // The operator may switch SMS off while a long delivery runs.
        if (!FDriver.SmsRuEn())
            return;
        FDriver.SmsRuSend(PhoneRowOf(line).Number, text);
    }
}
