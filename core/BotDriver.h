#pragma once

#include "core/BotTypes.h"
#include "telegram/TgTypes.h"

#include <QByteArray>
#include <QString>

#include <QByteArray>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

class TConnectionManager;
class TDirectory;
class TDispatchQueue;
class TLogThread;
class TReactionInstaller;
class TSmsRuClient;
class TTgBot;
class TUdpListener;
struct TServerConfig;

// How a driver is placed in its surroundings. The program uses the defaults; tests choose a free
// port so that several drivers can live side by side.
struct TDriverOptions {
    quint16 UdpPort = 5014; // 0: any free port
    // Event log poller: wait before its first query, pause after every poll, and how long
    // LogThreadStop waits for it before leaving it to finish on its own.
    std::chrono::milliseconds LogStartDelay{8000};
    std::chrono::milliseconds LogPollPause{3000};
    std::chrono::milliseconds LogStopWait{1000};
    // Pause between two getUpdates of the bot.
    std::chrono::milliseconds TgPollInterval{1000};
    // How long events already received may still take to be delivered when the driver stops.
    std::chrono::milliseconds DispatchDrainLimit{15000};
};

// The one object that owns every runtime part of KestravaPelorin: the settings, the database
// connection, the datagram listener and its dispatch queue, the event log poller, the Telegram bot
// and the SMS gateway client. Every outcome and error is reported through DoLogState.
//
// Threads: properties may be read and written from any thread; each access takes FPropsLock and
// readers get copies. DoLogState calls the owner's sink on the reporting thread.
class TKvBotDriver {
public:
    // Create: throws std::runtime_error when the datagram listener cannot be opened or the settings
    // file cannot be loaded (an unreadable server configuration is reported, not thrown). A driver whose
    // construction failed never writes the settings file.
    explicit TKvBotDriver(const QString& AppPath, const TDriverOptions& options = {});
    ~TKvBotDriver(); // runs Destroy when the owner has not, swallowing its errors

    TKvBotDriver(const TKvBotDriver&) = delete;
    TKvBotDriver& operator=(const TKvBotDriver&) = delete;

    void Init();
    // Ordered teardown, then the settings are saved; a save error is thrown after everything
    // else has stopped. Safe to call more than once; only the first call does anything.
    void Destroy();

    void DoLogState(Tobj Obj, TStatus Status, const QString& Mess) const;

    // ---- properties -------------------------------------------------------------------------
    TLogState LogState() const;
    void SetLogState(TLogState value);

    QString TgId() const;
    void SetTgId(const QString& value);
    bool TgEn() const;
    void SetTgEn(bool value);
    bool BdEn() const;
    void SetBdEn(bool value);
    double BdTmpLimit() const;
    void SetBdTmpLimit(double value);
    QString TgMessFrm() const;
    void SetTgMessFrm(const QString& value);
    QString SmsRuId() const;
    void SetSmsRuId(const QString& value);
    bool SmsRuEn() const;
    void SetSmsRuEn(bool value);
    QString SmsRuMessFrm() const;
    void SetSmsRuMessFrm(const QString& value);
    bool TgOnlyAdd() const;
    void SetTgOnlyAdd(bool value);
    bool SmsRuOnlyAdd() const;
    void SetSmsRuOnlyAdd(bool value);
    QString TgAdd() const;
    void SetTgAdd(const QString& value);
    QString SmsRuAdd() const;
    void SetSmsRuAdd(const QString& value);
    QString MessFltr() const;
    void SetMessFltr(const QString& value);

    bool LogUdp() const;
    void SetLogUdp(bool value);
    bool LogTg() const;
    void SetLogTg(bool value);
    bool LogBd() const;
    void SetLogBd(bool value);
    bool LogSmsRu() const;
    void SetLogSmsRu(bool value);
    bool TgGetIdEn() const;
    void SetTgGetIdEn(bool value);

    bool AutoLoadOnWin() const;
    void SetAutoLoadOnWin(bool value);

    // One consistent copy of every persisted setting, for work that reads several at once.
    TConf Conf() const;
    QString AppPath() const { return FAppPath; }
    quint16 UdpPort() const; // the port the listener is bound to

    // ---- settings file ----------------------------------------------------------------------
    // Both throw std::runtime_error: a file that cannot be read or holds a single non-object value,
    // a file that cannot be written (the old file is then kept).
    void LoadSettings();
    void SaveSettings();

    // Whether the event passes the named filter of MessFltr.
    bool MessFltrPass(const QString& name, const TMes& mes) const;

    // ---- database -----------------------------------------------------------------------------
    // Reads server.config; a missing or unreadable file is reported (TobjBase, TStNone) and gives
    // false, and a configuration read earlier stays.
    bool ServerCfgRead();
    // (Re)defines the connection "KV" from the configuration read and reports the database
    // version; false when the version query could not run (reported as TstConErr).
    bool BdConnect();

    // Directory operations; any thread. Failures are reported (TobjBase, TstProc) and give an
    // empty result. GUIDs in results read "{UPPER-CASE}".
    QStringList FindPhones(const QString& Phone, const QString& CountryCode, const QString& CityCode,
                           const QString& Number, const QString& Description) const; // EmpId=PhoneId
    QStringList GetEmpPhones(const QString& EmployeeId) const;                       // Description=Phone
    bool SetPhoneDescription(const QString& PhoneId, const QString& Description) const;
    QByteArray GetEmpPhoto(const QString& EmployeeId, int PhotoNumber) const;
    int GetEmployee(const QString& EmployeeId, TUserData& UserData) const; // rows found, -1 not queried
    QStringList KVGetDrivers() const;                                      // id=name
    QStringList KVGetLogMsgSubtypes() const;                               // Id=Name
    // Installs the reaction that runs PelorinSend for every event; failures are reported.
    void ReactionCreate();
    // The holder of the definition "KV": open a connection of your own on your thread with
    // TDbConnection db(driver.DMan()) (acsdb/DbConnection.h).
    const TConnectionManager& DMan() const { return *FDMan; }

