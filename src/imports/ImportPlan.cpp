#include "ImportPlan.h"

#include "store/Sql.h"
#include "store/Value.h"

namespace imports {

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::New: return QStringLiteral("新增");
    case Verdict::Changed: return QStringLiteral("修改");
    case Verdict::Unchanged: return QStringLiteral("无变化");
    case Verdict::Error: return QStringLiteral("错误");
    }
    return {};
}

int Plan::line(int row) const
{
    return kind == Kind::Students ? students.at(row).line : scores.at(row).line;
}

Verdict Plan::verdict(int row) const
{
    return kind == Kind::Students ? students.at(row).verdict : scores.at(row).verdict;
}

int Plan::count(Verdict v) const
{
    int n = 0;
    if (kind == Kind::Students) {
        for (const StudentEntry& e : students)
            n += e.verdict == v;
    } else {
        for (const ScoreEntry& e : scores)
            n += e.verdict == v;
    }
    return n;
}

QString Plan::summary() const
{
    return QStringLiteral("新增 %1，修改 %2，无变化 %3，错误 %4")
        .arg(count(Verdict::New))
        .arg(count(Verdict::Changed))
        .arg(count(Verdict::Unchanged))
        .arg(count(Verdict::Error));
}

QString Plan::shown(Field field, const QVariant& value) const
{
    if (value.isNull())
        return QString();
    const QHash<int, QString>* names = field == Field::Department ? &departments
        : field == Field::Class                                    ? &classes
        : field == Field::Status                                   ? &statuses
                                                                   : nullptr;
    if (names) {
        const auto it = names->constFind(value.toInt());
        return it != names->constEnd() ? *it : store::displayText(value);
    }
    return store::displayText(value);
}

QString Plan::reason(int row) const
{
    if (const auto it = errors.constFind(row); it != errors.constEnd())
        return *it;
    if (kind == Kind::Students) {
        const StudentEntry& e = students.at(row);
        if (e.verdict != Verdict::Changed)
            return {};
        QStringList parts;
        for (int f = 0; f < e.values.size(); ++f)
            if (e.changed & (1u << f))
                parts << QStringLiteral("%1：%2 → %3")
                             .arg(ColumnMapping::name(Field(f)), shown(Field(f), e.before.value(f)),
                                 shown(Field(f), e.values.value(f)));
        return parts.join(QStringLiteral("；"));
    }
    const ScoreEntry& e = scores.at(row);
    if (e.verdict != Verdict::Changed)
        return {};
    return QStringLiteral("成绩：%1 → %2").arg(store::displayText(e.before), store::displayText(e.score));
}

QStringList Plan::keyCaptions(Kind kind)
{
    if (kind == Kind::Students)
        return { QStringLiteral("学号"), QStringLiteral("姓名") };
    return { QStringLiteral("学号"), QStringLiteral("课程"), QStringLiteral("成绩"), QStringLiteral("考试时间") };
}

QStringList Plan::keyValues(int row) const
{
    if (kind == Kind::Students) {
        const StudentEntry& e = students.at(row);
        return { store::displayText(e.values.value(int(Field::Number))), store::displayText(e.values.value(int(Field::Name))) };
    }
    const ScoreEntry& e = scores.at(row);
    const QString number = e.student >= 0 ? people.at(e.student).number : QString();
    const QString course = e.course >= 0 ? courses.at(e.course).name : courseTexts.value(e.courseText);
    const bool scored = e.verdict != Verdict::Error || !errors.value(row).contains(QStringLiteral("成绩"));
    return { number, course, scored ? store::displayText(e.score) : QString(),
        e.day ? store::Sql::dateText(QDate::fromJulianDay(e.day)) : QString() };
}

} // namespace imports
