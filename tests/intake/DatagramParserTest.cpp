#include "intake/DatagramParser.h"

#include <gtest/gtest.h>

namespace {

const QLocale kRu(QLocale::Russian, QLocale::Russia);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

const QString kRequired = QStringLiteral("DateTime:14.11.2024 13:30:00, IsKeyEvent:1");

struct TFieldCase {
    const char* Name;
    QString Text;
    QString Field; // which field the case looks at
    std::optional<QString> Expected;
};

class DatagramFields : public ::testing::TestWithParam<TFieldCase> {};

TEST_P(DatagramFields, LookUpLikeTheListener)
{
    const TFieldCase& c = GetParam();
    EXPECT_EQ(DatagramField(SplitDatagramItems(c.Text), c.Field), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DatagramFields,
    ::testing::Values(
        TFieldCase{"AnyOrder", QStringLiteral("Message:Вход,DriverId:7"), QStringLiteral("DriverId"),
                   QStringLiteral("7")},
        TFieldCase{"BlankAfterComma", QStringLiteral("LogMessageId:5, DriverId:7"),
                   QStringLiteral("DriverId"), QStringLiteral("7")},
        TFieldCase{"NameInOtherCase", QStringLiteral("driverid:7"), QStringLiteral("DriverId"),
                   QStringLiteral("7")},
        TFieldCase{"CyrillicNameInOtherCase", QStringLiteral("ИМЯ:x"), QStringLiteral("имя"),
                   QStringLiteral("x")},
        TFieldCase{"BlankBeforeColonDoesNotMatch", QStringLiteral("DriverId :7"), QStringLiteral("DriverId"),
                   std::nullopt},
        TFieldCase{"ColonsInValueKept", QStringLiteral("DateTime:14.11.2024 13:30:00"),
                   QStringLiteral("DateTime"), QStringLiteral("14.11.2024 13:30:00")},
        TFieldCase{"UnquotedCommaEndsValue", QStringLiteral("Message:a,b, Details:c"),
                   QStringLiteral("Message"), QStringLiteral("a")},
        TFieldCase{"QuotesKeepCommasAndStay", QStringLiteral("Message:\"Вход, выход\", Details:c"),
                   QStringLiteral("Message"), QStringLiteral("\"Вход, выход\"")},
        TFieldCase{"SingleQuotesToo", QStringLiteral("Message:'a,b',Details:c"), QStringLiteral("Details"),
                   QStringLiteral("c")},
        TFieldCase{"FirstOccurrenceWins", QStringLiteral("DriverId:1,DriverId:2"), QStringLiteral("DriverId"),
                   QStringLiteral("1")},
        TFieldCase{"LineBreaksSeparate", QStringLiteral("DriverId:1\r\nMessage:m\nDetails:d"),
                   QStringLiteral("Details"), QStringLiteral("d")},
        TFieldCase{"ValueTrimmed", QStringLiteral("Message:  Вход \t"), QStringLiteral("Message"),
                   QStringLiteral("Вход")},
        TFieldCase{"PrefixOfAnotherName", QStringLiteral("DataX:1,Data:2"), QStringLiteral("Data"),
                   QStringLiteral("2")},
        TFieldCase{"EmptyValue", QStringLiteral("Details:"), QStringLiteral("Details"), QString()},
        TFieldCase{"Absent", QStringLiteral("Message:m"), QStringLiteral("Details"), std::nullopt}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DatagramItems, EmptyItemsAndLeadingBreaksAreDropped)
{
    EXPECT_EQ(SplitDatagramItems(QStringLiteral(" ,,\r\n a:1,\n\n b:2 ,")),
              (QStringList{QStringLiteral("a:1"), QStringLiteral("b:2 ")}));
    EXPECT_EQ(SplitDatagramItems(QStringLiteral("a:\"x,y")), QStringList{QStringLiteral("a:\"x,y")})
        << "an unclosed quote runs to the end";
}

TEST(DatagramParse, FillsTheEventFromAllFields)
{
    const QString text = QStringLiteral(
        "LogMessageId:9001, DriverId:{D1}, DateTime:14.11.2024 13:30:05, IsKeyEvent:True, MessageType:1,"
        " MessageSubType:AccessGranted, EmployeeId:{E1}, Message:Вход, Details:Дверь 2, OperatorId:op,"
        " Data:x, DriverName:Турникет, EmployeeFullName:Иванов Иван Иванович, Unknown:1");
    const std::optional<TMes> mes = ParseDatagram(text, kRu);
    ASSERT_TRUE(mes);
    EXPECT_EQ(mes->LogMessageId, QStringLiteral("9001"));
    EXPECT_EQ(mes->DriverId, QStringLiteral("{D1}"));
    EXPECT_EQ(mes->DateTime, QDateTime(QDate(2024, 11, 14), QTime(13, 30, 5)));
    EXPECT_TRUE(mes->IsKeyEvent);
    EXPECT_EQ(mes->MessageType, QStringLiteral("1"));
    EXPECT_EQ(mes->MessageSubType, QStringLiteral("AccessGranted"));
    EXPECT_EQ(mes->EmployeeId, QStringLiteral("{E1}"));
    EXPECT_EQ(mes->Message, QStringLiteral("Вход"));
    EXPECT_EQ(mes->Details, QStringLiteral("Дверь 2"));
    EXPECT_EQ(mes->OperatorId, QStringLiteral("op"));
    EXPECT_EQ(mes->Data, QStringLiteral("x"));
    EXPECT_EQ(mes->DriverName, QStringLiteral("Турникет"));
    EXPECT_EQ(mes->LASTNAME, QStringLiteral("Иванов"));
    EXPECT_EQ(mes->FIRSTNAME, QStringLiteral("Иван"));
    EXPECT_EQ(mes->SecondName, QStringLiteral("Иванович"));
    EXPECT_FALSE(mes->MessFromBase);
    EXPECT_EQ(mes->TemperatureResult, 0);
}

TEST(DatagramParse, OnlyRequiredFieldsIsEnough)
{
    const std::optional<TMes> mes = ParseDatagram(kRequired, kRu);
    ASSERT_TRUE(mes);
    EXPECT_TRUE(mes->Message.isEmpty());
    EXPECT_TRUE(mes->EmployeeFullName().isEmpty());
}

struct TRequiredCase {
    const char* Name;
    QString Text;
    bool Dispatched;
};

class DatagramRequired : public ::testing::TestWithParam<TRequiredCase> {};

TEST_P(DatagramRequired, DecideWhetherTheEventGoesOn)
{
    EXPECT_EQ(ParseDatagram(GetParam().Text, kRu).has_value(), GetParam().Dispatched);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DatagramRequired,
    ::testing::Values(
        TRequiredCase{"Both", kRequired, true},
        TRequiredCase{"NoIsKeyEvent", QStringLiteral("DateTime:14.11.2024"), false},
        TRequiredCase{"EmptyDateTime", QStringLiteral("DateTime:, IsKeyEvent:1"), false},
        TRequiredCase{"NoDateTime", QStringLiteral("IsKeyEvent:1"), false},
        TRequiredCase{"BadDate", QStringLiteral("DateTime:32.11.2024, IsKeyEvent:1"), false},
        TRequiredCase{"BadKeyEvent", QStringLiteral("DateTime:14.11.2024, IsKeyEvent:yes"), false},
        TRequiredCase{"NameBlankColon", QStringLiteral("DateTime :14.11.2024, IsKeyEvent:1"), false}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TKeyCase {
    QString Text;
    std::optional<bool> Expected;
};

TEST(DatagramParse, IsKeyEventConversions)
{
    const std::vector<TKeyCase> cases{{QStringLiteral("1"), true},    {QStringLiteral("0"), false},
                                      {QStringLiteral("-2"), true},   {QStringLiteral("0,0"), false},
                                      {QStringLiteral("true"), true}, {QStringLiteral("FALSE"), false},
                                      {QStringLiteral("TrUe"), true}, {QStringLiteral("yes"), std::nullopt},
                                      {QString(), std::nullopt}};
    for (const TKeyCase& c : cases)
        EXPECT_EQ(ParseKeyEventFlag(c.Text, kRu), c.Expected) << c.Text.toStdString();
    EXPECT_EQ(ParseKeyEventFlag(QStringLiteral("0.5"), kUs), true);
}

struct TDateCase {
    const char* Locale;
    QString Text;
    std::optional<QDateTime> Expected;
};

TEST(DatagramParse, DateTimeByRegionalSettings)
{
    const int year = QDate::currentDate().year();
    const std::vector<TDateCase> cases{
        {"ru", QStringLiteral("14.11.2024 13:30:00"), QDateTime(QDate(2024, 11, 14), QTime(13, 30))},
        {"ru", QStringLiteral("14.11.2024 13:30"), QDateTime(QDate(2024, 11, 14), QTime(13, 30))},
        {"ru", QStringLiteral("14.11.2024"), QDateTime(QDate(2024, 11, 14), QTime(0, 0))},
        {"ru", QStringLiteral("14.11.24 9:05:07.250"), QDateTime(QDate(2024, 11, 14), QTime(9, 5, 7, 250))},
        {"ru", QStringLiteral("14.11"), QDateTime(QDate(year, 11, 14), QTime(0, 0))},
        {"ru", QStringLiteral("2024-11-14T13:30:00"), QDateTime(QDate(2024, 11, 14), QTime(13, 30))},
        {"ru", QStringLiteral("13:30:00"), QDateTime(QDate(1899, 12, 30), QTime(13, 30))},
        {"ru", QStringLiteral("11/14/2024"), std::nullopt},
        {"ru", QStringLiteral("14.11.2024 25:00"), std::nullopt},
        {"ru", QStringLiteral("вчера"), std::nullopt},
        {"us", QStringLiteral("11/14/2024 1:30:00 PM"), QDateTime(QDate(2024, 11, 14), QTime(13, 30))},
        {"us", QStringLiteral("11/14/2024 12:00 AM"), QDateTime(QDate(2024, 11, 14), QTime(0, 0))},
        {"us", QStringLiteral("14.11.2024"), std::nullopt},
    };
    for (const TDateCase& c : cases) {
        const QLocale& locale = std::string(c.Locale) == "ru" ? kRu : kUs;
        EXPECT_EQ(ParseRegionalDateTime(c.Text, locale), c.Expected)
            << c.Locale << " " << c.Text.toStdString();
    }
}

TEST(DatagramApply, PutsOnlyCarriedFieldsOverAnEvent)
{
    TMes mes;
    mes.Message = QStringLiteral("Вход");
    mes.DateTime = QDateTime(QDate(2024, 11, 14), QTime(13, 30));
    EXPECT_FALSE(ApplyDatagram(QStringLiteral("DriverName:Дверь"), kRu, mes, false));
    EXPECT_EQ(mes.Message, QStringLiteral("Вход"));
    EXPECT_EQ(mes.DriverName, QStringLiteral("Дверь"));

    const std::optional<TDatagramError> error =
        ApplyDatagram(QStringLiteral("IsKeyEvent:maybe"), kRu, mes, false);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Field, QStringLiteral("IsKeyEvent"));
}

} // namespace
