#include "Forms.h"

#include "Program.h"

#include <QApplication>
#include <QHash>

namespace platform {

namespace {
struct Registry {
    QHash<QString, Forms::Factory> factories;
    QHash<QString, QString> helpTopics;
    QHash<QString, std::function<Form*()>> openings;
    QHash<QString, QPointer<Form>> loaded;
    QPointer<Form> lastActive;
    int generation = 0; // a fresh start (discardAll) voids the pending end checks
};
Registry& registry()
{
    static Registry r;
    return r;
}
} // namespace

void Forms::addFactory(const QString& name, Factory factory, const QString& helpTopic)
{
    registry().factories.insert(name, std::move(factory));
    registry().helpTopics.insert(name, helpTopic);
}

bool Forms::isAvailable(const QString& name) { return registry().factories.contains(name); }

QStringList Forms::available()
{
    QStringList names = registry().factories.keys();
    names.sort();
    return names;
}

void Forms::addOpening(const QString& name, std::function<Form*()> opening)
{
    registry().openings.insert(name, std::move(opening));
}

Form* Forms::open(const QString& name)
{
    const auto opening = registry().openings.value(name);
    return opening ? opening() : show(name);
}

Form* Forms::find(const QString& name)
{
    const QPointer<Form> form = registry().loaded.value(name);
    return (form && !form->m_unloaded) ? form.data() : nullptr;
}

Form* Forms::load(const QString& name)
{
    if (Form* existing = find(name))
        return existing;
    const auto factory = registry().factories.value(name);
    if (!factory)
        return nullptr;
    Form* form = factory();
    form->setObjectName(name);
    form->setHelpTopic(registry().helpTopics.value(name));
    registry().loaded.insert(name, form);
    Form::run([form] { form->Form_Load(); });
    return form;
}

Form* Forms::show(const QString& name)
{
    Form* form = load(name);
    if (form)
        show(form);
    return form;
}

void Forms::show(Form* form)
{
    if (!form || form->m_unloaded)
        return;
    if (!form->m_placed) {
        form->m_placed = true;
        const QWidget* near = registry().lastActive ? registry().lastActive.data() : QApplication::activeWindow();
        form->openWithinScreen(near && near != form ? near : nullptr);
    }
    form->show();
    form->raise();
    form->activateWindow();
}

void Forms::hide(Form* form)
{
    if (form)
        form->hide();
}

void Forms::unload(const QString& name)
{
    if (Form* form = find(name))
        unload(form);
}

void Forms::unload(Form* form)
{
    if (!form || form->m_unloaded)
        return;
    // Marked first, so that a handler that unloads this window again does nothing.
    form->m_unloaded = true;
    Form::run([form] { form->Form_Unload(); });
    forget(form);
    // A handler often unloads its own window before it shows the next one: whether the program
    // ends is decided once the handler has run.
    QMetaObject::invokeMethod(
        qApp,
        [generation = registry().generation] {
            if (generation != registry().generation)
                return;
            for (const QPointer<Form>& other : std::as_const(registry().loaded))
                if (other && !other->m_unloaded && other->keepsProgramAlive())
                    return;
            if (!Program::hasEnded())
                Program::end();
        },
        Qt::QueuedConnection);
}

void Forms::forget(Form* form)
{
    Registry& r = registry();
    for (auto it = r.loaded.begin(); it != r.loaded.end();) {
        if (it.value() == form || !it.value())
            it = r.loaded.erase(it);
        else
            ++it;
    }
    if (r.lastActive == form)
        r.lastActive = nullptr;
    form->hide();
    form->deleteLater();
}

QStringList Forms::loaded()
{
    QStringList names;
    for (auto it = registry().loaded.cbegin(); it != registry().loaded.cend(); ++it)
        if (it.value() && !it.value()->m_unloaded)
            names << it.key();
    names.sort();
    return names;
}

void Forms::discardAll()
{
    const auto all = registry().loaded;
    for (const QPointer<Form>& form : all) {
        if (!form)
            continue;
        form->m_unloaded = true;
        forget(form);
    }
    registry().loaded.clear();
    registry().lastActive = nullptr;
    ++registry().generation;
}

void Forms::activated(Form* form)
{
    Registry& r = registry();
    if (form->m_unloaded || r.lastActive == form)
        return;
    r.lastActive = form;
    Form::run([form] { form->Form_Activate(); });
}

} // namespace platform
