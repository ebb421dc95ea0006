#pragma once

#include <QString>
#include <stdexcept>

namespace imports {

// A file that cannot be read as the table it claims to be: not the kind its name says, cut
// short, encrypted, a compressed entry far larger than a workbook has. The text is for the user.
class ReadError : public std::runtime_error {
public:
    explicit ReadError(const QString& text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {
    }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace imports
