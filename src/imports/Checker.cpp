#include "Checker.h"

#include "CellValue.h"
#include "TableReader.h"

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/NewRows.h"
#include "store/Sql.h"
#include "store/Value.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace imports {

namespace {

using store::Connection;
namespace Sql = store::Sql;

constexpr int kStudentFields = int(Field::Remarks) + 1;
constexpr int kNumbersPerStatement = 500;

quint32 bit(Field f) { return 1u << int(f); }

QString quoted(const QString& text) { return QStringLiteral("“%1”").arg(text); }

// A code table by full name (trimmed) and by code.
struct Codes {
    QHash<QString, int> byName;
    QHash<int, QString> byCode;
    QVector<int> ordered;

    void load(Connection& db, const QString& table, const QString& codeColumn)
    {
        const auto rows = db.select(QStringLiteral("select %1, 全称 from %2 order by %1").arg(codeColumn, table));
        for (const auto& row : rows.rows) {
            const int code = row.value(0).toInt();
            const QString name = row.value(1).toString().trimmed();
            byCode.insert(code, name);
            ordered << code;
            if (!byName.contains(name))
                byName.insert(name, code);
        }
    }
    // A full name, or else a code: what a department or class column may hold.
    std::optional<int> find(const QString& text) const
    {
        if (const auto it = byName.constFind(text); it != byName.constEnd())
            return *it;
        bool ok = false;
        const int code = text.toInt(&ok);
        if (ok && byCode.contains(code))
            return code;
        return std::nullopt;
    }
};

bool isDigits(const QString& text)
{
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return !text.isEmpty();
}

// "第 5 行与第 19 行" / "第 5、19、23 行": the lines of a group of rows with the same key.
QString sameLines(QVector<int> lines)
{
    std::sort(lines.begin(), lines.end());
    if (lines.size() == 2)
        return QStringLiteral("第 %1 行与第 %2 行").arg(lines[0]).arg(lines[1]);
    QStringList parts;
    for (int l : lines)
        parts << QString::number(l);
    return QStringLiteral("第 %1 行").arg(parts.join(QStringLiteral("、")));
}

void addError(Plan& plan, int row, const QString& reason)
{
    QString& text = plan.errors[row];
    text = text.isEmpty() ? reason : text + QStringLiteral("；") + reason;
}

// The rows of a statement over many numbers, a few hundred numbers at a time.
void selectByNumbers(Connection& db, const QString& head, const QStringList& numbers,
    const std::function<void(const Connection::Rows&)>& each, const Progress& progress, double from, double to)
{
    for (qsizetype at = 0; at < numbers.size(); at += kNumbersPerStatement) {
        QStringList literals;
        for (qsizetype i = at; i < std::min(numbers.size(), at + kNumbersPerStatement); ++i)
            literals << Sql::quote(numbers[i]);
        const QString statement = head + QStringLiteral(" where 学号 in (") + literals.join(u',') + u')';
        each(db.engine() == store::Engine::PostgreSQL ? db.selectAll(statement) : db.select(statement));
        if (progress && !progress(from + (to - from) * double(at) / double(numbers.size())))
            throw Cancelled();
    }
}

// Reads the rows, telling progress by the part of the file read (the first 60 % of the work).
template <typename Each>
void readRows(TableReader& reader, const Progress& progress, Each each)
{
    SourceRow row;
    int n = 0;
    while (reader.next(row)) {
        each(row);
        if (progress && ++n % 2000 == 0 && !progress(0.6 * reader.progress()))
            throw Cancelled();
    }
}

} // namespace

Plan Checker::check(Connection& db, TableReader& reader, const ColumnMapping& mapping, const Progress& progress)
{
    Plan plan;
    plan.kind = mapping.kind();
    plan.mapping = mapping;
    if (plan.kind == Kind::Students)
        checkStudents(db, reader, plan, progress);
    else
        checkScores(db, reader, plan, progress);
    if (progress)
        progress(1.0);
    return plan;
}

