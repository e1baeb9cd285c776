// The file page's Control-key shortcuts, which act only while no text is being typed.
#include "ui/files/KZFilesViewController.h"

#include "kit/TextField.h"
#include "kit/Window.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

bool KZFilesViewController::shouldPerformKeyDownEvent() {
    if (!isViewLoaded())
        return false;
    if (kit::Window* w = view()->kitWindow(); w && qobject_cast<kit::TextField*>(w->firstResponder()))
        return false;
    // Any editor with the keyboard (also one of another window, such as an alert's field) keeps
    // its Control-A, -C, -X and -V to itself.
    const QWidget* focus = QApplication::focusWidget();
    return !(qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QTextEdit*>(focus) ||
             qobject_cast<const QPlainTextEdit*>(focus));
}

void KZFilesViewController::didPressCmdR() {
    requestIncrFiles();
}

void KZFilesViewController::didPressCmdA() {
    selectAllRows();
}

void KZFilesViewController::didPressCmdC() {
    copyFileToPasteboard();
}

void KZFilesViewController::didPressCmdX() {
    cutFileToPasteboard();
}

void KZFilesViewController::didPressCmdV() {
    pasteFileToCloud();
}
