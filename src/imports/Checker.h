#pragma once

#include "ImportPlan.h"

#include <functional>
#include <stdexcept>

namespace store {
class Connection;
}

namespace imports {

class TableReader;

// The user stopped a check or an import; nothing was stored.
class Cancelled : public std::runtime_error {
public:
    Cancelled()
        : std::runtime_error("cancelled")
    {
    }
};

// How far a long step is, from 0 to 1; answering false stops it (it then throws Cancelled).
using Progress = std::function<bool(double)>;

// Gives every row of a file its verdict. The rows are read once, in order; the database is asked
// in bulk (the code tables and the catalogue whole, students and their scores by the numbers the
// file names, some hundreds a statement), never once per row.
//
// Students: a number the table has is a change of the fields the file gives a value for (an empty
// cell leaves the stored value as it is); any other number is a new student, which needs a name, a
// sex, a department and a class, and gets the first enrolment status of the code table when the
// file gives none. Scores: a student, course and examination date the table has is a change of the
// score; any other is a new score. Two rows for the same student (or the same student, course and
// date) are both errors.
class Checker {
public:
    // `reader` stands after the file's header row. Throws store::DbError, ReadError, Cancelled.
    static Plan check(store::Connection& db, TableReader& reader, const ColumnMapping& mapping,
        const Progress& progress = {});

private:
    static void checkStudents(store::Connection& db, TableReader& reader, Plan& plan, const Progress& progress);
    static void checkScores(store::Connection& db, TableReader& reader, Plan& plan, const Progress& progress);
};

} // namespace imports
