#pragma once

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace store {

// Copies of an embedded (SQLite) database that an office can count on, and putting one back.
//
// A copy is read in one read transaction on the database from start to end, so that it holds
// the records of one moment while colleagues go on saving: in write-ahead-log mode a reader never
// blocks a writer, and a writer never changes what that reader sees. The copy is written beside
// its target under a name of its own, checked (the engine's integrity check, then the tables and
// columns the program needs) and moved over the target only when whole and sound.
//
// A restore replaces the whole database in one write transaction: a session that reads meanwhile
// sees the old records or the new ones, never a mix. A copy of the database as it was is kept
// first, in the backup folder beside it.
//
// Every function works on the files themselves, through the sqlite3 library, and may run on a
// thread of its own.
class Backup {
public:
    // What a database file holds, and whether it is a sound database of the program.
    struct Contents {
        QString file;
        bool exists = false;
        bool sound = false;
        QString problem;        // why it is not, in Chinese
        QStringList tablesToAdd; // tables added to the program since this file was made
        QVector<qint64> counts; // the rows of each of countedTables(), when they could be read
        QDateTime modified;
        qint64 bytes = 0;

        qint64 students() const { return counts.value(0, -1); }
        qint64 scores() const { return counts.value(1, -1); }
    };

    // How far the work is: per mille of the pages copied, or -1 while a file is checked. Answering
    // false stops it: Cancelled is thrown, nothing is left behind and nothing is changed.
    using Progress = std::function<bool(int permille)>;
    struct Cancelled { };

    // The tables whose rows a copy is described by, students and scores first.
    static const QStringList& countedTables();
    // "学生 2000 人", "成绩 38000 条"... for the table at `index` of countedTables().
    static QString describeCount(int index, qint64 rows);

    // Reads a file without changing it: the integrity check, the tables and columns, the counts.
    // A file that is missing, foreign or damaged is told in `problem`, not thrown.
    static Contents inspect(const QString& file, const Progress& progress = {});

    // A consistent copy of `database` at `target`, checked before it is moved there. Throws
    // DbError when the database cannot be read, the target cannot be written or the copy is not
    // sound (no file is left then, and an older file at `target` stays as it was).
    static Contents copy(const QString& database, const QString& target, const Progress& progress = {});

    // Replaces `database` with the sound database `file`. Throws DbError, with nothing changed,
    // when `file` is not sound or another writer holds the database past the wait.
    struct Restored {
        Contents restored;
        QString keptCopy; // the database as it was, or empty when there was none
    };
    static Restored restore(const QString& file, const QString& database, const Progress& progress = {});

    // The folder of copies beside a database: <its folder>/备份.
    static QString folderOf(const QString& database);
    static QString dailyName(const QDate& day); // orlenta-2024-05-31.db

    // The day's copy: made into folderOf(database) unless that day has one already, then the
    // dated copies there are pruned to keptDays(). Throws DbError when the copy cannot be made.
    struct Daily {
        QString made;        // the copy made, or empty when the day had one
        QStringList removed; // older copies pruned
    };
    static Daily daily(const QString& database, const QDate& today, const Progress& progress = {});

    // Of the days that have a dated copy, those whose copy stays: the 7 newest, and besides them
    // the newest copy of each of the 4 newest weeks (Monday to Sunday) among the older ones.
    static QSet<QDate> keptDays(const QVector<QDate>& days);

    // What the current database and a file hold, side by side, as a restore shows it.
    static QString comparison(const Contents& current, const Contents& file);
};

} // namespace store
