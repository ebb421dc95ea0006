#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace imports {

// What is imported: students, or scores.
enum class Kind { Students, Scores };

// The fields a file's columns can be taken as. The student fields are in the order of the
// student table's columns (without the password, which no file gives).
enum class Field {
    None = -1,
    Number,     // 学号
    Name,       // 姓名
    Sex,        // 性别
    Birth,      // 出生日期
    Native,     // 籍贯
    Phone,      // 联系电话
    Address,    // 联系地址
    Department, // 所在院系 (by code or full name)
    Class,      // 所在班级 (by code or full name)
    Status,     // 学籍情况 (by code or full name)
    Politics,   // 政治面貌
    Remarks,    // 备注
    Course,     // 课程 (by 课程名 or 课程号)
    Score,      // 成绩
    Examined,   // 考试时间
};
constexpr int kFieldCount = int(Field::Examined) + 1;

// How a file's columns are taken: for each column the field it gives, or none. Made from the
// captions of the file's first row and corrected by the user.
class ColumnMapping {
public:
    ColumnMapping() = default;
    ColumnMapping(Kind kind, const QStringList& captions);

    Kind kind() const { return m_kind; }
    const QStringList& captions() const { return m_captions; }
    int columnCount() const { return int(m_fields.size()); }

    Field field(int column) const { return m_fields.value(column, Field::None); }
    // Gives a column a field; a column that had that field before loses it.
    void setField(int column, Field field);
    // The column that gives a field, or -1.
    int column(Field field) const;

    // The fields that a file of this kind may give, in the order the mapping offers them.
    static QVector<Field> fieldsOf(Kind kind);
    // The fields without which no row can be checked.
    static QVector<Field> required(Kind kind);
    // The fields the file lacks of those, as a text for the user ("缺少“学号”列。"), or empty.
    QString missing() const;

    // The field's name as the user reads it ("学号", "所在班级", "课程"...).
    static QString name(Field field);
    // The field a caption stands for, or none: 所在院系 and 院系编号, 所在班级 and 班级代码, 课程名
    // and 课程号 and the like, with blanks, a trailing colon and a leading "*" ignored.
    static Field fieldOf(Kind kind, const QString& caption);

private:
    Kind m_kind = Kind::Students;
    QStringList m_captions;
    QVector<Field> m_fields;
};

} // namespace imports
