#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace store {

// What a new student and a new score are stored with besides what the user gives: written by the
// new-student window, the score window's add and an import alike, from these definitions.
namespace NewRows {

// The first password of a new student: the student number itself.
QVariant firstPassword(const QString& number);

// A row stored with every new student, so that the score, award and punishment windows find it.
struct Row {
    QString table;
    QStringList columns;
    QVector<QVariant> values;
};
// In the order they are written: the punishment row and the award row (level 0), then the score
// row (course 0, score 0, examined today).
QVector<Row> placeholders(const QString& number, const QDate& today);

// The credits a new score row stores: the course's 学分 as a 16-bit whole number, rounded to the
// nearest, halves to the even one (2.5 -> 2, 3.5 -> 4). Throws DbError for a course without credits
// or with credits that do not fit.
qint16 scoreCredits(const QVariant& courseCredits);

} // namespace NewRows
} // namespace store
