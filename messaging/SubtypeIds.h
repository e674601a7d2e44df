#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// Event subtypes by name (the form datagrams carry) and by number (the form of the database log
// and the filter editor). The names are the access-control system's own identifiers, misspellings
// included; the numbers 197 and 198 are not used.
struct TSubtypeId {
    QStringView Name;
    int Id;
};

const std::array<TSubtypeId, 261>& SubtypeIds();

// The number of a subtype name, looked up in any letter case; nullopt for an unknown name.
std::optional<int> SubtypeId(QStringView name);
