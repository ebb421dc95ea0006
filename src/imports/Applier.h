#pragma once

#include "Checker.h"

#include "store/ChangeLog.h"

namespace imports {

// Writes what a plan says, and nothing else: the new rows and the changes of its rows judged
// new and changed, in batches, in one transaction. A new student is stored as the new-student
// window stores one (the first password, the placeholder rows), a new score as the score window's
// add stores one (the course's number and rounded credits, the student's department and class).
//
// A change is written only where the stored values are still those the plan was made from; if
// another user changed or added one of the rows meanwhile, nothing is stored and DbError says so.
// Every row written gets its change record in the same transaction, naming the import and its file.
// Cancelling through the progress, or any failure, stores nothing.
class Applier {
public:
    struct Options {
        bool allOrNothing = false; // with a row in error, store nothing
        Progress progress;
        QString source;            // the file's name, as the change records name the import
    };
    struct Result {
        bool stored = false; // false: all or nothing was asked and a row was in error
        int added = 0;
        int changed = 0;
    };
    static Result apply(store::Connection& db, const Plan& plan, const Options& options);

private:
    static void applyStudents(store::Connection& db, const Plan& plan, const Options& options,
        store::ChangeLog::Batch& records, Result& result);
    static void applyScores(store::Connection& db, const Plan& plan, const Options& options,
        store::ChangeLog::Batch& records, Result& result);
};

} // namespace imports
