#pragma once

class QWidget;

// 备份数据库… and 恢复数据库… of the main window's 系统管理 menu, for a 系统管理员: the work and
// the checks of orlenta-db backup and restore, with a file dialog, a progress dialog and message
// boxes. On a PostgreSQL server they explain the server's own route instead: the program does not
// copy the server's data.
class DatabaseBackup {
public:
    static void backup(QWidget* parent);
    static void restore(QWidget* parent);
};
