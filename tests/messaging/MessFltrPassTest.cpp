#include "messaging/MessFltrPass.h"
#include "messaging/SubtypeIds.h"

#include <gtest/gtest.h>

#include <set>

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

TEST(MessFltrPass, TableOfCases) {
    const std::vector<TFilterCase> cases{
        {"no line defines the name", u"Неизвестный"_qs, u"D9"_qs, u"AccessPointEntry"_qs, false, true},
        {"empty definition", u"Пустой"_qs, u"D9"_qs, u""_qs, false, true},
        {"identifiers without markers", u"Без маркеров"_qs, u"D9"_qs, u""_qs, false, true},
        {"device listed, other letter case", u"Склад"_qs, u"D3"_qs, u""_qs, false, true},
        {"device not listed", u"Склад"_qs, u"D1"_qs, u""_qs, false, false},
        {"empty device never listed", u"Склад"_qs, u""_qs, u""_qs, false, false},
        {"filter name in other letter case and with blanks", u" \tсклад \r\n"_qs, u"d3"_qs, u""_qs, false,
         true},
        {"both conditions hold", u"Проходная"_qs, u"D2"_qs, u"AccessPointExit"_qs, false, true},
        {"datagram subtype name in small letters", u"Проходная"_qs, u"D1"_qs, u"accesspointentry"_qs, false,
         true},
        {"datagram subtype not listed", u"Проходная"_qs, u"D1"_qs, u"AccessPointEntryByKey"_qs, false, false},
        {"datagram subtype name unknown", u"Проходная"_qs, u"D1"_qs, u"SomethingNew"_qs, false, false},
        {"datagram subtype empty", u"Проходная"_qs, u"D1"_qs, u""_qs, false, false},
        {"device fails, subtype holds", u"Проходная"_qs, u"D3"_qs, u"AccessPointEntry"_qs, false, false},
        {"log subtype number as it is", u"Проходная"_qs, u"D1"_qs, u"27"_qs, true, true},
        {"log subtype is never a name", u"Проходная"_qs, u"D1"_qs, u"AccessPointEntry"_qs, true, false},
        {"subtype condition alone", u"Только ключ"_qs, u"любое"_qs, u"ACCESSPOINTENTRYBYKEY"_qs, false, true},
        {"blank before = makes another name", u"Пробел"_qs, u"D9"_qs, u""_qs, false, true},
        {"first of two lines with one name wins", u"Двойной"_qs, u"D2"_qs, u""_qs, false, false},
        {"first of two lines with one name wins, passing", u"ДВОЙНОЙ"_qs, u"D1"_qs, u""_qs, false, true},
        {"values before the markers count", u"После"_qs, u"D5"_qs, u"26"_qs, true, true},
        {"a token with a trailing blank matches nothing", u"Хвост"_qs, u""_qs, u"26"_qs, true, false},
        {"the token after it does", u"Хвост"_qs, u""_qs, u"27"_qs, true, true},
        {"quoted token keeps its marks", u"Кавычки"_qs, u"D$7"_qs, u"26"_qs, true, false},
        {"quoted token matches with its marks", u"Кавычки"_qs, u"'D$7'"_qs, u"26"_qs, true, true},
    };
    for (const TFilterCase& c : cases) {
        TMes mes;
        mes.DriverId = c.DriverId;
        mes.MessageSubType = c.SubType;
        mes.MessFromBase = c.FromBase;
        EXPECT_EQ(MessFltrPass(kFilters, c.Filter, mes), c.Passes) << c.Why;
    }
}

TEST(MessFltrPass, NoFiltersPassEverything) {
    TMes mes;
    mes.DriverId = QStringLiteral("D1");
    EXPECT_TRUE(MessFltrPass(QString(), QStringLiteral("Проходная"), mes));
}

TEST(SubtypeIds, FixedTable) {
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
        {u"ControllerReload"_qs, 0},
        {u"AccessPointEntry"_qs, 26},
        {u"ACCESSPOINTEXIT"_qs, 27},
        {u"accesspointentrybykey"_qs, 66},
        {u"ElecticNetworkCrash"_qs, 104},
        {u"OutputShortCurcuit"_qs, 109},
        {u"OrionRelayOff"_qs, 196},
        {u"AccessPointEmegancyExitButton"_qs, 199},
        {u"BiometricAutentificationError"_qs, 223},
        {u"AccessPointFaceEntry"_qs, 226},
        {u"KeyKeeper_UnknownEmployeeTakeUnknownThing"_qs, 262},
        {u"ElectricNetworkCrash"_qs, std::nullopt}, // the system's own spelling only
        {u" AccessPointEntry"_qs, std::nullopt},
        {u""_qs, std::nullopt},
    };
    for (const auto& [name, id] : lookups)
        EXPECT_EQ(SubtypeId(name), id) << name.toStdString();
}

} // namespace
