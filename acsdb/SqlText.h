#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

// One statement as the lines it is written in, and the values bound to its ? placeholders in
// order. Values never become part of the text.
struct TSqlText {
    QStringList Lines;
    QVariantList Binds;

    QString Text() const { return Lines.join(u'\n'); }
};
