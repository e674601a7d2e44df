#pragma once

#include "core/BotTypes.h"

#include <QLocale>
#include <QString>

// The template language of the Telegram and SMS messages. A template is a row of segments, each
// introduced by "$": a two-letter code, "&" and an argument that runs to the next "$".
//   Fn Ln Sn  first, last, middle name and a blank     Fw Lw Sw  the initial and ". "
//   Dn        device name and a blank                   Mn        event text and a blank
//   Mk        Kazakh subtype text and a blank           Wt        temperature and a blank, if measured
//   Ww        the argument as it stands                 Dy Dm Dd Th Tn  the date-time by the argument
// Codes are compared with their letter case; anything else contributes nothing.

// Used in place of an empty template.
QString DefaultMessTemplate();

// The text of one event by a template, in the given regional settings. Never fails; the result is
// not trimmed.
QString FormatMes(const TMes& mes, const QString& templ, const QLocale& locale = QLocale::system());

// Tenths of a degree as degrees with one decimal, grouped by thousands: 372 is "37,2" in Russian.
QString FormatTemperature(int tenths, const QLocale& locale);

// The event templates are tried on: Иванов Иван Иванович at the Турникет, "Вход",
// 14 November 2024 13:30:00, temperature measured, 37.2.
TMes SampleMes();
