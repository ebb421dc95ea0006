#pragma once

#include "TableReader.h"

#include <QHash>
#include <QXmlStreamReader>

struct zip;
struct zip_file;

namespace imports {

// An Excel workbook (.xlsx): a zip archive of XML parts. The sheet is read as a stream, the
// archive's entry through libzip and its XML through QXmlStreamReader, so that a sheet of a
// million rows costs no more memory than a row; only the workbook's shared strings are held.
// Cells: shared and inline strings, numbers, booleans, formulas' cached values, and numbers in a
// date format as dates (in the 1900 and the 1904 date system alike); empty and missing cells are
// null.
//
// Refused with a text for the user: a file that is no zip archive or no workbook, one cut short
// or damaged, one encrypted (Excel's password protection, or an encrypted zip entry), and an
// entry that would unpack to more than maxUnpacked() bytes (a "zip bomb").
class XlsxReader : public TableReader {
public:
    explicit XlsxReader(const QString& path);
    ~XlsxReader() override;

    QStringList sheets() const override { return m_sheetNames; }
    void selectSheet(int index) override;
    bool next(SourceRow& row) override;
    double progress() const override;

    // The most that one part of the workbook may unpack to (1 GiB; tests make it smaller).
    static qint64 maxUnpacked();
    static void setMaxUnpacked(qint64 bytes);

    // Whether a cell style's number format shows a date (by the format's number, or for a format
    // of the workbook's own by its code).
    static bool isDateFormat(int id, const QString& code);
    // The day a serial number stands for in the workbook's date system; invalid if none.
    static QDate dateOf(double serial, bool from1904);

private:
    [[noreturn]] void fail(const QString& reason) const;
    [[noreturn]] void damaged() const;
    void openEntry(const QString& name);
    void closeEntry();
    bool feed();
    QXmlStreamReader::TokenType nextToken();
    void readPart(const QString& name, const std::function<void(QXmlStreamReader&)>& each);
    void readWorkbook();
    void readStyles();
    void readSharedStrings();

    // Closed however the reader ends, a constructor that throws included.
    struct Discard {
        void operator()(zip* archive) const;
        void operator()(zip_file* entry) const;
    };

    QString m_path;
    std::unique_ptr<zip, Discard> m_zip;
    std::unique_ptr<zip_file, Discard> m_entry;
    qint64 m_entrySize = 0;
    qint64 m_entryRead = 0;
    QXmlStreamReader m_xml;
    bool m_entryDone = false;

    QStringList m_sheetNames;
    QStringList m_sheetParts;
    bool m_1904 = false;
    QVector<bool> m_dateStyles;  // by cell style index
    QStringList m_strings;       // the shared strings
    int m_lastLine = 0;
    bool m_sheetEnded = false;
};

} // namespace imports
