#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The multi-line settings (filters, extra recipients) are read line by line: a line ends at CR, LF
// or CR LF, and the first "=" separates a line's name from its value.

struct TNameValue {
    QString Name;  // exactly as written: blanks before the "=" belong to it
    QString Value; // everything after the first "="
};

// The lines of a text; a CR LF pair ends one line, so no empty line appears between its halves.
QStringList SplitSettingLines(QStringView text);

// Name and value of a line, or nullopt when the line holds no "=".
std::optional<TNameValue> SplitNameValue(const QString& line);
