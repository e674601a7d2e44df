#include "messaging/MessFltrPass.h"
#include "messaging/SubtypeIds.h"

#include <gtest/gtest.h>

#include <set>

using namespace Qt::StringLiterals;

namespace {

// Line ends of all three kinds, as hand edits and the editor leave them.
const QString kFilters = QStringLiteral("Проходная=DriversId$D1$D2$SubTypesId$26$27\r\n"
                                        "Склад=DriversId$d3\n"
                                        "Только ключ=SubTypesId$66\r"
                                        "Пустой=\r\n"
                                        "без знака равенства\r\n"
                                        "Без маркеров=D1$D2\r\n"
                                        "Пробел =DriversId$D1\r\n"
                                        "Двойной=DriversId$D1\r\n"
                                        "двойной=DriversId$D2\r\n"
                                        "После=26$D5$SubTypesId$DriversId\r\n"
                                        "Хвост=SubTypesId$26 $27\r\n"
                                        "Кавычки=DriversId$'D$7'$SubTypesId$ 26");

struct TFilterCase {
    const char* Why;
    QString Filter;
    QString DriverId;
    QString SubType;
    bool FromBase;
    bool Passes;
};

TEST(MessFltrPass, TableOfCases)
{
    const std::vector<TFilterCase> cases{
        {"no line defines the name", u"Неизвестный"_s, u"D9"_s, u"AccessPointEntry"_s, false, true},
        {"empty definition", u"Пустой"_s, u"D9"_s, u""_s, false, true},
        {"identifiers without markers", u"Без маркеров"_s, u"D9"_s, u""_s, false, true},
        {"device listed, other letter case", u"Склад"_s, u"D3"_s, u""_s, false, true},
        {"device not listed", u"Склад"_s, u"D1"_s, u""_s, false, false},
        {"empty device never listed", u"Склад"_s, u""_s, u""_s, false, false},
        {"filter name in other letter case and with blanks", u" \tсклад \r\n"_s, u"d3"_s, u""_s, false, true},
        {"both conditions hold", u"Проходная"_s, u"D2"_s, u"AccessPointExit"_s, false, true},
        {"datagram subtype name in small letters", u"Проходная"_s, u"D1"_s, u"accesspointentry"_s, false,
         true},
        {"datagram subtype not listed", u"Проходная"_s, u"D1"_s, u"AccessPointEntryByKey"_s, false, false},
        {"datagram subtype name unknown", u"Проходная"_s, u"D1"_s, u"SomethingNew"_s, false, false},
        {"datagram subtype empty", u"Проходная"_s, u"D1"_s, u""_s, false, false},
        {"device fails, subtype holds", u"Проходная"_s, u"D3"_s, u"AccessPointEntry"_s, false, false},
        {"log subtype number as it is", u"Проходная"_s, u"D1"_s, u"27"_s, true, true},
        {"log subtype is never a name", u"Проходная"_s, u"D1"_s, u"AccessPointEntry"_s, true, false},
        {"subtype condition alone", u"Только ключ"_s, u"любое"_s, u"ACCESSPOINTENTRYBYKEY"_s, false, true},
        {"blank before = makes another name", u"Пробел"_s, u"D9"_s, u""_s, false, true},
        {"first of two lines with one name wins", u"Двойной"_s, u"D2"_s, u""_s, false, false},
        {"first of two lines with one name wins, passing", u"ДВОЙНОЙ"_s, u"D1"_s, u""_s, false, true},
        {"values before the markers count", u"После"_s, u"D5"_s, u"26"_s, true, true},
        {"a token with a trailing blank matches nothing", u"Хвост"_s, u""_s, u"26"_s, true, false},
        {"the token after it does", u"Хвост"_s, u""_s, u"27"_s, true, true},
        {"quoted token keeps its marks", u"Кавычки"_s, u"D$7"_s, u"26"_s, true, false},
        {"quoted token matches with its marks", u"Кавычки"_s, u"'D$7'"_s, u"26"_s, true, true},
    };
    for (const TFilterCase& c : cases) {
        TMes mes;
        mes.DriverId = c.DriverId;
        mes.MessageSubType = c.SubType;
        mes.MessFromBase = c.FromBase;
        EXPECT_EQ(MessFltrPass(kFilters, c.Filter, mes), c.Passes) << c.Why;
    }
}

TEST(MessFltrPass, NoFiltersPassEverything)
{
    TMes mes;
    mes.DriverId = QStringLiteral("D1");
    EXPECT_TRUE(MessFltrPass(QString(), QStringLiteral("Проходная"), mes));
}

TEST(SubtypeIds, FixedTable)
{
    const auto& table = SubtypeIds();
    std::set<int> numbers;
    std::set<QString> names;
    for (const TSubtypeId& row : table) {
        numbers.insert(row.Id);
        names.insert(row.Name.toString().toLower());
        EXPECT_EQ(SubtypeId(row.Name), row.Id) << row.Name.toString().toStdString();
    }
    EXPECT_EQ(names.size(), 261u);
    std::set<int> expected;
    for (int id = 0; id <= 262; ++id) {
        if (id != 197 && id != 198)
            expected.insert(id);
    }
    EXPECT_EQ(numbers, expected);

    const std::vector<std::pair<QString, std::optional<int>>> lookups{
        {u"ControllerReload"_s, 0},
        {u"AccessPointEntry"_s, 26},
        {u"ACCESSPOINTEXIT"_s, 27},
        {u"accesspointentrybykey"_s, 66},
        {u"ElecticNetworkCrash"_s, 104},
        {u"OutputShortCurcuit"_s, 109},
        {u"OrionRelayOff"_s, 196},
        {u"AccessPointEmegancyExitButton"_s, 199},
        {u"BiometricAutentificationError"_s, 223},
        {u"AccessPointFaceEntry"_s, 226},
        {u"KeyKeeper_UnknownEmployeeTakeUnknownThing"_s, 262},
        {u"ElectricNetworkCrash"_s, std::nullopt}, // the system's own spelling only
        {u" AccessPointEntry"_s, std::nullopt},
        {u""_s, std::nullopt},
    };
    for (const auto& [name, id] : lookups)
        EXPECT_EQ(SubtypeId(name), id) << name.toStdString();
}

} // namespace
