#include "RowCounts.h"

#include "ChangeLog.h"
#include "Connection.h"
#include "DbError.h"
#include "Schema.h"
#include "Sql.h"

#include <algorithm>

namespace store {

namespace {

QString insertTrigger(const QString& table) { return table + QStringLiteral("_计行增"); }

bool hasTrigger(Connection& db, const QString& table)
{
    return db.select(QStringLiteral("select count(*) from pg_trigger where tgrelid = %1::regclass and tgname = %2")
                         .arg(Sql::quote(table), Sql::quote(insertTrigger(table))))
               .rows.value(0)
               .value(0)
               .toInt()
        > 0;
}

} // namespace

const QString& RowCounts::table()
{
    static const QString name = QStringLiteral("表行数");
    return name;
}

void RowCounts::install(Connection& db)
{
    if (db.engine() != Engine::PostgreSQL)
        return;
    // Nothing to make: nothing is asked of the server that only the tables' owner may do, so that
    // init --if-missing run again as another role changes nothing, as before.
    const auto counted = [&db](const Table& t) { return t.name == ChangeLog::table() || hasTrigger(db, t.name); };
    if (present(db) && std::all_of(Schema::tables().begin(), Schema::tables().end(), counted))
        return;
    Transaction transaction(db);
    db.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS 表行数 (表名 text NOT NULL, 行数 bigint NOT NULL)"));
    db.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS 表行数_表名 ON 表行数 (表名)"));
    // One function for every table: the statement's rows are its transition table.
    db.execute(QStringLiteral("CREATE OR REPLACE FUNCTION 表行数_增() RETURNS trigger LANGUAGE plpgsql AS "
                              "'BEGIN INSERT INTO 表行数 (表名, 行数) SELECT TG_TABLE_NAME, count(*) FROM 新行 "
                              "HAVING count(*) > 0; RETURN NULL; END'"));
    db.execute(QStringLiteral("CREATE OR REPLACE FUNCTION 表行数_减() RETURNS trigger LANGUAGE plpgsql AS "
                              "'BEGIN INSERT INTO 表行数 (表名, 行数) SELECT TG_TABLE_NAME, -count(*) FROM 旧行 "
                              "HAVING count(*) > 0; RETURN NULL; END'"));
    // An emptied table has no parts. The lock waits for any reader folding parts, whose sum
    // would otherwise come back after the parts are gone.
    db.execute(QStringLiteral("CREATE OR REPLACE FUNCTION 表行数_清() RETURNS trigger LANGUAGE plpgsql AS "
                              "'BEGIN LOCK TABLE 表行数 IN SHARE ROW EXCLUSIVE MODE; "
                              "DELETE FROM 表行数 WHERE 表名 = TG_TABLE_NAME; RETURN NULL; END'"));
    // A table's count as the caller's snapshot has it: the sum of its parts where its triggers
    // keep them, else counted by the engine. A function, so that the planner of the statement
    // that asks never weighs (or compiles code for) the count of a whole table it does not make.
    db.execute(QStringLiteral("CREATE OR REPLACE FUNCTION 表行数_计数(表 text) RETURNS bigint LANGUAGE plpgsql STABLE AS "
                              "'DECLARE n bigint; BEGIN "
                              "IF EXISTS (SELECT FROM pg_trigger WHERE tgrelid = 表::regclass AND tgname = 表 || ''_计行增'') THEN "
                              "SELECT coalesce(sum(行数), 0) INTO n FROM 表行数 WHERE 表名 = 表; "
                              "ELSE EXECUTE format(''SELECT count(*) FROM %I'', 表) INTO n; END IF; "
                              "RETURN n; END'"));
    for (const Table& t : Schema::tables()) {
        if (counted(t))
            continue;
        // Making the trigger locks the table against writers until the commit: the count below
        // and the parts that follow it cover every row exactly once.
        db.execute(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 REFERENCING NEW TABLE AS 新行 "
                                  "FOR EACH STATEMENT EXECUTE FUNCTION 表行数_增()")
                       .arg(insertTrigger(t.name), t.name));
        db.execute(QStringLiteral("DROP TRIGGER IF EXISTS %1_计行减 ON %1").arg(t.name));
        db.execute(QStringLiteral("CREATE TRIGGER %1_计行减 AFTER DELETE ON %1 REFERENCING OLD TABLE AS 旧行 "
                                  "FOR EACH STATEMENT EXECUTE FUNCTION 表行数_减()")
                       .arg(t.name));
        db.execute(QStringLiteral("DROP TRIGGER IF EXISTS %1_计行清 ON %1").arg(t.name));
        db.execute(QStringLiteral("CREATE TRIGGER %1_计行清 AFTER TRUNCATE ON %1 FOR EACH STATEMENT "
                                  "EXECUTE FUNCTION 表行数_清()")
                       .arg(t.name));
        db.execute(QStringLiteral("DELETE FROM 表行数 WHERE 表名 = %1").arg(Sql::quote(t.name)));
        db.execute(QStringLiteral("INSERT INTO 表行数 (表名, 行数) SELECT %1, count(*) FROM %2").arg(Sql::quote(t.name), t.name));
    }
    transaction.commit();
}

bool RowCounts::present(Connection& db)
{
    return db.engine() == Engine::PostgreSQL
        && db.select(QStringLiteral("select count(*) from pg_proc where proname = '表行数_计数'"))
                   .rows.value(0)
                   .value(0)
                   .toInt()
            > 0;
}

QString RowCounts::countExpression(const QString& table)
{
    return QStringLiteral("表行数_计数(%1)").arg(Sql::quote(table));
}

QString RowCounts::partsExpression(const QString& table)
{
    return QStringLiteral("(select count(*) from 表行数 where 表名 = %1)").arg(Sql::quote(table));
}

void RowCounts::compact(Connection& db, const QString& table)
{
    // The parts another reader is folding are skipped, so that two readers never wait for each
    // other; what one takes away it puts back as one part, in the same statement.
    const QString name = Sql::quote(table);
    try {
        db.execute(QStringLiteral("WITH d AS (DELETE FROM 表行数 WHERE ctid = ANY (ARRAY (SELECT ctid FROM 表行数 "
                                  "WHERE 表名 = %1 FOR UPDATE SKIP LOCKED)) RETURNING 行数) "
                                  "INSERT INTO 表行数 (表名, 行数) SELECT %1, sum(行数) FROM d HAVING count(*) > 0")
                       .arg(name));
    } catch (const DbError&) {
    }
}

} // namespace store
