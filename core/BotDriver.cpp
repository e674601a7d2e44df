#include "core/BotDriver.h"

#include "core/Autorun.h"
#include "core/Paths.h"
#include "core/SettingsFile.h"
#include "intake/DatagramParser.h"
#include "intake/DispatchQueue.h"
#include "intake/UdpListener.h"
#include "messaging/MessFltrPass.h"

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

void TKvBotDriver::TgInit(const QString& /*token*/) {}

void TKvBotDriver::SmsRuInit(const QString& /*key*/) {}
