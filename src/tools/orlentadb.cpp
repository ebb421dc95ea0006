// orlenta-db: creates, fills and looks after the program's database through the data source
// "Orlenta". Every command lives in a file of its own (Command.h lists them); this file only
// reads the command line and hands over.

#include "Command.h"

#include "store/ChangeLog.h"
#include "store/Connection.h"
#include "store/DbError.h"

#include <QCoreApplication>
#include <optional>

using namespace tools;

namespace {

// The commands in the order the usage lists them.
const Command* const commands[] = {
    &initCommand,
    &demoCommand,
    &statusCommand,
    &hashPasswordsCommand,
    &backupCommand,
    &restoreCommand,
    &importCommand,
};

QString usageText()
{
    QString text;
    for (const Command* command : commands)
        text += QString(text.isEmpty() ? "usage: " : "       ") + "orlenta-db " + QString::fromUtf8(command->usage) + '\n';
    text += "       orlenta-db --help | --version\n";
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orlenta-db"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORLENTA_VERSION));
    const QStringList args = app.arguments().mid(1);
    const QString name = args.value(0);
    // Asking for help or the version never needs the database.
    if (name == "--help" || name == "-h" || name == "help") {
        print(usageText().trimmed());
        return Ok;
    }
    if (name == "--version") {
        print(QStringLiteral("orlenta-db " ORLENTA_VERSION));
        return Ok;
    }
    const Command* command = nullptr;
    for (const Command* candidate : commands)
        if (name == QString::fromUtf8(candidate->name))
            command = candidate;
    if (!command) {
        printError(usageText().trimmed());
        return Usage;
    }
    store::ChangeLog::setUser(QStringLiteral("orlenta-db")); // who every change of the tool is recorded as
    try {
        std::optional<store::Connection> db;
        if (command->connects)
            db.emplace(QStringLiteral("DSN=Orlenta"),
                store::SessionOptions { .createMissingFile = command->createsDatabase, .statementTimeoutSeconds = 0 });
        const int status = command->run(args.mid(1), db ? &*db : nullptr);
        if (status < 0)
            return -status; // told by the command itself
        if (status == Usage)
            printError(usageText().trimmed());
        return status;
    } catch (const store::DbError& error) {
        printError("orlenta-db: " + error.text());
        return Refused;
    }
}
