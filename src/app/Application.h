#pragma once

#include <QApplication>

// The program's application object: a failure that escapes a handler is shown, never fatal.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Registers every window and the platform's hooks; the program and the tests call it.
    static void prepare();
};
