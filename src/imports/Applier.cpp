#include "Applier.h"

#include "store/BatchInsert.h"
#include "store/ChangeLog.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/NewRows.h"
#include "store/Sql.h"

#include <QDate>
#include <QScopeGuard>

namespace imports {

namespace {

using store::BatchInsert;
using store::ChangeLog;
using store::Connection;
using store::DbError;
namespace Sql = store::Sql;
using store::ColumnType;

constexpr int kProgressEvery = 500;

const QString kChangedMeanwhile
    = QStringLiteral("学号“%1”的数据在预览之后已被其他用户修改。为了与预览一致，本次导入没有保存任何数据，请重新检查后再导入。");

// The student table's columns for the fields Number..Remarks, and their types.
const char* const kStudentColumns[] = { "学号", "姓名", "性别", "出生日期", "籍贯", "联系电话", "联系地址", "所在院系编号",
    "所在班级编号", "学籍情况", "政治面貌", "备注" };
ColumnType studentType(int field)
{
    switch (Field(field)) {
    case Field::Birth: return ColumnType::Date;
    case Field::Department:
    case Field::Class:
    case Field::Status: return ColumnType::SmallInt;
    default: return ColumnType::Text;
    }
}

QString sameAs(Connection& db) { return db.engine() == store::Engine::SQLite ? QStringLiteral(" IS ") : QStringLiteral(" IS NOT DISTINCT FROM "); }

class Steps {
public:
    Steps(const Applier::Options& options, qint64 total)
        : m_progress(options.progress)
        , m_total(std::max<qint64>(1, total))
    {
    }
    void step()
    {
        if (++m_done % kProgressEvery == 0 && m_progress && !m_progress(double(m_done) / double(m_total)))
            throw Cancelled();
    }

private:
    const Progress& m_progress;
    qint64 m_total;
    qint64 m_done = 0;
};

} // namespace

Applier::Result Applier::apply(Connection& db, const Plan& plan, const Options& options)
{
    Result result;
    if (options.allOrNothing && plan.count(Verdict::Error) > 0)
        return result;
    // Every change record of the import names it: "host (导入 scores.xlsx)".
    const QString origin = ChangeLog::origin();
    ChangeLog::setOrigin(QStringLiteral("导入 %1").arg(options.source));
    const auto restore = qScopeGuard([&origin] { ChangeLog::setOrigin(origin); });
    try {
        store::Transaction transaction(db);
        ChangeLog::Batch records(db);
        if (plan.kind == Kind::Students)
            applyStudents(db, plan, options, records, result);
        else
            applyScores(db, plan, options, records, result);
        records.flush();
        if (options.progress && !options.progress(1.0))
            throw Cancelled();
        transaction.commit();
    } catch (const DbError& error) {
        if (!error.isRefusal())
            throw;
        throw DbError(QStringLiteral("导入没有完成，数据库没有任何改动。\n\n%1").arg(error.text()));
    }
    result.stored = true;
    return result;
}

void Applier::applyStudents(
    Connection& db, const Plan& plan, const Options& options, ChangeLog::Batch& records, Result& result)
{
    const QDate today = QDate::currentDate();
    QStringList columns;
    for (const char* c : kStudentColumns)
        columns << QString::fromUtf8(c);
    columns.insert(3, QStringLiteral("密码"));
    BatchInsert people(db, QStringLiteral("学生个人信息表"), columns);
    const auto shapes = store::NewRows::placeholders(QString(), today);
    std::vector<std::unique_ptr<BatchInsert>> placeholders;
    for (const auto& shape : shapes)
        placeholders.push_back(std::make_unique<BatchInsert>(db, shape.table, shape.columns));
    BatchInsert statusChanges(db, QStringLiteral("学籍变更信息表"), { QStringLiteral("学号"), QStringLiteral("变更代码"), QStringLiteral("记录时间") });

    Steps steps(options, plan.count(Verdict::New) + plan.count(Verdict::Changed));
    const QString same = sameAs(db);
    for (const StudentEntry& e : plan.students) {
        const QString number = e.values[int(Field::Number)].toString();
        if (e.verdict == Verdict::New) {
            QVector<QVariant> values = e.values;
            values.insert(3, store::NewRows::firstPassword(number));
            people.add(values);
            records.add(ChangeLog::inserted(people.table(), { columns, values }));
            const auto rows = store::NewRows::placeholders(number, today);
            for (size_t k = 0; k < placeholders.size(); ++k) {
                placeholders[k]->add(rows[k].values);
                records.add(ChangeLog::inserted(rows[k].table, { rows[k].columns, rows[k].values }));
            }
            ++result.added;
            steps.step();
        } else if (e.verdict == Verdict::Changed) {
            QStringList sets, match { QStringLiteral("学号 = ") + Sql::quote(number) }, changed;
            ChangeLog::Row before { { QStringLiteral("学号") }, { number } }, after = before;
            for (int f = 1; f < int(e.values.size()); ++f) {
                if (!(e.changed & (1u << f)))
                    continue;
                const QString column = QString::fromUtf8(kStudentColumns[f]);
                sets << column + QStringLiteral(" = ") + Sql::literal(e.values[f], studentType(f));
                match << column + same + Sql::literal(e.before[f], studentType(f));
                changed << column;
                before.fields << column;
                before.values << e.before[f];
                after.fields << column;
                after.values << e.values[f];
            }
            // Stored only if still as read: a colleague's change meanwhile stops the whole import.
            if (db.execute(QStringLiteral("UPDATE 学生个人信息表 SET %1 WHERE %2").arg(sets.join(", "), match.join(" AND "))) != 1)
                throw DbError(kChangedMeanwhile.arg(number));
            records.add(ChangeLog::updated(QStringLiteral("学生个人信息表"), before, after, changed));
            // A change of enrolment status goes into its history, as a save in the student window does.
            if (e.changed & (1u << int(Field::Status))) {
                const QVector<QVariant> history { number, e.values[int(Field::Status)], today };
                statusChanges.add(history);
                records.add(ChangeLog::inserted(QStringLiteral("学籍变更信息表"),
                    { { QStringLiteral("学号"), QStringLiteral("变更代码"), QStringLiteral("记录时间") }, history }));
            }
            ++result.changed;
            steps.step();
        }
    }
    people.flush();
    for (auto& insert : placeholders)
        insert->flush();
    statusChanges.flush();
}

void Applier::applyScores(
    Connection& db, const Plan& plan, const Options& options, ChangeLog::Batch& records, Result& result)
{
    const QStringList scoreColumns { QStringLiteral("学号"), QStringLiteral("课程名"), QStringLiteral("课程号"),
        QStringLiteral("成绩"), QStringLiteral("学分"), QStringLiteral("院系号"), QStringLiteral("班级号"),
        QStringLiteral("考试时间") };
    BatchInsert scores(db, QStringLiteral("学生成绩表"), scoreColumns);
    QVector<QVariant> credits;
    for (const Course& c : plan.courses) {
        try {
            credits << QVariant(int(store::NewRows::scoreCredits(c.credits)));
        } catch (const DbError&) {
            credits << QVariant();
        }
    }
    Steps steps(options, plan.count(Verdict::New) + plan.count(Verdict::Changed));
    const QString same = sameAs(db);
    for (const ScoreEntry& e : plan.scores) {
        if (e.verdict == Verdict::New) {
            const Person& p = plan.people[e.student];
            const Course& c = plan.courses[e.course];
            const QVector<QVariant> row { p.number, c.name, c.number, e.score, credits[e.course], p.department,
                p.classCode, QDate::fromJulianDay(e.day) };
            scores.add(row);
            records.add(ChangeLog::inserted(scores.table(), { scoreColumns, row }));
            ++result.added;
            steps.step();
        } else if (e.verdict == Verdict::Changed) {
            const QString statement = QStringLiteral("UPDATE 学生成绩表 SET 成绩 = %1 WHERE 编号 = %2 AND 成绩%3%4")
                                          .arg(Sql::literal(e.score, ColumnType::Real))
                                          .arg(e.existing)
                                          .arg(same, Sql::literal(e.before, ColumnType::Real));
            const QString number = plan.people[e.student].number;
            if (db.execute(statement) != 1)
                throw DbError(kChangedMeanwhile.arg(number));
            const QStringList fields { QStringLiteral("编号"), QStringLiteral("学号"), QStringLiteral("成绩") };
            records.add(ChangeLog::updated(QStringLiteral("学生成绩表"), { fields, { e.existing, number, e.before } },
                { fields, { e.existing, number, e.score } }, { QStringLiteral("成绩") }));
            ++result.changed;
            steps.step();
        }
    }
    scores.flush();
}

} // namespace imports
