#pragma once

#include "platform/Form.h"

#include <QIcon>
#include <QList>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
namespace platform {
class StatusPanels;
}

// The staff user's hub: menus and toolbar open the work windows, the status bar keeps a clock.
class frmmain : public platform::Form {
    Q_OBJECT
public:
    frmmain();

    void Form_Load() override;
    void infgl_Click();
    void chegl_Click();
    void infdr_Click();
    void chedr_Click();
    void jfj_Click();
    void jff_Click();
    void xjgl_Click();
    void sysp_Click();
    void syss_Click();
    void sysczjl_Click();
    void sysx_Click();
    void sysbf_Click();
    void syshf_Click();
    void help_Click();
    void aboutv_Click();
    void tbrOpe_ButtonClick(int index);
    void Timer1_Timer();

    platform::StatusPanels* statusPanels() const { return stubar; }
    QToolBar* toolbar() const { return tbrOpe; }

private:
    void openWorkWindow(const QString& name);
    QAction* menuItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& shortcut,
        const QString& opens);

    QToolBar* tbrOpe;
    QList<QIcon> ImgLst;
    QLabel* lblbiao;
    QLabel* lvlversion;
    platform::StatusPanels* stubar;
    QTimer* Timer1;
    QAction* syss;
    QAction* sysczjl;
    QAction* sysx;
    QAction* sysbf;
    QAction* syshf;
    QString m_helpFile;
};
