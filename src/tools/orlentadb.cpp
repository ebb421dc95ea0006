// orlenta-db: creates, fills and looks after the program's database through the data source
// "Orlenta". Every command lives in a file of its own (Command.h lists them); this file only
// reads the command line and hands over.

#include "Command.h"

#include "store/ChangeLog.h"
#include "store/Connection.h"
#include "store/DbError.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
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

// Whether args (after the command's name) fit the command's usage line: every option is one the
// line names, an option the line gives a value ("--students N") has one, a value written N is a
// whole number, every option outside brackets is given, and there are as many other arguments
// as the line names (FILE, students|scores).
// Checked before any session is opened, so that a mistyped option touches nothing.
bool fitsUsage(const QStringList& args, const char* usage)
{
    QStringList words = QString::fromUtf8(usage).split(' ', Qt::SkipEmptyParts).mid(1);
    words.removeAll(QStringLiteral("|"));
    QHash<QString, QString> options; // option -> the placeholder of its value, empty for a flag
    QSet<QString> required; // options outside brackets
    int positionals = 0;
    bool optional = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString word = words[i];
        const QString bare = QString(word).remove('[').remove(']');
        optional = optional || word.startsWith('[');
        if (bare.startsWith("--") && !optional)
            required.insert(bare);
        if (word.endsWith(']'))
            optional = false;
        if (!bare.startsWith("--")) {
            ++positionals;
            continue;
        }
        const bool takesValue = !word.endsWith(']') && i + 1 < words.size() && !words[i + 1].contains("--");
        QString placeholder;
        if (takesValue) {
            placeholder = QString(words[++i]).remove(']');
            optional = optional && !words[i].endsWith(']');
        }
        options.insert(bare, placeholder);
    }
    int given = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith('-') || arg == "-") {
            ++given;
            continue;
        }
        if (!options.contains(arg))
            return false;
        required.remove(arg);
        const QString placeholder = options.value(arg);
        if (placeholder.isEmpty())
            continue;
        if (i + 1 >= args.size() || args[i + 1].startsWith("--"))
            return false;
        const QString value = args[++i];
        if (placeholder == "N" && !QRegularExpression(QStringLiteral("^[0-9]+$")).match(value).hasMatch())
            return false;
    }
    return given == positionals && required.isEmpty();
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
    if (!command || !fitsUsage(args.mid(1), command->usage)) {
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
