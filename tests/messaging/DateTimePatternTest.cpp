#include "messaging/DateTimePattern.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

struct TPatternCase {
    QDateTime At;
    QString Pattern;
    QString Russian;
    QString English;
};

const QDateTime kAfternoon(QDate(2024, 11, 14), QTime(13, 30, 5, 7)); // a Thursday
const QDateTime kNight(QDate(2024, 3, 5), QTime(0, 7, 9));            // a Tuesday
const QDateTime kNoon(QDate(2024, 3, 5), QTime(12, 0));
const QDateTime kMidnight(QDate(2024, 3, 5), QTime(0, 0));

TEST(DateTimePattern, ElementsInRussianAndEnglish)
{
    const std::vector<TPatternCase> cases{
        // day
        {kNight, u"d"_s, u"5"_s, u"5"_s},
        {kNight, u"dd"_s, u"05"_s, u"05"_s},
        {kAfternoon, u"ddd"_s, u"чт"_s, u"Thu"_s},
        {kAfternoon, u"dddd"_s, u"четверг"_s, u"Thursday"_s},
        {kAfternoon, u"ddddd"_s, u"14.11.2024"_s, u"11/14/24"_s},
        {kAfternoon, u"dddddd"_s, u"четверг, 14 ноября 2024 г."_s, u"Thursday, November 14, 2024"_s},
        {kAfternoon, u"ddddddd"_s, u"четверг, 14 ноября 2024 г."_s, u"Thursday, November 14, 2024"_s},
        // month, and minutes right after an hour
        {kNight, u"m"_s, u"3"_s, u"3"_s},
        {kNight, u"mm"_s, u"03"_s, u"03"_s},
        {kAfternoon, u"mmm"_s, u"нояб."_s, u"Nov"_s},
        {kAfternoon, u"mmmm"_s, u"ноябрь"_s, u"November"_s},
        {kAfternoon, u"d mmmm yyyy"_s, u"14 ноября 2024"_s, u"14 November 2024"_s},
        {kNight, u"h:m"_s, u"0:7"_s, u"0:7"_s},
        {kNight, u"hh mm"_s, u"00 07"_s, u"00 07"_s},
        {kNight, u"hh'h'mm"_s, u"00h07"_s, u"00h07"_s},
        {kNight, u"mm hh"_s, u"03 00"_s, u"03 00"_s},
        {kNight, u"hh:ss mm"_s, u"00:09 03"_s, u"00:09 03"_s},
        // year and era
        {kAfternoon, u"y"_s, u"24"_s, u"24"_s},
        {kAfternoon, u"yy"_s, u"24"_s, u"24"_s},
        {kAfternoon, u"yyy"_s, u"2024"_s, u"2024"_s},
        {kAfternoon, u"YYYY"_s, u"2024"_s, u"2024"_s},
        {QDateTime(QDate(2005, 1, 2), QTime(1, 0)), u"e ee eee"_s, u"5 05 2005"_s, u"5 05 2005"_s},
        {kAfternoon, u"g"_s, u"н. э."_s, u"AD"_s},
        // time
        {kAfternoon, u"h"_s, u"13"_s, u"13"_s},
        {kNight, u"hhh"_s, u"00"_s, u"00"_s},
        {kNight, u"n nn s ss"_s, u"7 07 9 09"_s, u"7 07 9 09"_s},
        {kAfternoon, u"z zz zzz zzzz"_s, u"7 07 007 007"_s, u"7 07 007 007"_s},
        {kAfternoon, u"t"_s, u"13:30"_s, u"1:30 PM"_s},
        {kAfternoon, u"tt"_s, u"13:30:05"_s, u"1:30:05 PM"_s},
        {kAfternoon, u"c"_s, u"14.11.2024 13:30:05"_s, u"11/14/24 1:30:05 PM"_s},
        {kMidnight, u"c"_s, u"05.03.2024"_s, u"3/5/24"_s},
        {kAfternoon, QString(), u"14.11.2024 13:30:05"_s, u"11/14/24 1:30:05 PM"_s},
        // 12-hour clock
        {kAfternoon, u"h am/pm"_s, u"1 pm"_s, u"1 pm"_s},
        {kAfternoon, u"h AM/pm"_s, u"1 pm"_s, u"1 pm"_s},
        {kNight, u"h AM/pm"_s, u"12 AM"_s, u"12 AM"_s},
        {kNoon, u"hh:nn a/p"_s, u"12:00 p"_s, u"12:00 p"_s},
        {kNight, u"hh:nn A/P"_s, u"12:07 A"_s, u"12:07 A"_s},
        {kAfternoon, u"h ampm"_s, u"1 PM"_s, u"1 PM"_s},
        {kAfternoon, u"h 'am/pm'"_s, u"13 am/pm"_s, u"13 am/pm"_s},
        {kAfternoon, u"h h am/pm"_s, u"13 1 pm"_s, u"13 1 pm"_s},
        {kAfternoon, u"h ax am/pm"_s, u"13 ax pm"_s, u"13 ax pm"_s},
        {kAfternoon, u"aaa aaaa"_s, u"чт четверг"_s, u"Thu Thursday"_s},
        // separators, quotes and other characters
        {kAfternoon, u"dd/mm/yyyy"_s, u"14.11.2024"_s, u"14/11/2024"_s},
        {kAfternoon, u"hh:nn"_s, u"13:30"_s, u"13:30"_s},
        {kAfternoon, u"\"dd\" d 'mm' m"_s, u"dd 14 mm 11"_s, u"dd 14 mm 11"_s},
        {kAfternoon, u"'it\"s' d"_s, u"it\"s 14"_s, u"it\"s 14"_s},
        {kAfternoon, u"'open d"_s, u"open d"_s, u"open d"_s},
        {kAfternoon, u"x-q, d!"_s, u"x-q, 14!"_s, u"x-q, 14!"_s},
        {kAfternoon, u"DD.MM.YY"_s, u"14.11.24"_s, u"14.11.24"_s},
    };
    for (const TPatternCase& c : cases) {
        EXPECT_EQ(FormatDateTimePattern(c.At, c.Pattern, kRussian), c.Russian)
            << "ru: " << c.Pattern.toStdString();
        EXPECT_EQ(FormatDateTimePattern(c.At, c.Pattern, kEnglish), c.English)
            << "en: " << c.Pattern.toStdString();
    }
}

} // namespace
