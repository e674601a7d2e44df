#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

// Writes a date and time by a pattern of the template language: d dd ddd dddd ddddd dddddd,
// m mm (minutes right after an hour element) mmm mmmm, y yy yyyy, h hh (12-hour clock when an
// am/pm, a/p or ampm follows), n nn, s ss, z zz zzz, t tt, c, am/pm, a/p, ampm, aaa aaaa, e ee,
// g gg, "/" and ":" as the regional separators, quoted text, and every other character as itself.
// Letters count in either case; a run of one letter is one element. An empty pattern is "c".
// Names, separators and the short and long formats come from the locale. An invalid date-time
// writes nothing.
QString FormatDateTimePattern(const QDateTime& at, QStringView pattern, const QLocale& locale);