    // ---- event intake -------------------------------------------------------------------------
    // Handler of one received datagram, on a receiving thread: decode, report, parse, enqueue.
    void UdpRead(const QByteArray& datagram);
    // Puts an event on the dispatch queue; DispatchMes runs on the dispatch thread in order.
    void EnqueueMes(TMes mes);
    // Delivers one event to every recipient of both channels, on the calling thread.
    void DispatchMes(const TMes& Mes);
    // One Telegram message with the event to the chat written as text (the phone goes into the
    // report only); false for an invalid or zero chat id and for a failed send (reported).
    bool TgSendMes(const QString& chat, const QString& phone, const TMes& mes);

    // Event log poller. Stop waits LogStopWait for the thread; one still busy with a query is
    // left to finish and joined at the latest by Destroy, so no poller outlives the driver.
    bool LogThreadActive() const;
    bool LogThreadStart();
    bool LogThreadStop();
    // Event callback of the poller, on its thread: reported when LogBd is on, queued for
    // dispatch when its temperature is above BdTmpLimit (or the limit is not a number).
    void BdMes(const TMes& Mes);

    // ---- channels -----------------------------------------------------------------------------
    // Stops a running bot (waiting for its poll or handler under way), then starts one for the
    // token; an empty token only stops and reports "Tg Bot остановлен". The Bot API base address
    // is read from PELORIN_TELEGRAM_API_URL at each start.
    void TgInit(const QString& token);
    bool TgRunning() const;
    // The sends of the bot's replies and of event delivery, on the calling thread, returning
    // what Telegram answered (TTgReply::NotSent when the bot is not running). A text too long
    // for one message goes out in several; a 429 is waited out once (at most 60 s, not past a
    // stop). No status report is made here: the caller reports.
    TTgReply TgSendText(qint64 ChatId, const QString& Text, bool RemoveKeyboard);
    // A text with the registration keyboard: one button that shares the user's own contact.
    TTgReply TgSendContactRequest(qint64 ChatId, const QString& Text);
    TTgReply TgSendPhoto(qint64 ChatId, const QString& Caption, const QByteArray& Photo);
    void TgSendHelp(qint64 ChatId);
    void TgSendMenu(qint64 ChatId);
    // The bot's commands that work on subscriptions, on the poller's thread.
    void TgRegUser(qint64 UserId);
    void TgUnregUser(qint64 UserId);
    void TgLastMes(qint64 UserId);
    void TgOnContact(const TTgMessage& Message);

    // Releases the gateway client; a non-empty key builds a new one (base address from
    // PELORIN_SMS_API_URL) and reports the balance or the refusal.
    void SmsRuInit(const QString& key);
    // One SMS with the current SmsRuId as the account key; true when the gateway accepted it.
    // Failures are reported (TstConErr), a sent SMS only when LogSmsRu is on.
    bool SmsRuSend(const QString& phone, const QString& message);

private:
    template <typename T>
    T ConfMember(T TConf::*member) const;
    template <typename T>
    void SetConfMember(T TConf::*member, const T& value);
    bool Flag(const bool TKvBotDriver::*member) const;
    void SetFlag(bool TKvBotDriver::*member, bool value);

    const QString FAppPath;
    const TDriverOptions FOptions;

    mutable std::mutex FPropsLock; // guards every member below up to FAutoLoadOnWin
    TConf FConf;
    bool FLogUdp = false;
    bool FLogTg = false;
    bool FLogBd = false;
    bool FLogSmsRu = false;
    bool FTgGetIdEn = false;
    bool FAutoLoadOnWin = false;

    mutable std::mutex FLogStateLock;
    TLogState FLogState;

    std::atomic<bool> FDestroyed{false};

    // Channels. Held by shared ownership and swapped under their lock: a sender takes its own
    // reference for the duration of a send, so a stop never destroys a client in use.
    std::shared_ptr<TTgBot> CurrentTgBot() const;
    std::shared_ptr<TSmsRuClient> CurrentSmsRuClient() const;
    std::mutex FTgInitLock; // one start or stop of the bot at a time
    mutable std::mutex FTgLock;
    std::shared_ptr<TTgBot> FTgBot;
    std::mutex FSmsRuInitLock; // one SmsRuInit at a time
    mutable std::mutex FSmsRuLock;
    std::shared_ptr<TSmsRuClient> FSmsRuClient;

    // Owned parts in dependency order: later members use earlier ones and are destroyed first.
    std::unique_ptr<TDispatchQueue> FDispatchQueue;
    std::unique_ptr<TUdpListener> FUDPSrv;

    // ---- database
    const std::unique_ptr<TConnectionManager> FDMan;
    const std::unique_ptr<TDirectory> FDirectory;
    const std::unique_ptr<TReactionInstaller> FReactionInstaller;
    mutable std::mutex FServerCfgLock;
    std::unique_ptr<TServerConfig> FServerCfg; // empty until a configuration was read

    // ---- event intake: the poller uses the database and the dispatch queue above
    void ReapFinishedLogThreads();
    void JoinRetiredLogThreads();
    mutable std::mutex FLogThreadLock;
    std::unique_ptr<TLogThread> FLogThread;
    std::vector<std::unique_ptr<TLogThread>> FRetiredLogThreads; // stopped, still finishing
};
