#pragma once

#include <QString>

class QWidget;

namespace platform {

// The help viewer. The help file (MyHelp.chm in the program's directory) is a packed resource
// file of HTML pages; displayTopic() opens it at a page in a window of its own beside the
// owner, and returns at once. A missing file or page is said in the viewer itself.
class HelpViewer {
public:
    static void displayTopic(QWidget* owner, const QString& helpFile, const QString& topic);

    // The last request, for tests.
    static QString lastFile();
    static QString lastTopic();
    // Whether the viewer window is open and shows the page (false when the page is missing).
    static bool isShowingPage();

    static void closeAll();
};

} // namespace platform
