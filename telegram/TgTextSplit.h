#pragma once

#include <QString>
#include <QStringList>

// Telegram refuses a message text longer than 4096 characters (UTF-16 code units).
constexpr qsizetype kTgMaxText = 4096;

// Cuts a text into pieces of at most `limit` characters, so that a long event text arrives as
// several messages instead of being refused. A piece ends at the last line break that fits (the
// break itself, LF or CR LF, is dropped); without one, at the last blank; without one, at the
// limit, never between the two halves of a surrogate pair. Pieces of blanks and line breaks only
// are left out. A text within the limit, the empty text included, comes back as the only piece.
QStringList SplitTgText(const QString& text, qsizetype limit = kTgMaxText);
