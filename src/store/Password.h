#pragma once

#include <QString>
#include <QVariant>

namespace store {

// Passwords as the database keeps them: an Argon2id hash string made by libsodium
// ("$argon2id$v=19$m=65536,t=2,p=1$<salt>$<hash>"), never the text itself. A password still
// stored as plain text (a database from before hashing, or a student's first password, which is
// the student number and no secret) is compared as text and replaced by its hash at the next
// sign-in.
//
// What is hashed is the text exactly as given (a 10,000-character text, a NUL, an emoji, the
// empty text alike), as UTF-8; the windows give it trimmed, as they store it.
namespace Password {

// What a stored password value is.
enum class Kind {
    Missing, // null: nothing signs in
    Hash,    // a hash this program can check
    Plain,   // a text stored as typed
    Foreign, // looks like a hash ("$name$...") of a kind this program cannot check: nothing signs in
};
Kind kindOf(const QVariant& stored);

// A new hash of `password`, with a fresh salt. About 50 ms and 64 MiB: libsodium's interactive
// limits, above OWASP's minimum for Argon2id (19 MiB, two passes).
QString hash(const QString& password);

// Whether `candidate` (trimmed by the caller, as the windows trim what they store) is the
// password stored: against the hash, or, for a plain text, equal to it trimmed. A null or foreign
// value never matches.
bool matches(const QVariant& stored, const QString& candidate);

// Whether a stored value should be replaced by a new hash after it matched: a plain text, or a
// hash made with weaker limits than hash() uses now.
bool needsRehash(const QVariant& stored);

// The columns that hold passwords: pwd of the staff accounts, 密码 of the students.
bool isPasswordColumn(const QString& table, const QString& column);

// What a password column is stored as, for a value written to it: a hash of the text, except a
// null (stays null), a hash already (stays as it is), and, when `firstPassword` is set, the new
// student's first password, the student number, which stays as it is until the student first
// signs in or changes it.
QVariant storedForm(const QVariant& value, bool firstPassword = false);

} // namespace Password
} // namespace store
