#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVector>

namespace store {

class Connection;

// What a student's transcript shows: the student, with department, class and enrolment status by
// full name, every score row in examination-date order (rows without a date last, the placeholder
// row of a new student left out), and the totals, computed by the database.
struct StudentTranscript {
    struct Score {
        QString course;
        QString courseNumber;
        QVariant score;   // a number, or null
        QVariant credits; // a number, or null
        QDate date;       // invalid when the row has none
    };

    bool found = false;
    QString number;
    QString name;
    QString sex;
    QDate birthDate;
    QString department;
    QString className;
    QString status;
    QVector<Score> scores;
    // 修读学分: the credits of every row, a course taken twice counted twice, failed and ungraded
    // ones included.
    double creditsTaken = 0;
    // 已获学分: the credits of each course once, where its best score is 60 or more.
    double creditsEarned = 0;
    QVariant average;         // the mean score; null without scores
    QVariant weightedAverage; // the mean score weighted by credits; null without credits

    // Reads the transcript of the student with this number; `found` is false when there is none.
    static StudentTranscript read(Connection& connection, const QString& number);

    // The statements it runs, for the student with this number.
    static QString studentStatement(const QString& number);
    static QString scoresStatement(const QString& number);
    static QString totalsStatement(const QString& number);
    static QString earnedStatement(const QString& number);
};

} // namespace store
