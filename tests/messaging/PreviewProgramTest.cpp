#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun RunProgram(const QStringList& arguments, const QString& language)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), language);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(PELORIN_BIN_DIR "/KestravaPelorin"), arguments);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

struct TPreviewCase {
    const char* Why;
    QStringList Arguments;
    QString Language;
    int ExitCode;
    QString Out;         // exact standard output
    QString ErrContains; // a part of standard error
};

TEST(PreviewProgram, FormatsTheSampleEvent)
{
    const QString ru = QStringLiteral("ru_RU.UTF-8");
    const std::vector<TPreviewCase> cases{
        {"default template",
         {u"--preview"_s, u""_s},
         ru,
         0,
         u"13.30 Иван Вход через Турникет 14/11\nSMS: 1 part, UCS-2, 36 characters\n"_s,
         {}},
        {"English regional settings",
         {u"--preview"_s, u"$Dd&ddddd$Ww& $Th&t$Ww& $Wt&"_s},
         u"en_US.UTF-8"_s,
         0,
         u"11/14/24 1:30 PM 37.2 \nSMS: 1 part, GSM-7, 22 characters\n"_s,
         {}},
        {"fields of the event text over the sample",
         {u"--preview"_s, u"$Ln&$Fn&$Mn&$Dn&$Wt&$Dd&dd/mm/yy hh:nn"_s, u"--event"_s,
          u"EmployeeFullName:Петров Пётр, Message:Выход, DateTime:01.02.2023 08:05"_s},
         ru,
         0,
         u"Петров Пётр Выход Турникет 37,2 01.02.23 08:05\nSMS: 1 part, UCS-2, 46 characters\n"_s,
         {}},
        {"DateTime that does not convert",
         {u"--preview"_s, u"$Fn&"_s, u"--event"_s, u"DateTime:32.13.2024"_s},
         ru,
         2,
         {},
         u"DateTime"_s},
        {"IsKeyEvent that does not convert",
         {u"--preview"_s, u"$Fn&"_s, u"--event"_s, u"IsKeyEvent:maybe"_s},
         ru,
         2,
         {},
         u"IsKeyEvent"_s},
        {"event without preview", {u"--event"_s, u"Message:x"_s}, ru, 2, {}, u"--event"_s},
        {"preview without template", {u"--preview"_s}, ru, 2, {}, u"--preview"_s},
    };
    for (const TPreviewCase& c : cases) {
        const TRun run = RunProgram(c.Arguments, c.Language);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Why << "\n" << run.Err.toStdString();
        EXPECT_EQ(run.Out, c.Out) << c.Why;
        EXPECT_TRUE(run.Err.contains(c.ErrContains)) << c.Why << ": " << run.Err.toStdString();
    }
}

} // namespace
