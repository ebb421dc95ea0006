#pragma once

#include <QString>

// The import figures of orlenta-bench, each in a process of its own (for its peak memory):
//   what = students: 100,000 new students from an xlsx into an empty database, preview included
//   what = scores:   1,000,000 score rows from a CSV, for 50,000 students of the database
// beside the engine's own bulk insert of the same rows (the sqlite3 library, or COPY through
// libpq), into the same tables with the same indexes. `dir` holds the files and the data source.
int importBench(const QString& engine, const QString& dir, const QString& pgSocket, const QString& what);
