// import: students or scores from an xlsx, xls or CSV file, through the same reading, checking and
// writing as the import window.

#include "Command.h"

#include "imports/Importer.h"
#include "imports/ReadError.h"

#include "store/Connection.h"

#include <QFileInfo>

using namespace imports;

namespace tools {

namespace {

int importFile(const QStringList& args, store::Connection* db)
{
    const QString what = args.value(0);
    const QString path = args.value(1);
    if ((what != "students" && what != "scores") || path.isEmpty() || path.startsWith("--"))
        return Usage;
    std::optional<Encoding> encoding;
    if (args.contains("--encoding")) {
        const QString name = optionValue(args, "--encoding").toLower();
        if (name == "gb18030" || name == "gbk")
            encoding = Encoding::Gb18030;
        else if (name == "utf-8" || name == "utf8")
            encoding = Encoding::Utf8;
        else
            return Usage;
    }
    const bool dryRun = args.contains("--dry-run");
    const bool allOrNothing = args.contains("--all-or-nothing");

    try {
        Importer importer(what == "students" ? Kind::Students : Kind::Scores, path, encoding);
        if (const QString missing = importer.mapping().missing(); !missing.isEmpty()) {
            printError(QStringLiteral("不能导入“%1”：%2").arg(QFileInfo(path).fileName(), missing));
            return told(Usage);
        }
        const Plan plan = importer.check(*db);
        for (int row = 0; row < plan.rows(); ++row)
            print(QStringLiteral("%1\t%2\t%3").arg(plan.line(row)).arg(verdictText(plan.verdict(row)), plan.reason(row)));
        const bool errors = plan.count(Verdict::Error) > 0;
        if (!dryRun) {
            Applier::Options options;
            options.allOrNothing = allOrNothing;
            options.source = QFileInfo(path).fileName();
            const Applier::Result result = Applier::apply(*db, plan, options);
            if (!result.stored)
                printError(QStringLiteral("有错误的行，按 --all-or-nothing 没有导入任何行。"));
        }
        print(plan.summary());
        return errors ? Refused : Ok;
    } catch (const ReadError& error) {
        printError(error.text());
        return told(Usage);
    }
}

} // namespace

const Command importCommand { "import", "import students|scores FILE [--encoding gb18030|utf-8] [--dry-run] [--all-or-nothing]",
    &importFile };

} // namespace tools
