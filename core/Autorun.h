#pragma once

#include <QByteArray>
#include <QString>

// Start together with the user's session. On Windows: the value "KestravaPelorin" under the current
// user's Run key, holding the program's full path in double quotes. Elsewhere: the XDG autostart
// entry KestravaPelorin.desktop, whose Exec line is the program's full path in double quotes.
namespace Autorun {

// Whether the entry exists.
bool IsOn();

// Creates or replaces the entry for the program at `appPath`. Throws std::runtime_error when it
// cannot be written.
void SetOn(const QString& appPath);

// Removes the entry; a failed removal is ignored.
void SetOff();

// The XDG autostart entry for the program at `appPath`.
QByteArray DesktopEntry(const QString& appPath);

} // namespace Autorun
