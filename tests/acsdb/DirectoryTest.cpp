#include "acsdb/Directory.h"
#include "acsdb/ConnectionManager.h"
#include "core/BotDriver.h"

#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/ReportRecorder.h"

#include <QSqlDatabase>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace {

using TReport = TReportRecorder::TReport;

QString Employee(int n) { return QStringLiteral("E000000%1-0000-4000-8000-00000000000%1").arg(n); }
QString Phone(int n) { return QStringLiteral("F000000%1-0000-4000-8000-00000000000%1").arg(n); }
QString Device(int n) { return QStringLiteral("D000000%1-0000-4000-8000-00000000000%1").arg(n); }
QString Braced(const QString& id) { return u'{' + id + u'}'; }

QStringList Sorted(QStringList lines)
{
    lines.sort();
    return lines;
}

// The directory of a fresh demo installation, and the reports it makes.
class DirectoryTest : public ::testing::Test {
protected:
    DirectoryTest() { FManager.Define(TConnectionDef::Sqlite(FDemo.DatabasePath())); }

    std::vector<TReport> Reports() const { return FRecorder.Reports(); }

    TDemoInstallation FDemo;
    TConnectionManager FManager;
    TReportRecorder FRecorder;
    TDirectory FDirectory{FManager, FRecorder.Sink()};
};

