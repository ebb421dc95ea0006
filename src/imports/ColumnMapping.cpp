#include "ColumnMapping.h"

#include <QHash>

namespace imports {

ColumnMapping::ColumnMapping(Kind kind, const QStringList& captions)
    : m_kind(kind)
    , m_captions(captions)
    , m_fields(captions.size(), Field::None)
{
    // The first column of a caption wins; a later one with the same meaning stays unused.
    for (int i = 0; i < captions.size(); ++i) {
        const Field f = fieldOf(kind, captions[i]);
        if (f != Field::None && column(f) < 0)
            m_fields[i] = f;
    }
}

void ColumnMapping::setField(int column, Field field)
{
    if (column < 0 || column >= m_fields.size())
        return;
    if (field != Field::None)
        for (Field& f : m_fields)
            if (f == field)
                f = Field::None;
    m_fields[column] = field;
}

int ColumnMapping::column(Field field) const { return field == Field::None ? -1 : int(m_fields.indexOf(field)); }

QVector<Field> ColumnMapping::fieldsOf(Kind kind)
{
    if (kind == Kind::Scores)
        return { Field::Number, Field::Name, Field::Course, Field::Score, Field::Examined };
    return { Field::Number, Field::Name, Field::Sex, Field::Birth, Field::Native, Field::Phone, Field::Address,
        Field::Department, Field::Class, Field::Status, Field::Politics, Field::Remarks };
}

QVector<Field> ColumnMapping::required(Kind kind)
{
    if (kind == Kind::Scores)
        return { Field::Number, Field::Course, Field::Score, Field::Examined };
    return { Field::Number };
}

QString ColumnMapping::missing() const
{
    QStringList lacking;
    for (Field f : required(m_kind))
        if (column(f) < 0)
            lacking << QStringLiteral("“%1”").arg(name(f));
    return lacking.isEmpty() ? QString() : QStringLiteral("缺少%1列。").arg(lacking.join(QStringLiteral("、")));
}

QString ColumnMapping::name(Field field)
{
    switch (field) {
    case Field::None: return QStringLiteral("（不导入）");
    case Field::Number: return QStringLiteral("学号");
    case Field::Name: return QStringLiteral("姓名");
    case Field::Sex: return QStringLiteral("性别");
    case Field::Birth: return QStringLiteral("出生日期");
    case Field::Native: return QStringLiteral("籍贯");
    case Field::Phone: return QStringLiteral("联系电话");
    case Field::Address: return QStringLiteral("联系地址");
    case Field::Department: return QStringLiteral("院系");
    case Field::Class: return QStringLiteral("班级");
    case Field::Status: return QStringLiteral("学籍情况");
    case Field::Politics: return QStringLiteral("政治面貌");
    case Field::Remarks: return QStringLiteral("备注");
    case Field::Course: return QStringLiteral("课程");
    case Field::Score: return QStringLiteral("成绩");
    case Field::Examined: return QStringLiteral("考试时间");
    }
    return {};
}

Field ColumnMapping::fieldOf(Kind kind, const QString& caption)
{
    QString c = caption.simplified().remove(u' ');
    while (c.startsWith(u'*'))
        c.remove(0, 1);
    while (c.endsWith(u':') || c.endsWith(u'：') || c.endsWith(u'*'))
        c.chop(1);
    static const QHash<QString, Field> common {
        { "学号", Field::Number }, { "学生学号", Field::Number }, { "姓名", Field::Name }, { "学生姓名", Field::Name },
    };
    static const QHash<QString, Field> students {
        { "性别", Field::Sex }, { "出生日期", Field::Birth }, { "籍贯", Field::Native }, { "联系电话", Field::Phone },
        { "电话", Field::Phone }, { "联系地址", Field::Address }, { "地址", Field::Address },
        { "所在院系", Field::Department }, { "院系编号", Field::Department }, { "所在院系编号", Field::Department },
        { "院系", Field::Department }, { "所属学院", Field::Department }, { "学院", Field::Department },
        { "所在班级", Field::Class }, { "班级代码", Field::Class }, { "所在班级编号", Field::Class },
        { "班级", Field::Class }, { "学籍情况", Field::Status }, { "学籍", Field::Status },
        { "政治面貌", Field::Politics }, { "备注", Field::Remarks },
    };
    static const QHash<QString, Field> scores {
        { "课程名", Field::Course }, { "课程号", Field::Course }, { "课程", Field::Course }, { "课程名称", Field::Course },
        { "考试科目", Field::Course }, { "成绩", Field::Score }, { "分数", Field::Score }, { "考试时间", Field::Examined },
        { "考试日期", Field::Examined },
    };
    if (const auto it = common.constFind(c); it != common.constEnd())
        return *it;
    const auto& own = kind == Kind::Students ? students : scores;
    return own.value(c, Field::None);
}

} // namespace imports
