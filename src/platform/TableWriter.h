#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <stdexcept>

namespace platform {

// A file that could not be written (no permission, the disk full...), with a text for the user.
class WriteError : public std::runtime_error {
public:
    explicit WriteError(const QString& text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {
    }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// Writes a table into a file: a header row of captions, then rows of values in the same order.
// Values keep their kind: QString is text, int/qlonglong/double are numbers, QDate is a date, a
// null or invalid value is an empty cell.
//
// Nothing appears under the file's name before finish(): the rows go to a file of its own beside
// it, which finish() puts in place of any file of that name and discard() removes. Every step
// throws WriteError.
class TableWriter {
public:
    virtual ~TableWriter() = default;

    virtual void begin(const QString& path, const QStringList& captions) = 0;
    virtual void addRow(const QVector<QVariant>& values) = 0;
    virtual void finish() = 0;
    // Drops everything written since begin(); safe to call at any time, also twice.
    virtual void discard() = 0;
};

} // namespace platform
