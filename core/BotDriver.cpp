#include "core/BotDriver.h"

#include "intake/DatagramParser.h"
#include "intake/DispatchQueue.h"
#include "intake/UdpListener.h"
#include "sms/SmsRuClient.h"
#include "telegram/TgBot.h"
#include "telegram/TgCommands.h"

#include <QLocale>

#include <utility>

namespace {

// Pending events get this long to be delivered when the driver stops.
constexpr auto kDispatchDrainLimit = std::chrono::seconds(15);

} // namespace

TKvBotDriver::TKvBotDriver(const QString& AppPath, const TDriverOptions& options)
    : FAppPath(AppPath)
    , FOptions(options)
{
    // The settings record starts with its defaults (member initialisers), then the listener.
    FDispatchQueue = std::make_unique<TDispatchQueue>([this](const TMes& mes) { DispatchMes(mes); });
    FUDPSrv = std::make_unique<TUdpListener>(FOptions.UdpPort,
                                             [this](const QByteArray& datagram) { UdpRead(datagram); });
    const bool serverCfgFound = ServerCfgRead();
    LoadSettings();
    if (serverCfgFound && BdConnect() && BdEn())
        LogThreadStart();
}

TKvBotDriver::~TKvBotDriver()
{
    try {
        Destroy();
    } catch (...) {
        // The owner that wants to see a failed save calls Destroy itself.
    }
}

void TKvBotDriver::Init()
{
    LoadSettings();
    if (ServerCfgRead())
        BdConnect();
}

void TKvBotDriver::Destroy()
{
    if (FDestroyed.exchange(true))
        return;
    LogThreadStop();
    FUDPSrv.reset();
    // Events already received are still delivered while the channels are up.
    if (FDispatchQueue)
        FDispatchQueue->Close(kDispatchDrainLimit);
    TgInit(QString());
    SmsRuInit(QString());
    FDispatchQueue.reset();
    SaveSettings();
}

void TKvBotDriver::DoLogState(Tobj Obj, TStatus Status, const QString& Mess) const
{
    TLogState sink;
    {
        std::lock_guard lock(FLogStateLock);
        sink = FLogState;
    }
    if (sink)
        sink(Obj, Status, Mess);
}

// ---- properties -----------------------------------------------------------------------------

template <typename T>
T TKvBotDriver::ConfMember(T TConf::*member) const
{
    std::lock_guard lock(FPropsLock);
    return FConf.*member;
}

template <typename T>
void TKvBotDriver::SetConfMember(T TConf::*member, const T& value)
{
    std::lock_guard lock(FPropsLock);
    FConf.*member = value;
}

bool TKvBotDriver::Flag(const bool TKvBotDriver::*member) const
{
    std::lock_guard lock(FPropsLock);
    return this->*member;
}

void TKvBotDriver::SetFlag(bool TKvBotDriver::*member, bool value)
{
    std::lock_guard lock(FPropsLock);
    this->*member = value;
}

TLogState TKvBotDriver::LogState() const
{
    std::lock_guard lock(FLogStateLock);
    return FLogState;
}

void TKvBotDriver::SetLogState(TLogState value)
{
    std::lock_guard lock(FLogStateLock);
    FLogState = std::move(value);
}

QString TKvBotDriver::TgId() const { return ConfMember(&TConf::TgId); }
void TKvBotDriver::SetTgId(const QString& value) { SetConfMember(&TConf::TgId, value); }

bool TKvBotDriver::TgEn() const { return ConfMember(&TConf::TgEn); }
void TKvBotDriver::SetTgEn(bool value)
{
    SetConfMember(&TConf::TgEn, value);
    TgInit(value ? TgId() : QString());
}

bool TKvBotDriver::BdEn() const { return ConfMember(&TConf::BdEn); }
void TKvBotDriver::SetBdEn(bool value)
{
    SetConfMember(&TConf::BdEn, value);
    if (value)
        LogThreadStart();
    else
        LogThreadStop();
}