void Checker::checkStudents(Connection& db, TableReader& reader, Plan& plan, const Progress& progress)
{
    Codes departments, classes, statuses;
    departments.load(db, QStringLiteral("院系代码表"), QStringLiteral("学院编码"));
    classes.load(db, QStringLiteral("班级代码表"), QStringLiteral("班级代码"));
    statuses.load(db, QStringLiteral("学籍变更代码表"), QStringLiteral("代码"));
    plan.departments = departments.byCode;
    plan.classes = classes.byCode;
    plan.statuses = statuses.byCode;
    const ColumnMapping& mapping = plan.mapping;

    static const QStringList sexes { QStringLiteral("男"), QStringLiteral("女") };
    static const QStringList politics { QStringLiteral("群众"), QStringLiteral("团员"), QStringLiteral("党员") };

    readRows(reader, progress, [&](const SourceRow& row) {
        StudentEntry e;
        e.line = row.line;
        e.values.resize(kStudentFields);
        const int index = int(plan.students.size());
        QStringList reasons;
        for (int f = 0; f < kStudentFields; ++f) {
            const Field field = Field(f);
            const int column = mapping.column(field);
            if (column < 0)
                continue;
            const QVariant cell = row.cells.value(column);
            const QString text = CellValue::text(cell);
            if (text.isEmpty())
                continue;
            const QString name = ColumnMapping::name(field);
            QVariant value = text;
            switch (field) {
            case Field::Number:
                if (!isDigits(text))
                    reasons << QStringLiteral("学号%1只能由数字组成").arg(quoted(text));
                break;
            case Field::Sex:
                if (!sexes.contains(text))
                    reasons << QStringLiteral("性别%1应为“男”或“女”").arg(quoted(text));
                break;
            case Field::Politics:
                if (!politics.contains(text))
                    reasons << QStringLiteral("政治面貌%1应为群众、团员或党员").arg(quoted(text));
                break;
            case Field::Birth:
                if (const auto date = CellValue::date(cell))
                    value = *date;
                else
                    reasons << QStringLiteral("出生日期%1不是日期").arg(quoted(text));
                break;
            case Field::Department:
            case Field::Class:
            case Field::Status: {
                const Codes& codes = field == Field::Department ? departments : field == Field::Class ? classes : statuses;
                if (const auto code = codes.find(text))
                    value = *code;
                else
                    reasons << QStringLiteral("%1%2不存在").arg(name, quoted(text));
                break;
            }
            default: break;
            }
            e.values[f] = value;
            e.given |= bit(field);
        }
        if (!(e.given & bit(Field::Number)))
            reasons.prepend(QStringLiteral("学号为空"));
        if (!reasons.isEmpty())
            plan.errors.insert(index, reasons.join(QStringLiteral("；")));
        plan.students.push_back(std::move(e));
    });

    // Two rows of one file for one student: both are errors, neither wins.
    QHash<QString, QVector<int>> byNumber;
    for (int i = 0; i < plan.students.size(); ++i)
        if (plan.students[i].given & bit(Field::Number))
            byNumber[plan.students[i].values[int(Field::Number)].toString()] << i;
    QStringList numbers;
    numbers.reserve(byNumber.size());
    for (auto it = byNumber.cbegin(); it != byNumber.cend(); ++it) {
        if (isDigits(it.key()))
            numbers << it.key();
        if (it->size() < 2)
            continue;
        QVector<int> lines;
        for (int i : *it)
            lines << plan.students[i].line;
        const QString reason = sameLines(lines) + QStringLiteral("的学号相同");
        for (int i : *it)
            addError(plan, i, reason);
    }

    // The stored students the file names, read a few hundred a statement.
    QHash<QString, QVector<QVariant>> stored;
    selectByNumbers(
        db, QStringLiteral("select 学号, 姓名, 性别, 出生日期, 籍贯, 联系电话, 联系地址, 所在院系编号, 所在班级编号, 学籍情况, 政治面貌, 备注 from 学生个人信息表"),
        numbers,
        [&](const Connection::Rows& rows) {
            for (const auto& row : rows.rows)
                stored.insert(row.value(0).toString(), row);
        },
        progress, 0.6, 0.9);

    const bool hasStatus = !statuses.ordered.isEmpty();
    const int firstStatus = hasStatus ? statuses.ordered.first() : 0;
    for (int i = 0; i < plan.students.size(); ++i) {
        StudentEntry& e = plan.students[i];
        const auto found = (e.given & bit(Field::Number)) ? stored.constFind(e.values[int(Field::Number)].toString())
                                                          : stored.constEnd();
        if (found != stored.constEnd()) {
            e.before.resize(kStudentFields);
            for (int f = 1; f < kStudentFields; ++f) {
                if (!(e.given & (1u << f)))
                    continue;
                const QVariant& old = found->value(f);
                bool same;
                if (Field(f) == Field::Birth)
                    same = old.toDate() == e.values[f].toDate() && !old.isNull();
                else if (Field(f) == Field::Department || Field(f) == Field::Class || Field(f) == Field::Status)
                    same = !old.isNull() && old.toInt() == e.values[f].toInt();
                else
                    same = store::displayText(old).trimmed() == e.values[f].toString();
                if (!same) {
                    e.changed |= 1u << f;
                    e.before[f] = old;
                }
            }
            if (!plan.errors.contains(i))
                e.verdict = e.changed ? Verdict::Changed : Verdict::Unchanged;
            continue;
        }
        // A new student: what the new-student window cannot save without.
        QStringList reasons;
        for (Field f : { Field::Name, Field::Sex, Field::Department, Field::Class })
            if (!(e.given & bit(f)))
                reasons << ColumnMapping::name(f) + QStringLiteral("为空");
        if (!(e.given & bit(Field::Status))) {
            if (hasStatus)
                e.values[int(Field::Status)] = firstStatus;
            else
                reasons << QStringLiteral("学籍情况为空");
        }
        for (Field f : { Field::Native, Field::Phone, Field::Address, Field::Politics, Field::Remarks })
            if (!(e.given & bit(f)))
                e.values[int(f)] = QString();
        if (!reasons.isEmpty())
            addError(plan, i, reasons.join(QStringLiteral("；")));
        if (!plan.errors.contains(i))
            e.verdict = Verdict::New;
    }
}

