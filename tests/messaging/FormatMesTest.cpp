#include "messaging/FormatMes.h"

#include <gtest/gtest.h>

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

struct TTemplateCase {
    const char* Name;
    QString Template;
    QString Expected;
};

// The sample event through whole templates, Russian regional settings.
TEST(FormatMes, TemplatesOfTheSampleEvent)
{
    const std::vector<TTemplateCase> cases{
        {"default template", DefaultMessTemplate(), QStringLiteral("13.30 Иван Вход через Турникет 14/11")},
        {"empty template is the default", QString(), QStringLiteral("13.30 Иван Вход через Турникет 14/11")},
        {"names and device",
         QStringLiteral("$Dd&dd$Ww&/$Dm&mm$Ww& $Th&hh$Ww&.$Tn&nn$Ww& $Ln&$Fn&$Sn&$Mn&$Dn&"),
         QStringLiteral("14/11 13.30 Иванов Иван Иванович Вход Турникет ")},
        {"with temperature and an empty segment",
         QStringLiteral(
             "$Dd&dd$Ww&/$Dm&mm$Ww& $Th&hh$Ww&.$Tn&nn$Ww& $Ln&$Fn&$Sn&$Mn&$Dn&$Ww& Температура: $$Wt&"),
         QStringLiteral("14/11 13.30 Иванов Иван Иванович Вход Турникет  Температура: 37,2 ")},
        {"initials", QStringLiteral("$Lw&$Fw&"), QStringLiteral("И. И. ")},
        {"only blanks", QStringLiteral("   "), QString()},
        {"blanks and line breaks", QStringLiteral(" \r\n \n"), QString()},
        {"segment without ampersand", QStringLiteral("$Fn"), QString()},
        {"code in other letter case", QStringLiteral("$fn&"), QString()},
        {"unknown code", QStringLiteral("$Xx&abc"), QString()},
        {"code with a blank before the ampersand", QStringLiteral("$Fn &"), QString()},
        {"text before the first dollar is dropped", QStringLiteral("Событие $Mn&"), QStringLiteral("Вход ")},
        {"blank after the dollar is skipped", QStringLiteral("$ Fn&"), QStringLiteral("Иван ")},
        {"blanks after the ampersand belong to the argument", QStringLiteral("$Ww&   "),
         QStringLiteral("   ")},
        {"further ampersands belong to the argument", QStringLiteral("$Ww&a&b"), QStringLiteral("a&b")},
        {"argument ignored by name codes", QStringLiteral("$Fn&xyz$Mn&dd"), QStringLiteral("Иван Вход ")},
        {"second line is a segment of its own", QStringLiteral("$Fn&\r\nWw&x"), QStringLiteral("Иван x")},
        {"second line without a code is dropped", QStringLiteral("$Fn&\nпривет $Mn&"),
         QStringLiteral("Иван Вход ")},
        {"line break ends the fixed text", QStringLiteral("$Ww&a\nb"), QStringLiteral("a")},
        {"unclosed apostrophe quotes the rest", QStringLiteral("$Ww&it's $Fn&"), QStringLiteral("it's $Fn&")},
        {"closed quotes keep dollar and marks", QStringLiteral("$Ww&\"a$b\"$Fn&"),
         QStringLiteral("\"a$b\"Иван ")},
        {"quoted line break stays", QStringLiteral("$Ww&'a\nb'"), QStringLiteral("'a\nb'")},
        {"date code with empty argument", QStringLiteral("$Dd&"), QStringLiteral("14.11.2024 13:30:00")},
        {"regional date separator in a pattern", QStringLiteral("$Dd&dd/mm"), QStringLiteral("14.11")},
        {"slash as fixed text stays", QStringLiteral("$Ww&/"), QStringLiteral("/")},
        {"minutes after hours", QStringLiteral("$Th&hh:mm"), QStringLiteral("13:30")},
        {"upper-case year", QStringLiteral("$Dy&YYYY"), QStringLiteral("2024")},
        {"the argument decides, not the code", QStringLiteral("$Dd&yyyy$Tn&dd"), QStringLiteral("202414")},
        {"Kazakh subtype text for an unknown subtype", QStringLiteral("$Mk&"), QStringLiteral(" ")},
    };
    const TMes mes = SampleMes();
    for (const TTemplateCase& c : cases)
        EXPECT_EQ(FormatMes(mes, c.Template, kRussian), c.Expected) << c.Name;
}

// The fields that decide whether a code writes anything at all.
TEST(FormatMes, FieldDependentCodes)
{
    TMes mes = SampleMes();
    mes.TemperatureCheckState = 0;
    mes.TemperatureResult = 400;
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Ww&[$Wt&$Ww&]"), kRussian), QStringLiteral("[]"));

    mes.SetEmployeeFullName(QStringLiteral("Иванов"));
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Ww&[$Fw&$Sw&$Ww&]"), kRussian), QStringLiteral("[]"));
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Ww&[$Fn&$Sn&$Ww&]"), kRussian), QStringLiteral("[  ]"));

    mes.MessageSubType = QStringLiteral("accesspointfaceentry");
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Mk&"), kRussian), QStringLiteral("Бет арқылы кіру "));
    mes.MessageSubType = QStringLiteral("66"); // a subtype number from the database log
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Mk&"), kRussian), QStringLiteral(" "));

    mes.DateTime = QDateTime(QDate(2024, 11, 14), QTime(0, 0));
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Dd&"), kRussian), QStringLiteral("14.11.2024"));
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Dd&"), kEnglish), QStringLiteral("11/14/24"));
    mes.DateTime = QDateTime();
    EXPECT_EQ(FormatMes(mes, QStringLiteral("$Ww&<$Dd&dd.mm$Ww&>"), kRussian), QStringLiteral("<>"));
}

TEST(FormatMes, TemperatureInRegionalForm)
{
    struct TCase {
        int Tenths;
        QString Russian;
        QString English;
    };
    const std::vector<TCase> cases{
        {372, QStringLiteral("37,2"), QStringLiteral("37.2")},
        {1005, QStringLiteral("100,5"), QStringLiteral("100.5")},
        {0, QStringLiteral("0,0"), QStringLiteral("0.0")},
        {-5, QStringLiteral("-0,5"), QStringLiteral("-0.5")},
        {12345, QStringLiteral("1\u00A0234,5"), QStringLiteral("1,234.5")},
        {-2147483647 - 1, QStringLiteral("-214\u00A0748\u00A0364,8"), QStringLiteral("-214,748,364.8")},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(FormatTemperature(c.Tenths, kRussian), c.Russian) << c.Tenths;
        EXPECT_EQ(FormatTemperature(c.Tenths, kEnglish), c.English) << c.Tenths;
    }
}

} // namespace