double TKvBotDriver::BdTmpLimit() const { return ConfMember(&TConf::BdTmpLimit); }
void TKvBotDriver::SetBdTmpLimit(double value) { SetConfMember(&TConf::BdTmpLimit, value); }

QString TKvBotDriver::TgMessFrm() const { return ConfMember(&TConf::TgMessFrm); }
void TKvBotDriver::SetTgMessFrm(const QString& value) { SetConfMember(&TConf::TgMessFrm, value); }

QString TKvBotDriver::SmsRuId() const { return ConfMember(&TConf::SmsRuId); }
void TKvBotDriver::SetSmsRuId(const QString& value) { SetConfMember(&TConf::SmsRuId, value); }

bool TKvBotDriver::SmsRuEn() const { return ConfMember(&TConf::SmsRuEn); }
void TKvBotDriver::SetSmsRuEn(bool value)
{
    SetConfMember(&TConf::SmsRuEn, value);
    SmsRuInit(value ? SmsRuId() : QString());
}

QString TKvBotDriver::SmsRuMessFrm() const { return ConfMember(&TConf::SmsRuMessFrm); }
void TKvBotDriver::SetSmsRuMessFrm(const QString& value) { SetConfMember(&TConf::SmsRuMessFrm, value); }

bool TKvBotDriver::TgOnlyAdd() const { return ConfMember(&TConf::TgOnlyAdd); }
void TKvBotDriver::SetTgOnlyAdd(bool value) { SetConfMember(&TConf::TgOnlyAdd, value); }

bool TKvBotDriver::SmsRuOnlyAdd() const { return ConfMember(&TConf::SmsRuOnlyAdd); }
void TKvBotDriver::SetSmsRuOnlyAdd(bool value) { SetConfMember(&TConf::SmsRuOnlyAdd, value); }

QString TKvBotDriver::TgAdd() const { return ConfMember(&TConf::TgAdd); }
void TKvBotDriver::SetTgAdd(const QString& value) { SetConfMember(&TConf::TgAdd, value); }

QString TKvBotDriver::SmsRuAdd() const { return ConfMember(&TConf::SmsRuAdd); }
void TKvBotDriver::SetSmsRuAdd(const QString& value) { SetConfMember(&TConf::SmsRuAdd, value); }

QString TKvBotDriver::MessFltr() const { return ConfMember(&TConf::MessFltr); }
void TKvBotDriver::SetMessFltr(const QString& value) { SetConfMember(&TConf::MessFltr, value); }

bool TKvBotDriver::LogUdp() const { return Flag(&TKvBotDriver::FLogUdp); }
void TKvBotDriver::SetLogUdp(bool value) { SetFlag(&TKvBotDriver::FLogUdp, value); }
bool TKvBotDriver::LogTg() const { return Flag(&TKvBotDriver::FLogTg); }
void TKvBotDriver::SetLogTg(bool value) { SetFlag(&TKvBotDriver::FLogTg, value); }
bool TKvBotDriver::LogBd() const { return Flag(&TKvBotDriver::FLogBd); }
void TKvBotDriver::SetLogBd(bool value) { SetFlag(&TKvBotDriver::FLogBd, value); }
bool TKvBotDriver::LogSmsRu() const { return Flag(&TKvBotDriver::FLogSmsRu); }
void TKvBotDriver::SetLogSmsRu(bool value) { SetFlag(&TKvBotDriver::FLogSmsRu, value); }
bool TKvBotDriver::TgGetIdEn() const { return Flag(&TKvBotDriver::FTgGetIdEn); }
void TKvBotDriver::SetTgGetIdEn(bool value) { SetFlag(&TKvBotDriver::FTgGetIdEn, value); }

bool TKvBotDriver::AutoLoadOnWin() const { return Flag(&TKvBotDriver::FAutoLoadOnWin); }
void TKvBotDriver::SetAutoLoadOnWin(bool value)
{
    // The autorun entry itself is written by the settings code.
    SetFlag(&TKvBotDriver::FAutoLoadOnWin, value);
}

