#pragma once

#include <QString>
#include <QWidget>

class QAction;
class QListWidget;
class QTextBrowser;
class QUrl;

namespace platform {

// The help viewer's window: the pages of the help file with back, forward and the contents (the
// links of the contents page) beside them.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // `root` is the resource folder that holds the help file's pages ("/help").
    HelpWindow(const QString& root, const QString& contentsPage);

    // Shows a page ("page.htm" or "page.htm#anchor").
    void showPage(const QString& topic);
    // Says that a help file or page cannot be found, in the place of a page.
    void showMissing(const QString& helpFile, const QString& topic);

    QTextBrowser* browser() const { return m_browser; }
    QListWidget* contents() const { return m_contents; }

private:
    void loadContents();
    void pageChanged(const QUrl& source);
    void contentChosen();

    QString m_root;
    QString m_contentsPage;
    QTextBrowser* m_browser;
    QListWidget* m_contents;
    QAction* m_back;
    QAction* m_forward;
    bool m_syncing = false;
};

} // namespace platform
