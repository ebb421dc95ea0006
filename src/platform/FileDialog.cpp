#include "FileDialog.h"

#include <QFileDialog>
#include <QQueue>

namespace platform {

namespace {
struct Script {
    bool scripted = false;
    QQueue<QString> answers;
    QVector<FileDialog::Asked> asked;
};
Script& script()
{
    static Script s;
    return s;
}
} // namespace

QString FileDialog::saveFileName(
    QWidget* parent, const QString& caption, const QString& proposed, const QString& filter, const QString& suffix)
{
    Script& s = script();
    if (s.scripted) {
        s.asked.push_back({ caption, proposed, filter });
        return s.answers.isEmpty() ? QString() : s.answers.dequeue();
    }
    QFileDialog dialog(parent, caption, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString FileDialog::openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filter)
{
    Script& s = script();
    if (s.scripted) {
        s.asked.push_back({ caption, folder, filter });
        return s.answers.isEmpty() ? QString() : s.answers.dequeue();
    }
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void FileDialog::setScripted(bool scripted) { script().scripted = scripted; }
void FileDialog::answerNext(const QString& path) { script().answers.enqueue(path); }
const QVector<FileDialog::Asked>& FileDialog::asked() { return script().asked; }

void FileDialog::clear()
{
    script().answers.clear();
    script().asked.clear();
}

} // namespace platform
