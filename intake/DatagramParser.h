#pragma once

#include "core/BotTypes.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// The datagram text: comma- or line-separated items "Name:value". Quote marks open stretches in
// which separators do not count; the marks stay in the value. Lookups are pure functions so that
// both the listener and the template preview use exactly the same rules.

// Splits the text into its non-empty items.
QStringList SplitDatagramItems(const QString& text);

// The value of the first item whose name (any letter case) is followed directly by a colon,
// trimmed; nullopt when no item names the field.
std::optional<QString> DatagramField(const QStringList& items, const QString& name);

// "DateTime": a date and an optional time in the regional formats of the locale (ISO 8601 is
// accepted as well); nullopt when the text is empty or does not convert.
std::optional<QDateTime> ParseRegionalDateTime(const QString& text, const QLocale& locale);

// "IsKeyEvent": a number (regional decimal separator) is true when not zero; else "True" or
// "False" in any letter case; nullopt otherwise.
std::optional<bool> ParseKeyEventFlag(const QString& text, const QLocale& locale);

// Why a datagram produced no event.
struct TDatagramError {
    QString Field; // "DateTime" or "IsKeyEvent"
    QString Message;
};

// Puts every field the text carries over the given event. Fields the text does not carry keep
// their values; when `requireAll` is set, a missing DateTime or IsKeyEvent is an error too.
// Returns the first conversion error, if any (the event is then partly filled).
std::optional<TDatagramError> ApplyDatagram(const QString& text, const QLocale& locale, TMes& mes,
                                            bool requireAll);

// A complete event from one datagram, or nullopt when DateTime or IsKeyEvent does not convert.
std::optional<TMes> ParseDatagram(const QString& text, const QLocale& locale);
