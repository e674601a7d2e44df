#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Splits a template (or a filter definition) into its segments. A segment starts after blanks and
// line breaks and runs to the next "$", line break or the end; an apostrophe or a double quote opens
// a stretch, ended by the same mark or the end, in which "$" and line breaks do not count (the marks
// stay in the segment). Empty segments are dropped, so no segment starts with a blank and no line
// break ever lands in one.
QStringList SplitTemplateSegments(QStringView text);