void Checker::checkScores(Connection& db, TableReader& reader, Plan& plan, const Progress& progress)
{
    const ColumnMapping& mapping = plan.mapping;
    const int numberColumn = mapping.column(Field::Number);
    const int nameColumn = mapping.column(Field::Name);
    const int courseColumn = mapping.column(Field::Course);
    const int scoreColumn = mapping.column(Field::Score);
    const int dateColumn = mapping.column(Field::Examined);

    QHash<QString, int> personOf, courseTextOf, nameOf;
    QStringList names;
    QVector<int> rowName; // the name each row gives, in `names`, -1 for none

    readRows(reader, progress, [&](const SourceRow& row) {
        ScoreEntry e;
        e.line = row.line;
        const int index = int(plan.scores.size());
        QStringList reasons;
        const QString number = CellValue::text(row.cells.value(numberColumn));
        if (number.isEmpty()) {
            reasons << QStringLiteral("学号为空");
        } else {
            auto it = personOf.constFind(number);
            if (it == personOf.constEnd()) {
                it = personOf.insert(number, int(plan.people.size()));
                Person person;
                person.number = number;
                plan.people.push_back(person);
            }
            e.student = *it;
        }
        const QString course = CellValue::text(row.cells.value(courseColumn));
        if (course.isEmpty()) {
            reasons << QStringLiteral("课程为空");
        } else {
            auto it = courseTextOf.constFind(course);
            if (it == courseTextOf.constEnd()) {
                it = courseTextOf.insert(course, int(plan.courseTexts.size()));
                plan.courseTexts << course;
            }
            e.courseText = *it;
        }
        const QVariant scoreCell = row.cells.value(scoreColumn);
        if (const auto score = CellValue::number(scoreCell))
            e.score = *score;
        else if (CellValue::text(scoreCell).isEmpty())
            reasons << QStringLiteral("成绩为空");
        else
            reasons << QStringLiteral("成绩%1不是数字").arg(quoted(CellValue::text(scoreCell)));
        const QVariant dateCell = row.cells.value(dateColumn);
        if (const auto date = CellValue::date(dateCell))
            e.day = qint32(date->toJulianDay());
        else if (CellValue::text(dateCell).isEmpty())
            reasons << QStringLiteral("考试时间为空");
        else
            reasons << QStringLiteral("考试时间%1不是日期").arg(quoted(CellValue::text(dateCell)));
        int name = -1;
        if (nameColumn >= 0) {
            const QString given = CellValue::text(row.cells.value(nameColumn));
            if (!given.isEmpty()) {
                auto it = nameOf.constFind(given);
                if (it == nameOf.constEnd()) {
                    it = nameOf.insert(given, int(names.size()));
                    names << given;
                }
                name = *it;
            }
        }
        rowName << name;
        if (!reasons.isEmpty())
            plan.errors.insert(index, reasons.join(QStringLiteral("；")));
        plan.scores.push_back(e);
    });

    // The catalogue: a course by its name, else by its number.
    QHash<QString, QVector<int>> byName;
    QHash<QString, int> byNumber;
    QVector<std::optional<qint16>> credits;
    for (const auto& row : db.select(QStringLiteral("select 课程号, 课程名, 学分 from 学生课程表 order by 课程号")).rows) {
        Course c { store::displayText(row.value(0)), row.value(1).toString(), row.value(2) };
        byName[c.name.trimmed()] << int(plan.courses.size());
        byNumber.insert(c.number.trimmed(), int(plan.courses.size()));
        try {
            credits << store::NewRows::scoreCredits(c.credits);
        } catch (const store::DbError&) {
            credits << std::nullopt;
        }
        plan.courses << c;
    }
    QVector<int> courseOfText(plan.courseTexts.size(), -1);
    QVector<QString> courseTextError(plan.courseTexts.size());
    for (int t = 0; t < plan.courseTexts.size(); ++t) {
        const QString& text = plan.courseTexts[t];
        const auto named = byName.constFind(text);
        if (named != byName.constEnd() && named->size() > 1) {
            courseTextError[t] = QStringLiteral("课程名%1对应多门课程，请改用课程号").arg(quoted(text));
            continue;
        }
        const int course = named != byName.constEnd() ? named->first() : byNumber.value(text, -1);
        if (course < 0)
            courseTextError[t] = QStringLiteral("课程%1不存在").arg(quoted(text));
        else if (!credits[course])
            courseTextError[t] = QStringLiteral("课程%1没有有效的学分").arg(quoted(text));
        else
            courseOfText[t] = course;
    }

    // The students the file names, and their stored scores.
    QStringList numbers;
    for (const Person& p : std::as_const(plan.people))
        if (isDigits(p.number))
            numbers << p.number;
    selectByNumbers(
        db, QStringLiteral("select 学号, 姓名, 所在院系编号, 所在班级编号 from 学生个人信息表"), numbers,
        [&](const Connection::Rows& rows) {
            for (const auto& row : rows.rows) {
                const auto it = personOf.constFind(row.value(0).toString());
                if (it == personOf.constEnd())
                    continue;
                Person& p = plan.people[*it];
                p.found = true;
                p.name = row.value(1).toString().trimmed();
                p.department = row.value(2);
                p.classCode = row.value(3);
            }
        },
        progress, 0.6, 0.7);
    QStringList found;
    for (const Person& p : std::as_const(plan.people))
        if (p.found)
            found << p.number;
    // A stored score by student, course (by its name: the rows keep a copy of it) and date.
    struct Stored {
        int student, course;
        qint32 day;
        qint64 id;
        double score;
    };
    auto keyLess = [](const auto& a, const auto& b) {
        return std::tie(a.student, a.course, a.day) < std::tie(b.student, b.course, b.day);
    };
    std::vector<Stored> stored;
    selectByNumbers(
        db, QStringLiteral("select 学号, 课程名, 考试时间, 编号, 成绩 from 学生成绩表"), found,
        [&](const Connection::Rows& rows) {
            for (const auto& row : rows.rows) {
                const auto named = byName.constFind(row.value(1).toString().trimmed());
                if (named == byName.constEnd() || row.value(2).isNull())
                    continue;
                stored.push_back({ personOf.value(row.value(0).toString(), -1), named->first(),
                    qint32(row.value(2).toDate().toJulianDay()), row.value(3).toLongLong(), row.value(4).toDouble() });
            }
        },
        progress, 0.7, 0.9);
    std::sort(stored.begin(), stored.end(), keyLess);

    // Each row's course, student and name; then duplicates within the file.
    for (int i = 0; i < plan.scores.size(); ++i) {
        ScoreEntry& e = plan.scores[i];
        QStringList reasons;
        if (e.student >= 0) {
            const Person& p = plan.people[e.student];
            if (!isDigits(p.number))
                reasons << QStringLiteral("学号%1只能由数字组成").arg(quoted(p.number));
            else if (!p.found)
                reasons << QStringLiteral("学号%1的学生不存在").arg(quoted(p.number));
            else if (rowName[i] >= 0 && names[rowName[i]] != p.name)
                reasons << QStringLiteral("姓名%1与学号%2的学生%3不符").arg(quoted(names[rowName[i]]), quoted(p.number), quoted(p.name));
        }
        if (e.courseText >= 0) {
            e.course = courseOfText[e.courseText];
            if (e.course < 0)
                reasons << courseTextError[e.courseText];
        }
        if (!reasons.isEmpty())
            addError(plan, i, reasons.join(QStringLiteral("；")));
    }
    // Stored rows keep the course's name: rows are the same course when their courses share a name.
    QVector<int> sameCourse(plan.courses.size());
    for (int c = 0; c < plan.courses.size(); ++c)
        sameCourse[c] = byName.value(plan.courses[c].name.trimmed()).value(0, c);
    auto courseKey = [&](const ScoreEntry& e) { return sameCourse[e.course]; };
    std::vector<int> order;
    for (int i = 0; i < plan.scores.size(); ++i) {
        const ScoreEntry& e = plan.scores[i];
        if (e.student >= 0 && e.course >= 0 && e.day > 0)
            order.push_back(i);
    }
    auto entryLess = [&](int a, int b) {
        const ScoreEntry& x = plan.scores[a];
        const ScoreEntry& y = plan.scores[b];
        const int cx = courseKey(x), cy = courseKey(y);
        return std::tie(x.student, cx, x.day, x.line) < std::tie(y.student, cy, y.day, y.line);
    };
    std::sort(order.begin(), order.end(), entryLess);
    for (size_t at = 0; at < order.size();) {
        const ScoreEntry& first = plan.scores[order[at]];
        size_t end = at + 1;
        while (end < order.size() && plan.scores[order[end]].student == first.student
            && courseKey(plan.scores[order[end]]) == courseKey(first) && plan.scores[order[end]].day == first.day)
            ++end;
        if (end - at > 1) {
            QVector<int> lines;
            for (size_t k = at; k < end; ++k)
                lines << plan.scores[order[k]].line;
            const QString reason = sameLines(lines) + QStringLiteral("的学号、课程和考试时间相同");
            for (size_t k = at; k < end; ++k)
                addError(plan, order[k], reason);
        }
        at = end;
    }

    // New, changed or unchanged, against the stored scores.
    for (int i = 0; i < plan.scores.size(); ++i) {
        ScoreEntry& e = plan.scores[i];
        if (plan.errors.contains(i))
            continue;
        const Stored probe { e.student, courseKey(e), e.day, 0, 0 };
        const auto range = std::equal_range(stored.begin(), stored.end(), probe, keyLess);
        const auto matches = range.second - range.first;
        if (matches == 0) {
            e.verdict = Verdict::New;
        } else if (matches > 1) {
            addError(plan, i,
                QStringLiteral("已有 %1 条该学生该课程同一考试时间的成绩，无法确定修改哪一条").arg(matches));
        } else {
            e.existing = range.first->id;
            e.before = range.first->score;
            e.verdict = e.before == e.score ? Verdict::Unchanged : Verdict::Changed;
        }
    }
}

} // namespace imports
