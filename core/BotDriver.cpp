#include "core/BotDriver.h"

#include "acsdb/ConnectionManager.h"
#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "acsdb/Directory.h"
#include "acsdb/ReactionInstaller.h"
#include "acsdb/ServerConfig.h"
#include "acsdb/Statements.h"
#include "core/Autorun.h"
#include "core/Paths.h"
#include "core/SettingsFile.h"
#include "intake/DatagramParser.h"
#include "intake/DispatchQueue.h"
#include "intake/LogThread.h"
#include "intake/UdpListener.h"
#include "messaging/Dispatcher.h"
#include "messaging/MessFltrPass.h"
#include "sms/SmsRuClient.h"
#include "telegram/TgBot.h"
#include "telegram/TgCommands.h"
#include "telegram/TgLastMes.h"
#include "telegram/TgSubscriptions.h"

#include <QLocale>

#include <optional>
#include <utility>

TKvBotDriver::TKvBotDriver(const QString& AppPath, const TDriverOptions& options)
    : FAppPath(AppPath)
    , FOptions(options)
    , FDMan(std::make_unique<TConnectionManager>())
    , FDirectory(std::make_unique<TDirectory>(
          *FDMan, [this](Tobj obj, TStatus status, const QString& mess) { DoLogState(obj, status, mess); }))
    , FReactionInstaller(std::make_unique<TReactionInstaller>(
          *FDMan, [this](Tobj obj, TStatus status, const QString& mess) { DoLogState(obj, status, mess); }))
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
    JoinRetiredLogThreads();
    FUDPSrv.reset();
    // Events already received are still delivered while the channels are up; what the drain
    // limit leaves undelivered is said, not dropped in silence.
    if (FDispatchQueue) {
        const std::size_t undelivered = FDispatchQueue->Close(FOptions.DispatchDrainLimit);
        if (undelivered > 0)
            DoLogState(TobjServMes, TstProc,
                       QStringLiteral("Не доставлено событий при остановке: %1").arg(undelivered));
    }
    TgInit(QString());
    SmsRuInit(QString());
    FDispatchQueue.reset();
    FDMan->Close();
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
    // The flag follows the entry: when writing it fails, the error reaches the caller and the flag
    // keeps saying what is really there.
    if (value)
        Autorun::SetOn(FAppPath);
    else
        Autorun::SetOff();
    SetFlag(&TKvBotDriver::FAutoLoadOnWin, Autorun::IsOn());
}

TConf TKvBotDriver::Conf() const
{
    std::lock_guard lock(FPropsLock);
    return FConf;
}

quint16 TKvBotDriver::UdpPort() const { return FUDPSrv ? FUDPSrv->Port() : 0; }

// ---- settings file ----------------------------------------------------------------------------

// Fills the settings directly: nothing is started or stopped, whatever the file says.
void TKvBotDriver::LoadSettings()
{
    SetFlag(&TKvBotDriver::FAutoLoadOnWin, Autorun::IsOn());
    TConf conf = Conf();
    SettingsFile::Load(Paths::SettingsFilePath(), conf);
    std::lock_guard lock(FPropsLock);
    FConf = conf;
}

void TKvBotDriver::SaveSettings() { SettingsFile::Save(Paths::SettingsFilePath(), Conf()); }

bool TKvBotDriver::MessFltrPass(const QString& name, const TMes& mes) const
{
    return ::MessFltrPass(MessFltr(), name, mes);
}

// ---- database ---------------------------------------------------------------------------------

namespace {

const QString kNoServerCfg =
    QStringLiteral("Ошибка подключения к базе. Запустите программу на сервере Kestrava");
const QString kDbVersion = QStringLiteral("Версия базы: ");

} // namespace

bool TKvBotDriver::ServerCfgRead()
{
    const QString path = Paths::ServerConfigPath();
    const TServerConfigRead read = ReadServerConfig(path);
    if (read.Missing) {
        DoLogState(TobjBase, TStNone, kNoServerCfg);
        return false;
    }
    if (!read.Config) {
        DoLogState(TobjBase, TStNone,
                   kNoServerCfg + QStringLiteral(": ") + path + QStringLiteral(": ") + read.Error);
        return false;
    }
    std::lock_guard lock(FServerCfgLock);
    FServerCfg = std::make_unique<TServerConfig>(*read.Config);
    return true;
}

bool TKvBotDriver::BdConnect()
{
    std::optional<TServerConfig> config;
    {
        std::lock_guard lock(FServerCfgLock);
        if (FServerCfg)
            config = *FServerCfg;
    }
    if (!config)
        return false;
    FDMan->Close();
    FDMan->Define(TConnectionDef::FromServerConfig(*config));

    bool opened = false;
    try {
        TDbConnection db(*FDMan);
        QSqlQuery query = db.Exec(Statements::Version());
        opened = true;
        QString version;
        if (query.next())
            version = query.value(QStringLiteral("value")).toString();
        TDbConnection::CheckFetch(query);
        DoLogState(TobjBase, TstConNorm, kDbVersion + version);
    } catch (const TDbError& error) {
        DoLogState(TobjBase, TstConErr, error.Text());
    }
    return opened;
}

QStringList TKvBotDriver::FindPhones(const QString& Phone, const QString& CountryCode,
                                     const QString& CityCode, const QString& Number,
                                     const QString& Description) const
{
    return FDirectory->FindPhones(Phone, CountryCode, CityCode, Number, Description);
}

