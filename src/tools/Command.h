#pragma once

#include <QString>
#include <QStringList>

namespace store {
class Connection;
}

namespace tools {

// One command of orlenta-db: its name, the lines it adds to the usage, and what it does.
// `run` gets the arguments after the command's name and the session on the data source
// (opened before it is called, unless the command opens its own); it answers the exit status.
// The tool's sessions have no statement time-out: its bulk work may run for minutes.
struct Command {
    const char* name;
    const char* usage;
    int (*run)(const QStringList& args, store::Connection* db);
    bool connects = true; // false: run gets a null session and opens what it needs itself
    bool createsDatabase = false; // a SQLite data source's missing file is made, not refused
};

// Exit statuses shared by every command.
enum Exit { Ok = 0, Refused = 1, Usage = 2 };
// A status whose cause the command has told already: the usage is not printed after it.
constexpr int told(int status) { return -status; }

// A line on standard output (UTF-8), flushed, so that progress shows as it happens.
void print(const QString& text);
// A line on standard error.
void printError(const QString& text);
// The value after `option` in args (for "--students 10"), or empty.
QString optionValue(const QStringList& args, const QString& option);

// The commands, each group in a file of its own.
extern const Command initCommand;
extern const Command demoCommand;
extern const Command statusCommand;
extern const Command hashPasswordsCommand;
extern const Command backupCommand;
extern const Command restoreCommand;
extern const Command importCommand;

} // namespace tools
