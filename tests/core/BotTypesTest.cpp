#include "core/BotTypes.h"

#include <gtest/gtest.h>

namespace {

struct TNameCase {
    const char* Name;
    QString FullName;
    QString Last;
    QString First;
    QString Second;
};

class FullNameSplit : public ::testing::TestWithParam<TNameCase> {};

TEST_P(FullNameSplit, FillsTheThreeParts)
{
    const TNameCase& c = GetParam();
    TMes mes;
    mes.SetEmployeeFullName(QStringLiteral("Прежний Полный Вариант"));
    mes.SetEmployeeFullName(c.FullName);
    EXPECT_EQ(mes.EmployeeFullName(), c.FullName) << "the text is kept as written";
    EXPECT_EQ(mes.LASTNAME, c.Last);
    EXPECT_EQ(mes.FIRSTNAME, c.First);
    EXPECT_EQ(mes.SecondName, c.Second);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FullNameSplit,
    ::testing::Values(TNameCase{"ThreeWords", QStringLiteral("Иванов Иван Иванович"),
                                QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")},
                      TNameCase{"BlanksAround", QStringLiteral("  Петров   Пётр  "), QStringLiteral("Петров"),
                                QStringLiteral("Пётр"), QString()},
                      TNameCase{"OneWordClearsOthers", QStringLiteral("Сидоров"), QStringLiteral("Сидоров"),
                                QString(), QString()},
                      TNameCase{"FourthWordIgnored", QStringLiteral("A B C D E"), QStringLiteral("A"),
                                QStringLiteral("B"), QStringLiteral("C")},
                      TNameCase{"Empty", QString(), QString(), QString(), QString()},
                      TNameCase{"LineBreaksSeparate", QStringLiteral("A\r\nB\nC"), QStringLiteral("A"),
                                QStringLiteral("B"), QStringLiteral("C")},
                      TNameCase{"QuotedStretchKeepsBlanksAndMarks", QStringLiteral("\"Van Dyke\" Anna 'M J'"),
                                QStringLiteral("\"Van Dyke\""), QStringLiteral("Anna"),
                                QStringLiteral("'M J'")},
                      TNameCase{"ControlCharactersTrimmed", QStringLiteral("\tA B\t"), QStringLiteral("A"),
                                QStringLiteral("B"), QString()}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Enumerations, KeepTheirOrdinalsAndSpelling)
{
    static_assert(sizeof(Tobj) == 1 && sizeof(TStatus) == 1);
    EXPECT_EQ(int(TobjServMes), 5);
    EXPECT_EQ(int(TStStatus), 8);
    EXPECT_EQ(int(TstGetId), 7);
    EXPECT_EQ(TobjName(TObjNone), QStringLiteral("TObjNone"));
    EXPECT_EQ(TobjName(TobjSmsru), QStringLiteral("TobjSmsru"));
    EXPECT_EQ(TStatusName(TStNone), QStringLiteral("TStNone"));
    EXPECT_EQ(TStatusName(TstConNorm), QStringLiteral("TstConNorm"));
}

TEST(Records, StartEmpty)
{
    const TMes mes;
    EXPECT_TRUE(mes.LogMessageId.isEmpty());
    EXPECT_FALSE(mes.IsKeyEvent);
    EXPECT_FALSE(mes.MessFromBase);
    EXPECT_EQ(mes.TemperatureResult, 0);
    const TConf conf;
    EXPECT_FALSE(conf.TgEn);
    EXPECT_EQ(conf.BdTmpLimit, 0.0);
    EXPECT_TRUE(conf.MessFltr.isEmpty());
}

} // namespace