QStringList TKvBotDriver::GetEmpPhones(const QString& EmployeeId) const
{
    return FDirectory->GetEmpPhones(EmployeeId);
}

bool TKvBotDriver::SetPhoneDescription(const QString& PhoneId, const QString& Description) const
{
    return FDirectory->SetPhoneDescription(PhoneId, Description);
}

QByteArray TKvBotDriver::GetEmpPhoto(const QString& EmployeeId, int PhotoNumber) const
{
    return FDirectory->GetEmpPhoto(EmployeeId, PhotoNumber);
}

int TKvBotDriver::GetEmployee(const QString& EmployeeId, TUserData& UserData) const
{
    return FDirectory->GetEmployee(EmployeeId, UserData);
}

QStringList TKvBotDriver::KVGetDrivers() const { return FDirectory->KVGetDrivers(); }

QStringList TKvBotDriver::KVGetLogMsgSubtypes() const { return FDirectory->KVGetLogMsgSubtypes(); }

void TKvBotDriver::ReactionCreate() { FReactionInstaller->Install(FAppPath); }

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

void TKvBotDriver::DispatchMes(const TMes& Mes) { TDispatcher(*this).DispatchMes(Mes); }

bool TKvBotDriver::TgSendMes(const QString& chat, const QString& phone, const TMes& mes)
{
    return TDispatcher(*this).TgSendMes(chat, phone, mes);
}

bool TKvBotDriver::LogThreadActive() const
{
    std::lock_guard lock(FLogThreadLock);
    return FLogThread && !FLogThread->Finished();
}

bool TKvBotDriver::LogThreadStart()
{
    std::lock_guard lock(FLogThreadLock);
    // A driver that is being destroyed starts nothing that could outlive it.
    if (FDestroyed)
        return false;
    if (FLogThread && !FLogThread->Finished())
        return false;
    try {
        ReapFinishedLogThreads();
        FLogThread.reset();
        auto thread = std::make_unique<TLogThread>(
            *FDMan, [this](Tobj obj, TStatus status, const QString& mess) { DoLogState(obj, status, mess); },
            [this](const TMes& mes) { BdMes(mes); },
            TLogThreadTiming{FOptions.LogStartDelay, FOptions.LogPollPause});
        thread->Start();
        FLogThread = std::move(thread);
        return true;
    } catch (...) {
        return false;
    }
}

bool TKvBotDriver::LogThreadStop()
{
    std::unique_ptr<TLogThread> stopping;
    {
        std::lock_guard lock(FLogThreadLock);
        stopping = std::move(FLogThread);
    }
    if (!stopping)
        return true;
    stopping->RequestStop();
    if (stopping->WaitFinished(FOptions.LogStopWait)) {
        stopping->Join();
        return true;
    }
    // Still inside a query: it finishes on its own and is joined later, by Destroy at the latest.
    std::lock_guard lock(FLogThreadLock);
    FRetiredLogThreads.push_back(std::move(stopping));
    return true;
}

void TKvBotDriver::ReapFinishedLogThreads()
{
    // Called under FLogThreadLock; joining a thread that has ended does not wait.
    std::erase_if(FRetiredLogThreads,
                  [](const std::unique_ptr<TLogThread>& thread) { return thread->Finished(); });
}

void TKvBotDriver::JoinRetiredLogThreads()
{
    std::vector<std::unique_ptr<TLogThread>> joining;
    {
        std::lock_guard lock(FLogThreadLock);
        joining.swap(FRetiredLogThreads);
    }
    for (const auto& thread : joining)
        thread->Join();
}

void TKvBotDriver::BdMes(const TMes& Mes)
{
    if (LogBd()) {
        DoLogState(TobjLog, TstRecMes,
                   Mes.EmployeeFullName() + u' ' + Mes.DriverName + u' ' + Mes.Message + u' ' + Mes.Details);
    }
    if (AboveTemperatureLimit(Mes.TemperatureResult, BdTmpLimit()))
        EnqueueMes(Mes);
}

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

bool TKvBotDriver::TgRunning() const { return CurrentTgBot() != nullptr; }

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

void TKvBotDriver::TgSendHelp(qint64 ChatId) { TgSendText(ChatId, TTgCommands::HelpText(), false); }

void TKvBotDriver::TgSendMenu(qint64 ChatId) { TgSendHelp(ChatId); }

// Subscriptions live in the access-control database only; these handlers keep no state of their own.
void TKvBotDriver::TgRegUser(qint64 UserId) { TTgSubscriptions(*this).TgRegUser(UserId); }

void TKvBotDriver::TgUnregUser(qint64 UserId) { TTgSubscriptions(*this).TgUnregUser(UserId); }

void TKvBotDriver::TgLastMes(qint64 UserId) { TTgLastMes(*this).TgLastMes(UserId); }

void TKvBotDriver::TgOnContact(const TTgMessage& Message) { TTgSubscriptions(*this).TgOnContact(Message); }

namespace {

// The gateway's HTTP status text; when no response arrived at all, why not (a failure with an
// empty text would tell the operator nothing).
QString SmsFailureText(const TSmsRuClient::TReply& reply)
{
    return reply.HttpStatusText.isEmpty() ? reply.Failure : reply.HttpStatusText;
}

} // namespace

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
        DoLogState(TobjSmsru, TstConErr, SmsFailureText(reply));
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
        DoLogState(TobjSmsru, TstConErr, SmsFailureText(reply));
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
