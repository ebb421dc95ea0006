#pragma once

#include <QString>
#include <functional>

namespace store {

class Connection;

// Creating a database for the program and filling it with demonstration data.
class Setup {
public:
    // Whether the program's tables are there already.
    static bool hasSchema(Connection& connection);

    // Every table with its keys and indexes, the code tables, the tables offered by the
    // user-defined query, and a first system administrator (admin / admin), in one transaction.
    static void init(Connection& connection);

    // The tables and indexes of the schema that a database made by an older version lacks.
    static void addMissing(Connection& connection);

    // Realistic data for the given number of students: classes, courses, about twenty scores
    // per student over several terms, awards, punishments and status changes, and the
    // placeholder rows every student entered by the program has. Progress goes to `say`.
    static void fillDemo(Connection& connection, int students, const std::function<void(const QString&)>& say = {});

    static int count(Connection& connection, const QString& table);
};

} // namespace store
