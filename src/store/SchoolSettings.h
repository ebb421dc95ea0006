#pragma once

#include <QString>

namespace store {

class Connection;

// What the school sets once for every workstation (系统设置表, one row): the school's name, which
// heads a transcript, and the office that issues it.
struct SchoolSettings {
    QString school;
    QString office;

    // The settings row; a database made before the table has none, and reads as empty settings.
    static SchoolSettings read(Connection& connection);
    // The statement of the settings row, for a window that edits it.
    static QString statement();
};

} // namespace store
