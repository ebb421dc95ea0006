#pragma once

#include <QString>
#include <stdexcept>

namespace store {

// A failure of the data store: a statement the server refused, a write that broke a rule of a
// table, a row changed by another user, or a field read without a current row. It carries the
// database's own text (or the store's, where the store itself refused), ready to be shown.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {
    }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace store
