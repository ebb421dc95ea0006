#pragma once

#include "Form.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

// The windows of the program by name (the form's class name, e.g. "frmmain"). At most one of
// each is loaded at a time; loading makes it and runs its Form_Load, unloading runs its
// Form_Unload and discards it, and showing loads it when needed. The program ends when the
// last window that keeps it alive is unloaded.
//
// Windows register themselves by name, so that one subsystem opens another's window without
// linking to it, and a menu can tell whether a window exists in this build.
class Forms {
public:
    using Factory = std::function<Form*()>;

    // A window and its page in the help file (F1 opens it).
    template <typename T>
    static void add(const QString& helpTopic = QString())
    {
        addFactory(QString::fromLatin1(T::staticMetaObject.className()), [] { return new T; }, helpTopic);
    }
    static void addFactory(const QString& name, Factory factory, const QString& helpTopic = QString());
    static bool isAvailable(const QString& name);
    // Every window of this build by name, in order.
    static QStringList available();

    // How a window is opened from a menu, when that is more than showing it (the new-student
    // window needs the student window loaded behind it). open() falls back to show().
    static void addOpening(const QString& name, std::function<Form*()> opening);
    static Form* open(const QString& name);

    static Form* load(const QString& name);
    static Form* show(const QString& name);
    static void show(Form* form);
    static void hide(Form* form);
    static void unload(Form* form);
    static void unload(const QString& name);
    static Form* find(const QString& name);
    static QStringList loaded();

    template <typename T>
    static T* load()
    {
        return static_cast<T*>(load(nameOf<T>()));
    }
    template <typename T>
    static T* show()
    {
        return static_cast<T*>(show(nameOf<T>()));
    }
    template <typename T>
    static T* find()
    {
        return static_cast<T*>(find(nameOf<T>()));
    }

    // Every window goes at once, without its unload handler (the program is ending).
    static void discardAll();

private:
    friend class Form;
    template <typename T>
    static QString nameOf()
    {
        return QString::fromLatin1(T::staticMetaObject.className());
    }
    static void activated(Form* form);
    static void forget(Form* form);
};

} // namespace platform
