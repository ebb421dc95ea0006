#pragma once

// What the benchmark's parts share: printing figures, the database they are measured on, and
// running a part of the benchmark in a process of its own.

#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>

namespace bench {

// One line on standard output, flushed at once (a parent process reads it as it comes).
void say(const QString& text);
// A figure as `name value unit`.
void figure(const QString& name, double value, const char* unit);

QString buildDir();

// The database of `students` students on one engine ("sqlite" or "postgres"), made once and kept.
struct Setting {
    QString engine;
    int students = 100000;
    QString dir() const { return buildDir() + (engine == "sqlite" ? "/bench-cache" : "/bench-pg"); }
    QString sqliteFile() const { return dir() + QStringLiteral("/orlenta-%1.db").arg(students); }
    QString pgDatabase() const { return QStringLiteral("orlenta_bench_%1").arg(students); }
    QString pgSocket() const
    {
        QFile f(dir() + "/socket");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }
};

// Points the data source "Orlenta" of this process (and of the processes it starts) at a
// database of the engine: a SQLite file or a PostgreSQL database.
void pointDataSourceAt(const Setting& s, const QString& database, const QString& ini = QStringLiteral("odbc.ini"));
// Starts the engine's server where it has one, makes the database once and points the data
// source at it.
bool prepare(const Setting& s);
// This program again with `args`, each line of its output handed to `line` (or printed).
int runChild(const QStringList& args, const std::function<void(const QString&)>& line = {});

// The office: workstations as processes doing the windows' mix (Office.cpp).
int office(const QString& engine, int students, const QList<int>& workstations, int seconds, int thinkMs);
int officeWorkstation(const QStringList& args);

} // namespace bench
