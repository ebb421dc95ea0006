#pragma once

#include "ColumnMapping.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace imports {

// What an import does with a row of the file.
enum class Verdict : quint8 { New, Changed, Unchanged, Error };
// 新增, 修改, 无变化, 错误.
QString verdictText(Verdict verdict);

// A student row of the file as judged: the values it stores, by field (Field::Number up to
// Field::Remarks; department, class and status as their codes).
struct StudentEntry {
    int line = 0;
    Verdict verdict = Verdict::Error;
    quint32 given = 0;   // fields the file gives a value for (bit per Field)
    quint32 changed = 0; // of those, the ones whose stored value differs (Changed)
    QVector<QVariant> values;
    QVector<QVariant> before; // the stored values of the changed fields
};

// A score row of the file as judged, kept small: a file may have a million of them.
struct ScoreEntry {
    int line = 0;
    Verdict verdict = Verdict::Error;
    int student = -1; // in Plan::people
    int course = -1;  // in Plan::courses, -1 when the text names none
    int courseText = -1; // in Plan::courseTexts
    qint32 day = 0;   // the examination date as a Julian day, 0 when the cell is no date
    double score = 0;
    double before = 0;   // the stored score (Changed)
    qint64 existing = 0; // the 编号 of the stored row (Changed, Unchanged)
};

// A student a score file names, as stored (found) or not.
struct Person {
    QString number;
    bool found = false;
    QString name;
    QVariant department, classCode;
};

// A course of the catalogue.
struct Course {
    QString number, name;
    QVariant credits;
};

// The verdict on every row of a file, computed once from the file and the database. The preview
// shows it and the import applies exactly it: nothing about a row is decided twice.
class Plan {
public:
    Kind kind = Kind::Students;
    ColumnMapping mapping;
    QVector<StudentEntry> students;
    QVector<ScoreEntry> scores;
    QVector<Person> people;
    QVector<Course> courses;
    QStringList courseTexts;
    QHash<int, QString> errors; // by row (entry index): why it cannot be imported
    // Full names of the codes, to show a change of department, class or status.
    QHash<int, QString> departments, classes, statuses;

    int rows() const { return kind == Kind::Students ? int(students.size()) : int(scores.size()); }
    int line(int row) const;
    Verdict verdict(int row) const;
    int count(Verdict verdict) const;
    // What the preview and the command line say about a row: the reason for an error, the old
    // and the new value of every changed field for a change, nothing otherwise.
    QString reason(int row) const;
    // The row's key values as the preview lists them (学号 and 姓名; 学号, 课程, 成绩, 考试时间).
    static QStringList keyCaptions(Kind kind);
    QStringList keyValues(int row) const;
    // "新增 N，修改 N，无变化 N，错误 N".
    QString summary() const;

    // The text a field's stored value is shown as (a code by its full name).
    QString shown(Field field, const QVariant& value) const;
};

} // namespace imports
