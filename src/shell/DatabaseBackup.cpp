#include "DatabaseBackup.h"

#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "store/Backup.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/ServerDump.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProgressDialog>

using platform::MsgBox;
using store::Backup;

namespace {

const QString kFilter = QStringLiteral("Orlenta 数据库 (*.db);;所有文件 (*)");

// The embedded database's file; on a server, the server's route is told and the text is empty.
QString embeddedDatabase()
{
    const store::Connection::Target target = store::Connection::resolve(QStringLiteral("DSN=Orlenta"));
    if (!target.sqlite) {
        MsgBox::show(store::ServerDump::route(store::ServerDump::settingsOf()), QStringLiteral("提示"),
            MsgBox::Icon::Information);
        return {};
    }
    if (target.sqliteFile.isEmpty())
        throw store::DbError(QStringLiteral("数据源“Orlenta”没有指定数据库文件。"));
    return target.sqliteFile;
}

// The progress of a copy or a check, in a dialog shown once the work has taken a moment. Until
// then the windows take no input either; 取消 stops the work with nothing left behind.
class Progress {
public:
    Progress(QWidget* parent, const QString& doing)
        : m_doing(doing)
        , m_dialog(doing, QStringLiteral("取消"), 0, 1000, parent)
    {
        m_dialog.setObjectName(QStringLiteral("dlgBackup"));
        m_dialog.setWindowTitle(QStringLiteral("Orlenta"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumWidth(m_dialog.fontMetrics().horizontalAdvance(QStringLiteral("正在备份数据库…")) * 3);
    }

    Backup::Progress callback()
    {
        return [this](int permille) {
            const bool checking = permille < 0;
            if (checking != m_checking) {
                m_checking = checking;
                m_dialog.setLabelText(checking ? QStringLiteral("正在检查…") : m_doing);
                m_dialog.setRange(0, checking ? 0 : 1000); // a check cannot say how far it is
            }
            if (!checking)
                m_dialog.setValue(permille);
            QCoreApplication::processEvents(
                m_dialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
            return !m_dialog.wasCanceled();
        };
    }
    void close() { m_dialog.close(); }

private:
    QString m_doing;
    QProgressDialog m_dialog;
    bool m_checking = false;
};

QString studentsAndScores(const Backup::Contents& c)
{
    return Backup::describeCount(0, c.students()) + QStringLiteral("，") + Backup::describeCount(1, c.scores());
}

} // namespace

void DatabaseBackup::backup(QWidget* parent)
{
    const QString database = embeddedDatabase();
    if (database.isEmpty())
        return;
    const QString folder = Backup::folderOf(database);
    QDir().mkpath(folder);
    const QString proposed = folder + QStringLiteral("/orlenta-%1.db").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmm")));
    const QString target = platform::FileDialog::saveFileName(parent, QStringLiteral("备份数据库"), proposed, kFilter, QStringLiteral("db"));
    if (target.isEmpty())
        return;
    Progress progress(parent, QStringLiteral("正在备份数据库…"));
    Backup::Contents copy;
    try {
        copy = Backup::copy(database, target, progress.callback());
    } catch (const Backup::Cancelled&) {
        progress.close();
        MsgBox::show(QStringLiteral("备份已取消，没有留下文件。"), QStringLiteral("提示"), MsgBox::Icon::Information);
        return;
    }
    progress.close();
    MsgBox::show(QStringLiteral("备份完成。\n\n文件：%1（%2 MB）\n检查：完整性检查通过，程序需要的表和列齐全。\n备份中有%3。")
                     .arg(QDir::toNativeSeparators(copy.file))
                     .arg(copy.bytes / 1048576.0, 0, 'f', 1)
                     .arg(studentsAndScores(copy)),
        QStringLiteral("成功"), MsgBox::Icon::Information);
}

void DatabaseBackup::restore(QWidget* parent)
{
    const QString database = embeddedDatabase();
    if (database.isEmpty())
        return;
    const QString file = platform::FileDialog::openFileName(parent, QStringLiteral("恢复数据库"), Backup::folderOf(database), kFilter);
    if (file.isEmpty())
        return;
    Backup::Contents offered, current;
    try {
        Progress checking(parent, QStringLiteral("正在检查备份文件…"));
        offered = Backup::inspect(file, checking.callback());
        if (offered.sound)
            current = Backup::inspect(database, checking.callback());
    } catch (const Backup::Cancelled&) {
        return;
    }
    if (!offered.sound) {
        MsgBox::show(QStringLiteral("“%1”不是完好的 Orlenta 数据库，没有恢复，数据库没有改动。\n\n%2")
                         .arg(QDir::toNativeSeparators(offered.file), offered.problem),
            QStringLiteral("抱歉"), MsgBox::Icon::Exclamation);
        return;
    }
    QString question = QStringLiteral("用备份文件中的记录替换当前数据库中的全部记录吗？\n\n") + Backup::comparison(current, offered);
    if (current.exists && !current.sound)
        question += QStringLiteral("\n\n当前数据库有问题：%1").arg(current.problem);
    question += QStringLiteral("\n\n恢复之前，当前数据库先保存到备份文件夹中。其他工作站上打开的窗口，请在恢复后刷新。");
    if (MsgBox::show(question, QStringLiteral("询问"), MsgBox::Icon::Question, MsgBox::Buttons::YesNo) != MsgBox::Answer::Yes)
        return;
    Progress progress(parent, QStringLiteral("正在恢复数据库…"));
    Backup::Restored restored;
    try {
        restored = Backup::restore(file, database, progress.callback());
    } catch (const Backup::Cancelled&) {
        progress.close();
        MsgBox::show(QStringLiteral("恢复已取消，数据库没有改动。"), QStringLiteral("提示"), MsgBox::Icon::Information);
        return;
    }
    progress.close();
    QString done = QStringLiteral("恢复完成。数据库中现在有%1。").arg(studentsAndScores(restored.restored));
    if (!restored.keptCopy.isEmpty())
        done += QStringLiteral("\n\n恢复前的数据库已保存为：\n%1").arg(QDir::toNativeSeparators(restored.keptCopy));
    MsgBox::show(done, QStringLiteral("成功"), MsgBox::Icon::Information);
}
