#pragma once

#include <QString>

// Where the program's files live. PELORIN_COMMON_APPDATA, when set, stands for the machine-wide
// application data folder of Windows; otherwise that folder on Windows and $XDG_DATA_HOME
// (default ~/.local/share) elsewhere.
namespace Paths {

QString CommonAppDataDir();
QString SettingsDir();       // <common>/KestravaPelorin
QString SettingsFilePath();  // <common>/KestravaPelorin/Config.kvf
QString ServerConfigPath();  // <common>/Orlimont/Kestrava/server.config
QString AutostartFilePath(); // $XDG_CONFIG_HOME/autostart/KestravaPelorin.desktop

} // namespace Paths
