#include "ui/HeadlessRunner.h"

#include "core/BotDriver.h"

#include <QDateTime>

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#else
#include <condition_variable>
#include <windows.h>
#endif

namespace {

QString EscapeReportText(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': escaped += QLatin1String("\\\\"); break;
        case u'\t': escaped += QLatin1String("\\t"); break;
        case u'\r': escaped += QLatin1String("\\r"); break;
        case u'\n': escaped += QLatin1String("\\n"); break;
        default: escaped += c;
        }
    }
    return escaped;
}

void PrintError(const char* what)
{
    std::fprintf(stderr, "KestravaPelorin: %s\n", what);
    std::fflush(stderr);
}

#ifndef _WIN32
// Blocked in every thread (threads inherit the mask), so the main thread alone takes them.
sigset_t StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

void BlockStopSignals()
{
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForStopSignal()
{
    const sigset_t signals = StopSignals();
    int received = 0;
    while (sigwait(&signals, &received) != 0) {
    }
}
#else
std::mutex gStopLock;
std::condition_variable gStopSignalled;
bool gStopRequested = false;

BOOL WINAPI OnConsoleControl(DWORD)
{
    {
        std::lock_guard lock(gStopLock);
        gStopRequested = true;
    }
    gStopSignalled.notify_all();
    return TRUE;
}

void BlockStopSignals() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

void WaitForStopSignal()
{
    std::unique_lock lock(gStopLock);
    gStopSignalled.wait(lock, [] { return gStopRequested; });
}
#endif

} // namespace

QString THeadlessRunner::FormatReport(const QDateTime& at, Tobj obj, TStatus status, const QString& text)
{
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char('\t') + TobjName(obj) +
           QLatin1Char('\t') + TStatusName(status) + QLatin1Char('\t') + EscapeReportText(text);
}

int THeadlessRunner::Run(const QString& appPath, const TOptions& options)
{
    BlockStopSignals();

    auto printLock = std::make_shared<std::mutex>();
    const TLogState sink = [printLock](Tobj obj, TStatus status, QString text) {
        const QByteArray line = FormatReport(QDateTime::currentDateTime(), obj, status, text).toUtf8() + '\n';
        std::lock_guard lock(*printLock);
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    };

    std::unique_ptr<TKvBotDriver> driver;
    try {
        driver = std::make_unique<TKvBotDriver>(appPath);
        driver->SetLogUdp(options.LogUdp);
        driver->SetLogTg(options.LogTg);
        driver->SetLogBd(options.LogBd);
        driver->SetLogSmsRu(options.LogSmsRu);
        driver->SetLogState(sink);
        driver->Init();
        // Start the channels saved as on, as the main window does when it opens.
        if (driver->TgEn())
            driver->SetTgEn(true);
        if (driver->SmsRuEn())
            driver->SetSmsRuEn(true);
    } catch (const std::exception& error) {
        PrintError(error.what());
        return 1;
    }

    WaitForStopSignal();

    try {
        driver->Destroy();
    } catch (const std::exception& error) {
        PrintError(error.what());
        return 1;
    }
    return 0;
}