TConf TKvBotDriver::Conf() const
{
    std::lock_guard lock(FPropsLock);
    return FConf;
}

quint16 TKvBotDriver::UdpPort() const { return FUDPSrv ? FUDPSrv->Port() : 0; }

// ---- settings file ----------------------------------------------------------------------------

void TKvBotDriver::LoadSettings() {}

void TKvBotDriver::SaveSettings() {}

// ---- database ---------------------------------------------------------------------------------

bool TKvBotDriver::ServerCfgRead() { return false; }

bool TKvBotDriver::BdConnect() { return false; }

// ---- event intake -----------------------------------------------------------------------------

void TKvBotDriver::UdpRead(const QByteArray& datagram)
{
    const QString text = QString::fromUtf8(datagram);
    if (LogUdp())
        DoLogState(TobjServMes, TstRecMes, text);
    std::optional<TMes> mes = ParseDatagram(text, QLocale::system());
    if (mes)
        EnqueueMes(std::move(*mes));
}

void TKvBotDriver::EnqueueMes(TMes mes)
{
    if (FDispatchQueue)
        FDispatchQueue->Enqueue(std::move(mes));
}

void TKvBotDriver::DispatchMes(const TMes& /*Mes*/) {}

bool TKvBotDriver::LogThreadActive() const { return false; }

bool TKvBotDriver::LogThreadStart() { return false; }

bool TKvBotDriver::LogThreadStop() { return true; }

// ---- channels ---------------------------------------------------------------------------------

