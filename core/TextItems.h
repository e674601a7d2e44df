#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The one way this system cuts its texts (datagrams, names, templates, filters) into items.

// Items end at any character of `separators` or at the end of the text. Blanks and line breaks in
// front of an item are skipped. An apostrophe or a double quote opens a stretch that runs to the
// same mark (or the end) in which separators do not count; the marks stay in the item. Empty items
// are dropped.
QStringList SplitQuotedItems(QStringView text, QStringView separators);

// The text without the blanks and control characters (everything up to U+0020) at both ends.
QString TrimControls(QStringView text);
