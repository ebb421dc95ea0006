#pragma once

#include <QRect>
#include <QString>

class QWidget;

namespace platform {

class HelpWindow;

// The help viewer. The help file (MyHelp.chm) is a packed resource file of HTML pages;
// displayTopic() opens it at a page in a window of its own beside the owner, wholly on the
// owner's screen, and returns at once. A missing file or page is said in the viewer itself.
class HelpViewer {
public:
    static void displayTopic(QWidget* owner, const QString& helpFile, const QString& topic);

    // The help file: MyHelp.chm in the program's directory, or else in the data folder it is
    // installed to; the first of them when neither exists.
    static QString helpFile();
    static QString locateHelpFile(const QString& programDirectory);
    // The same, with the data folder it is installed to named (the tests name one of their own,
    // so that a package installed on the machine plays no part).
    static QString locateHelpFile(const QString& programDirectory, const QString& dataDirectory);

    // Where the viewer goes: beside the owner (right, else left), else at the right of the
    // screen, wholly within the available area. Frame rectangles.
    static QRect placement(const QRect& owner, const QSize& wanted, const QRect& area);

    // The contents page of every help file.
    static QString contentsPage();

    // The last request, for tests.
    static QString lastFile();
    static QString lastTopic();
    // Whether the viewer window is open and shows the page (false when the page is missing).
    static bool isShowingPage();
    // The viewer window while it is open.
    static HelpWindow* window();

    static void closeAll();
};

} // namespace platform