TEST_F(DirectoryTest, FindPhonesMatchesPhoneOrPartsOfEmployeesNotRemoved)
{
    const struct {
        const char* Name;
        QString Phone, CountryCode, CityCode, Number, Description;
        QStringList Found;
    } cases[] = {
        {"whole number",
         QStringLiteral("77027654321"),
         {},
         {},
         {},
         {},
         {Braced(Employee(2)) + u'=' + Braced(Phone(2))}},
        {"whole number stored with +",
         QStringLiteral("+77011234567"),
         {},
         {},
         {},
         {},
         {Braced(Employee(1)) + u'=' + Braced(Phone(1))}},
        {"without the stored +", QStringLiteral("77011234567"), {}, {}, {}, {}, {}},
        {"phone wins over the rest",
         QStringLiteral("77027654321"),
         QStringLiteral("9"),
         {},
         {},
         QStringLiteral("nothing"),
         {Braced(Employee(2)) + u'=' + Braced(Phone(2))}},
        {"country and city",
         {},
         QStringLiteral("7"),
         QStringLiteral("705"),
         {},
         {},
         {Braced(Employee(3)) + u'=' + Braced(Phone(3))}},
        {"description, removed employee left out",
         {},
         {},
         {},
         {},
         QStringLiteral("мобильный"),
         {Braced(Employee(1)) + u'=' + Braced(Phone(1))}},
        {"description with a single quote",
         {},
         {},
         {},
         {},
         QStringLiteral("кабинет 'А'"),
         {Braced(Employee(3)) + u'=' + Braced(Phone(3))}},
        {"quote that would end a literal", {}, {}, {}, {}, QStringLiteral("x' or '1'='1"), {}},
        {"number of a removed employee", {}, {}, {}, QStringLiteral("0000000"), {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FDirectory.FindPhones(c.Phone, c.CountryCode, c.CityCode, c.Number, c.Description), c.Found)
            << c.Name;
    }
    EXPECT_TRUE(Reports().empty());
}

TEST_F(DirectoryTest, GetEmpPhonesGivesDescriptionAndWholeNumber)
{
    // A number part that is NULL counts as empty, as CONCAT on SQL Server reads it.
    FDemo.Exec(QStringLiteral("insert into PhoneNumbers values (?, ?, '7', NULL, '1112233', 'без кода')"),
               {Phone(7), Employee(4)});
    const struct {
        QString EmployeeId;
        QStringList Lines;
    } cases[] = {
        {Braced(Employee(1)), {QStringLiteral("мобильный=+77011234567")}},
        {Braced(Employee(1)).toLower(), {QStringLiteral("мобильный=+77011234567")}},
        {Employee(2), {QStringLiteral("=77027654321")}}, // empty description: the line begins with "="
        {Braced(Employee(3)), {QStringLiteral("=+77272223344"), QStringLiteral("кабинет 'А'=77055550001")}},
        {Braced(Employee(4)), {QStringLiteral("без кода=71112233"), QStringLiteral("личный=77079990011")}},
        {Braced(Employee(5)), {}}, // removed
        {QStringLiteral("{00000000-0000-0000-0000-000000000000}"), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sorted(FDirectory.GetEmpPhones(c.EmployeeId)), c.Lines) << c.EmployeeId.toStdString();
    EXPECT_TRUE(Reports().empty());
}

TEST_F(DirectoryTest, SetPhoneDescriptionStoresTheValueLiterally)
{
    const QString tricky = QStringLiteral("O'Brien'; DROP TABLE PhoneNumbers; --");
    EXPECT_TRUE(FDirectory.SetPhoneDescription(Braced(Phone(2)).toLower(), tricky));
    EXPECT_EQ(FDemo.Scalar(QStringLiteral("select Description from PhoneNumbers where _id=?"), {Phone(2)})
                  .toString(),
              tricky);
    EXPECT_EQ(FDirectory.FindPhones({}, {}, {}, {}, tricky),
              QStringList{Braced(Employee(2)) + u'=' + Braced(Phone(2))});

    EXPECT_FALSE(FDirectory.SetPhoneDescription(QStringLiteral("{00000000-0000-0000-0000-000000000000}"),
                                                QStringLiteral("TgBot1")));
    EXPECT_FALSE(FDirectory.SetPhoneDescription(Braced(Phone(1)), QString()));
    EXPECT_EQ(FDemo.Scalar(QStringLiteral("select Description from PhoneNumbers where _id=?"), {Phone(1)})
                  .toString(),
              QStringLiteral("мобильный"));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(DirectoryTest, GetEmpPhotoGivesTheBytesOrNothing)
{
    const QByteArray photo = FDirectory.GetEmpPhoto(Braced(Employee(1)), 1);
    EXPECT_EQ(photo.size(), 265);
    EXPECT_TRUE(photo.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_TRUE(FDirectory.GetEmpPhoto(Braced(Employee(1)), 2).isEmpty());
    EXPECT_TRUE(FDirectory.GetEmpPhoto(Braced(Employee(2)), 1).isEmpty());
    // A row whose photo is NULL does not count as a photo.
    FDemo.Exec(QStringLiteral("insert into EmployeePhoto values (?, 1, NULL)"), {Employee(2)});
    EXPECT_TRUE(FDirectory.GetEmpPhoto(Braced(Employee(2)), 1).isEmpty());
    EXPECT_TRUE(Reports().empty());
}

TEST_F(DirectoryTest, GetEmployeeCountsRowsAndFillsTheRecordFromTheFirst)
{
    const TUserData untouched{QStringLiteral("sid"), QStringLiteral("f"), QStringLiteral("m"),
                              QStringLiteral("l"), QStringLiteral("c")};
    TUserData data = untouched;
    EXPECT_EQ(FDirectory.GetEmployee(QStringLiteral("{00000000-0000-0000-0000-000000000000}"), data), 0);
    EXPECT_EQ(data.Sid, untouched.Sid);
    EXPECT_EQ(FDirectory.GetEmployee(QString(), data), -1);
    EXPECT_EQ(data.LASTNAME, untouched.LASTNAME);

    EXPECT_EQ(FDirectory.GetEmployee(Braced(Employee(1)).toLower(), data), 1);
    EXPECT_EQ(data.Sid, Braced(Employee(1)));
    EXPECT_EQ(data.FIRSTNAME, QStringLiteral("Иван"));
    EXPECT_EQ(data.MIDDLENAME, QStringLiteral("Иванович"));
    EXPECT_EQ(data.LASTNAME, QStringLiteral("Иванов"));
    EXPECT_EQ(data.EmpComment, QStringLiteral("Бухгалтерия"));

    TUserData removed;
    EXPECT_EQ(FDirectory.GetEmployee(Employee(5), removed), 1); // removal is not looked at here
    EXPECT_EQ(removed.LASTNAME, QStringLiteral("Кузнецова"));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(DirectoryTest, DevicesAndSubtypes)
{
    const QStringList devices{
        Braced(Device(2)) + QStringLiteral("=Дверь склада"),
        Braced(Device(1)) + QStringLiteral("=Турникет проходной"),
        Braced(Device(4)) + u'=', // face-recognition terminal without a name
        Braced(Device(5)) + QStringLiteral("=Терминал распознавания лиц"),
    };
    EXPECT_EQ(FDirectory.KVGetDrivers(), devices);
    const QStringList subtypes{QStringLiteral("26=Вход"), QStringLiteral("27=Выход"),
                               QStringLiteral("66=Вход по ключу"),
                               QStringLiteral("226=Вход по распознаванию лица")};
    EXPECT_EQ(FDirectory.KVGetLogMsgSubtypes(), subtypes);
    EXPECT_TRUE(Reports().empty());
}

// Each operation as a call that tells whether its result is empty.
struct TOperation {
    const char* Name;
    std::function<bool(const TDirectory&)> ResultIsEmpty;
};

const std::vector<TOperation>& Operations()
{
    static const std::vector<TOperation> operations{
        {"FindPhones",
         [](const TDirectory& d) {
             return d.FindPhones({}, {}, {}, {}, QStringLiteral("мобильный")).isEmpty();
         }},
        {"GetEmpPhones", [](const TDirectory& d) { return d.GetEmpPhones(Employee(1)).isEmpty(); }},
        {"SetPhoneDescription",
         [](const TDirectory& d) { return !d.SetPhoneDescription(Phone(1), QStringLiteral("TgBot1")); }},
        {"GetEmpPhoto", [](const TDirectory& d) { return d.GetEmpPhoto(Employee(1), 1).isEmpty(); }},
        {"GetEmployee",
         [](const TDirectory& d) {
             TUserData data;
             return d.GetEmployee(Employee(1), data) == -1;
         }},
        {"KVGetDrivers", [](const TDirectory& d) { return d.KVGetDrivers().isEmpty(); }},
        {"KVGetLogMsgSubtypes", [](const TDirectory& d) { return d.KVGetLogMsgSubtypes().isEmpty(); }},
    };
    return operations;
}

TEST_F(DirectoryTest, AnUnreachableOrUnreadableDatabaseIsReportedOncePerOperation)
{
    TConnectionManager missing;
    missing.Define(TConnectionDef::Sqlite(FDemo.KestravaDir() + QStringLiteral("/gone.sqlite")));
    const TDirectory directory(missing, FRecorder.Sink());
    for (const TOperation& operation : Operations()) {
        FRecorder.Clear();
        EXPECT_TRUE(operation.ResultIsEmpty(directory)) << operation.Name;
        const std::vector<TReport> reports = Reports();
        ASSERT_EQ(reports.size(), 1u) << operation.Name;
        EXPECT_EQ(reports[0].Obj, TobjBase);
        EXPECT_EQ(reports[0].Status, TstProc);
        EXPECT_TRUE(reports[0].Mess.startsWith(QStringLiteral("ConnectionError ")))
            << reports[0].Mess.toStdString();
    }
    // The file was not created in passing.
    EXPECT_FALSE(QFile::exists(FDemo.KestravaDir() + QStringLiteral("/gone.sqlite")));

    // A file that is not a database fails each operation once too.
    {
        const QString garbagePath = FDemo.KestravaDir() + QStringLiteral("/garbage.sqlite");
        QFile garbage(garbagePath);
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        TConnectionManager notADatabase;
        notADatabase.Define(TConnectionDef::Sqlite(garbagePath));
        const TDirectory unreadable(notADatabase, FRecorder.Sink());
        for (const TOperation& operation : Operations()) {
            FRecorder.Clear();
            EXPECT_TRUE(operation.ResultIsEmpty(unreadable)) << operation.Name;
            const std::vector<TReport> reports = Reports();
            ASSERT_EQ(reports.size(), 1u) << operation.Name;
            EXPECT_TRUE(reports[0].Mess.contains(QStringLiteral("not a database")))
                << reports[0].Mess.toStdString();
        }
    }

    // The guards keep these from the database altogether: no report although it is unreachable.
    FRecorder.Clear();
    TUserData data;
    EXPECT_TRUE(directory.FindPhones({}, {}, {}, {}, {}).isEmpty());
    EXPECT_TRUE(directory.GetEmpPhones(QString()).isEmpty());
    EXPECT_FALSE(directory.SetPhoneDescription(Phone(1), QString()));
    EXPECT_TRUE(directory.GetEmpPhoto(QString(), 1).isEmpty());
    EXPECT_EQ(directory.GetEmployee(QString(), data), -1);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(DirectoryTest, AMissingTableIsReportedOnceWithAnEmptyResult)
{
    FDemo.Exec(QStringLiteral("drop table PhoneNumbers"));
    EXPECT_TRUE(FDirectory.FindPhones(QStringLiteral("77027654321"), {}, {}, {}, {}).isEmpty());
    const std::vector<TReport> reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Status, TstProc);
    EXPECT_TRUE(reports[0].Mess.startsWith(QStringLiteral("StatementError no such table: PhoneNumbers")))
        << reports[0].Mess.toStdString();
}

// Many threads at once, each operation on a connection of its own that is gone afterwards.
TEST_F(DirectoryTest, OperationsOnSeveralThreadsLeaveNoConnectionBehind)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            for (int round = 0; round < 10; ++round) {
                for (const TOperation& operation : Operations())
                    (void)operation.ResultIsEmpty(FDirectory);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_TRUE(Reports().empty()) << Reports().front().Mess.toStdString();
    for (const QString& name : QSqlDatabase::connectionNames())
        EXPECT_FALSE(name.startsWith(QStringLiteral("KV#"))) << name.toStdString();
}

// The driver's operations are the directory's, on the database server.config names.
TEST(DriverDirectory, DriverConnectsToTheDemoInstallationAndDelegates)
{
    TDemoInstallation demo;
    TDriverOptions options;
    options.UdpPort = 0;
    TReportRecorder recorder;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), options);
    driver.SetLogState(recorder.Sink());
    driver.Init();
    EXPECT_EQ(recorder.Reports(),
              (std::vector<TReport>{{TobjBase, TstConNorm, QStringLiteral("Версия базы: 3.5.2.1")}}));

    EXPECT_EQ(driver.FindPhones(QStringLiteral("77027654321"), {}, {}, {}, {}),
              QStringList{Braced(Employee(2)) + u'=' + Braced(Phone(2))});
    EXPECT_EQ(driver.GetEmpPhones(Employee(1)), QStringList{QStringLiteral("мобильный=+77011234567")});
    EXPECT_TRUE(driver.SetPhoneDescription(Phone(1), QStringLiteral("TgBot77")));
    EXPECT_EQ(driver.FindPhones({}, {}, {}, {}, QStringLiteral("TgBot77")).size(), 1);
    EXPECT_FALSE(driver.GetEmpPhoto(Employee(1), 1).isEmpty());
    TUserData data;
    EXPECT_EQ(driver.GetEmployee(Employee(4), data), 1);
    EXPECT_EQ(data.FIRSTNAME, QStringLiteral("Данияр"));
    EXPECT_EQ(driver.KVGetDrivers().size(), 4);
    EXPECT_EQ(driver.KVGetLogMsgSubtypes().size(), 4);
    EXPECT_EQ(recorder.Reports().size(), 1u);
}

} // namespace
