#pragma once
// A window's controls reached by their object names, the designer-style names of the
// window's form, the way a user's script names them, rather than through the window's
// generated form class.

#include <QString>
#include <QWidget>

// The window OBJECT belongs to: that of the nearest widget among its parents. An
// action or a popup menu belongs to the window that made it.
inline const QWidget* OwnerWindow(const QObject* object)
{
    for (const QObject* o = object->parent(); o; o = o->parent())
        if (o->isWidgetType())
            return static_cast<const QWidget*>(o)->window();
    return nullptr;
}

// WINDOW's control of class T named NAME. The windows a window owns (the main window
// owns the secondary ones) are among its children and have controls of the same names;
// only WINDOW's own count. A missing control stops the test at once.
template <class T> T* Control(const QWidget* window, const QString& name)
{
    for (T* found : window->findChildren<T*>(name))
        if (OwnerWindow(found) == window)
            return found;
    qFatal("%s has no %s named %s", qPrintable(window->objectName()),
           T::staticMetaObject.className(), qPrintable(name));
}
