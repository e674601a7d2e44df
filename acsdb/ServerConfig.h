#pragma once

#include <QString>

#include <optional>

// What the access-control server's own configuration file tells us about its database. The file
// belongs to the server; we only read it. <SqliteDatabase>, when present and not empty, names an
// SQLite file that stands in for SQL Server (demo installations and tests).
struct TServerConfig {
    QString SqlServerInstance;
    QString SqlServerLogin;
    QString SqlServerPassword; // empty when the element is empty or absent
    QString SqliteDatabase;    // absolute path, or empty for SQL Server

    bool operator==(const TServerConfig&) const = default;
};

// Result of reading server.config: the configuration, or why there is none.
struct TServerConfigRead {
    std::optional<TServerConfig> Config;
    bool Missing = false; // no file at the path
    QString Error;        // the file exists but is unreadable, not well-formed or has another root
};

// Reads the file at `path`. Relative <SqliteDatabase> paths are taken relative to its folder.
TServerConfigRead ReadServerConfig(const QString& path);
