#pragma once

#include <QString>
#include <stdexcept>

namespace store {

// A failure of the data store: a statement the server refused, a write that broke a rule of a
// table, a row changed by another user, a field read without a current row, or the loss of the
// session. It carries a text ready to be shown: the database's own, or the store's in Chinese.
class DbError : public std::runtime_error {
public:
    enum class Kind {
        Refused,        // the database or the store refused the operation; nothing was written
        ConnectionLost, // the session with the server is gone; nothing was written
        OutcomeUnknown, // the session went while a write was on its way: it may or may not be stored
        Busy,           // another user held the SQLite file for writing past the wait; nothing was written
    };

    explicit DbError(const QString& text, Kind kind = Kind::Refused)
        : std::runtime_error(text.toStdString())
        , m_text(text)
        , m_kind(kind)
    {
    }
    // The text to show. Empty for a failure the user has been told of already and has answered
    // (a save they chose not to wait for again): there is nothing more to show.
    const QString& text() const { return m_text; }
    // A text to show with the database's or the driver's own words below it.
    static QString withDetail(const QString& text, const QString& detail)
    {
        return detail.isEmpty() ? text : text + QStringLiteral("\n\n详细信息：") + detail;
    }
    Kind kind() const { return m_kind; }
    // A refusal may be explained by the window (a name taken, say); the loss of the session, a
    // write of unknown outcome and a database busy with another writer are told as they are.
    bool isRefusal() const { return m_kind == Kind::Refused; }

private:
    QString m_text;
    Kind m_kind;
};

} // namespace store
