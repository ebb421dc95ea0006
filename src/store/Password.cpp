#include "Password.h"

#include "DbError.h"

#include <QRegularExpression>
#include <sodium.h>

namespace store::Password {

namespace {

void ready()
{
    static const bool initialised = sodium_init() >= 0;
    if (!initialised)
        throw DbError(QStringLiteral("密码加密组件无法初始化。"));
}

constexpr unsigned long long kOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t kMemory = crypto_pwhash_MEMLIMIT_INTERACTIVE;

bool isKnownHash(const QByteArray& text)
{
    if (!text.startsWith("$argon2id$") && !text.startsWith("$argon2i$"))
        return false;
    ready();
    // -1: not a hash string libsodium can read.
    return crypto_pwhash_str_needs_rehash(text.constData(), kOps, kMemory) != -1;
}

} // namespace

Kind kindOf(const QVariant& stored)
{
    if (!stored.isValid() || stored.isNull())
        return Kind::Missing;
    const QString text = stored.toString().trimmed();
    if (isKnownHash(text.toLatin1()) && text.size() < crypto_pwhash_STRBYTES)
        return Kind::Hash;
    // "$2b$...", "$6$...", "$scrypt$...": some other program's hash, which no typed text matches.
    static const QRegularExpression foreign(QStringLiteral("^\\$[A-Za-z0-9-]+\\$"));
    if (foreign.match(text).hasMatch())
        return Kind::Foreign;
    return Kind::Plain;
}

QString hash(const QString& password)
{
    ready();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()), kOps, kMemory,
            crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        throw DbError(QStringLiteral("内存不足，无法加密密码。"));
    return QString::fromLatin1(out);
}

bool matches(const QVariant& stored, const QString& candidate)
{
    switch (kindOf(stored)) {
    case Kind::Missing:
    case Kind::Foreign: return false;
    case Kind::Plain: return stored.toString().trimmed() == candidate;
    case Kind::Hash: break;
    }
    const QByteArray text = stored.toString().trimmed().toLatin1();
    const QByteArray utf8 = candidate.toUtf8();
    return crypto_pwhash_str_verify(text.constData(), utf8.constData(), static_cast<unsigned long long>(utf8.size())) == 0;
}

bool needsRehash(const QVariant& stored)
{
    switch (kindOf(stored)) {
    case Kind::Plain: return true;
    case Kind::Hash: break;
    default: return false;
    }
    const QByteArray text = stored.toString().trimmed().toLatin1();
    return !text.startsWith("$argon2id$") || crypto_pwhash_str_needs_rehash(text.constData(), kOps, kMemory) != 0;
}

bool isPasswordColumn(const QString& table, const QString& column)
{
    return (table == QStringLiteral("管理员身份认证表") && column.compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0)
        || (table == QStringLiteral("学生个人信息表") && column == QStringLiteral("密码"));
}

QVariant storedForm(const QVariant& value, bool firstPassword)
{
    if (!value.isValid() || value.isNull() || firstPassword)
        return value;
    if (kindOf(value) == Kind::Hash)
        return value.toString().trimmed();
    return hash(value.toString());
}

} // namespace store::Password
