#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// Kazakh texts for seven event subtypes, written by the template code Mk.
struct TKzSubtypeName {
    QStringView Subtype;
    QStringView Text;
};

const std::array<TKzSubtypeName, 7>& KzSubtypeNames();

// The Kazakh text for a subtype name (any letter case), or nullopt for every other subtype.
std::optional<QString> KzSubtypeName(QStringView subtype);
