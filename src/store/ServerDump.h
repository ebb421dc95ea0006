#pragma once

#include <QString>

namespace store {

// Backups of a database on a PostgreSQL server, by the server's own tools: the program does not
// copy the server's data itself. pg_dump writes one consistent snapshot while everybody works;
// pg_restore puts it back in one transaction.
class ServerDump {
public:
    // The data source's connection settings, as the PostgreSQL tools take them.
    struct Settings {
        QString host, port, database, user, password, sslmode;
    };
    static Settings settingsOf(const QString& connectionString = QStringLiteral("DSN=Orlenta"));

    // Where a client tool (pg_dump, pg_restore) is: in the folder ORLENTA_PG_BIN names when that
    // is set, and only there; else on the PATH, then in the folders of Debian's PostgreSQL
    // packages, newest first. Empty when it is not installed.
    static QString findTool(const QString& name);

    // In Chinese, for the office: how the server's data is backed up and restored with the
    // server's own tools, and how to make that happen every day.
    static QString route(const Settings& settings);
    // In Chinese: pg_dump is not installed here, and how to get it.
    static QString missingTools();

    struct Dumped {
        QString file;
        qint64 bytes = 0;
        qint64 students = 0; // the rows of the snapshot that was dumped
        qint64 scores = 0;
        int tables = 0;      // tables of the program whose rows the dump holds
    };
    // Dumps the database of the data source into `target` with pg_dump (its custom format),
    // written beside the target and moved there when pg_restore has read the dump's table of
    // contents and found the rows of every table of the program. Throws DbError (with
    // missingTools() when pg_dump is not installed).
    static Dumped dump(const QString& target, const QString& connectionString = QStringLiteral("DSN=Orlenta"));
};

} // namespace store