namespace {

// A base address from the environment, or the public service; no trailing "/".
QString ServiceBaseUrl(const char* variable, const QString& fallback)
{
    QString url = qEnvironmentVariable(variable).trimmed();
    if (url.isEmpty())
        url = fallback;
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

} // namespace

std::shared_ptr<TTgBot> TKvBotDriver::CurrentTgBot() const
{
    std::lock_guard lock(FTgLock);
    return FTgBot;
}

bool TKvBotDriver::TgRunning() const
{
    return CurrentTgBot() != nullptr;
}

void TKvBotDriver::TgInit(const QString& token)
{
    std::lock_guard starting(FTgInitLock);
    if (const std::shared_ptr<TTgBot> running = CurrentTgBot()) {
        // Stopped while still current, so that the replies of a handler under way go out.
        running->Stop();
        std::lock_guard lock(FTgLock);
        FTgBot.reset();
    }
    if (token.isEmpty()) {
        DoLogState(TobjTg, TStNone, QStringLiteral("Tg Bot остановлен"));
        return;
    }

    TTgHooks hooks;
    hooks.Report = [this](Tobj obj, TStatus status, QString text) { DoLogState(obj, status, text); };
    hooks.LogTg = [this] { return LogTg(); };
    hooks.TgGetIdEn = [this] { return TgGetIdEn(); };
    hooks.RegUser = [this](qint64 userId) { TgRegUser(userId); };
    hooks.UnregUser = [this](qint64 userId) { TgUnregUser(userId); };
    hooks.LastMes = [this](qint64 userId) { TgLastMes(userId); };
    hooks.OnContact = [this](const TTgMessage& message) { TgOnContact(message); };
    TTgBot::TOptions options;
    options.PollInterval = FOptions.TgPollInterval;
    auto bot = std::make_shared<TTgBot>(
        ServiceBaseUrl("PELORIN_TELEGRAM_API_URL", QStringLiteral("https://api.telegram.org")), token,
        std::move(hooks), options);
    {
        std::lock_guard lock(FTgLock);
        FTgBot = bot;
    }
    // Reported before the worker starts, so that it always precedes the worker's own reports.
    DoLogState(TobjTg, TStNone, QStringLiteral("Tg Bot запущен"));
    bot->Start();
}

TTgReply TKvBotDriver::TgSendText(qint64 ChatId, const QString& Text, bool RemoveKeyboard)
{
    const std::shared_ptr<TTgBot> bot = CurrentTgBot();
    if (!bot)
        return TTgReply::NotSent(QStringLiteral("Tg Bot не запущен"));
    return bot->Api().SendText(ChatId, Text, RemoveKeyboard ? TTgKeyboard::Remove : TTgKeyboard::Keep);
}

TTgReply TKvBotDriver::TgSendContactRequest(qint64 ChatId, const QString& Text)
{
    const std::shared_ptr<TTgBot> bot = CurrentTgBot();
    if (!bot)
        return TTgReply::NotSent(QStringLiteral("Tg Bot не запущен"));
    return bot->Api().SendText(ChatId, Text, TTgKeyboard::RequestContact);
}

TTgReply TKvBotDriver::TgSendPhoto(qint64 ChatId, const QString& Caption, const QByteArray& Photo)
{
    const std::shared_ptr<TTgBot> bot = CurrentTgBot();
    if (!bot)
        return TTgReply::NotSent(QStringLiteral("Tg Bot не запущен"));
    return bot->Api().SendPhoto(ChatId, Caption, Photo);
}

void TKvBotDriver::TgSendHelp(qint64 ChatId)
{
    TgSendText(ChatId, TTgCommands::HelpText(), false);
}

void TKvBotDriver::TgSendMenu(qint64 ChatId)
{
    TgSendHelp(ChatId);
}

// Subscriptions live in the access-control database; until that road exists these commands
// answer nothing.
void TKvBotDriver::TgRegUser(qint64 /*UserId*/) {}

void TKvBotDriver::TgUnregUser(qint64 /*UserId*/) {}

void TKvBotDriver::TgLastMes(qint64 /*UserId*/) {}

void TKvBotDriver::TgOnContact(const TTgMessage& /*Message*/) {}

std::shared_ptr<TSmsRuClient> TKvBotDriver::CurrentSmsRuClient() const
{
    std::lock_guard lock(FSmsRuLock);
    return FSmsRuClient;
}

void TKvBotDriver::SmsRuInit(const QString& key)
{
    std::lock_guard initialising(FSmsRuInitLock);
    {
        std::lock_guard lock(FSmsRuLock);
        FSmsRuClient.reset();
    }
    if (key.isEmpty())
        return;
    auto client = std::make_shared<TSmsRuClient>(
        ServiceBaseUrl("PELORIN_SMS_API_URL", QStringLiteral("https://sms.ru")));
    {
        std::lock_guard lock(FSmsRuLock);
        FSmsRuClient = client;
    }
    const TSmsRuClient::TReply reply = client->Balance(key);
    if (reply.Failed)
        DoLogState(TobjSmsru, TstConErr, reply.HttpStatusText);
    else if (reply.Accepted())
        DoLogState(TobjSmsru, TstConNorm, QStringLiteral("Баланс: ") + reply.Record.Balance);
    else
        DoLogState(TobjSmsru, TstConErr, reply.Record.Status_text);
}

bool TKvBotDriver::SmsRuSend(const QString& phone, const QString& message)
{
    const std::shared_ptr<TSmsRuClient> client = CurrentSmsRuClient();
    if (!client) {
        DoLogState(TobjSmsru, TstConErr, QStringLiteral("SMS шлюз не подключен: не задан api_id"));
        return false;
    }
    const TSmsRuClient::TReply reply = client->Send(SmsRuId(), phone, message);
    if (reply.Failed) {
        DoLogState(TobjSmsru, TstConErr, reply.HttpStatusText);
        return false;
    }
    if (!reply.Accepted()) {
        DoLogState(TobjSmsru, TstConErr, reply.Record.Status_text);
        return false;
    }
    if (LogSmsRu())
        DoLogState(TobjSmsru, TstSendMes, phone + QStringLiteral(": ") + message);
    return true;
}
