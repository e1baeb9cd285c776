#include "ui/files/KZFileSearchView.h"

#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZButton.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"
#include "ui/files/KZFilesImages.h"

#include <QPointer>

KZFileSearchView::KZFileSearchView(QWidget* parent) : kit::View(parent) {
    setCornerRadius(16);
    setCustomBackgroundColor(KZStyle::VCBackgroundColor());

    m_searchImagView = new kit::ImageView;
    m_searchImagView->setImage(KZFilesImages::named(QStringLiteral("files_search"), QSizeF(16, 16)));
    m_searchImagView->setFrame(QRectF(9, 7, 18, 18));
    addSubview(m_searchImagView);

    m_textField = new KZTextFieldCell;
    m_textField->setDelegate(this);
    m_textField->setPlaceholderString(kPlaceholder);
    m_textField->setEditable(true);
    m_textField->setBordered(false);
    m_textField->setFont(KZStyle::fontOfSize(12));
    m_textField->setStringValue(QString());
    m_textField->setFrame(QRectF(28, 5, 212, 22));
    addSubview(m_textField);

    m_deleteButton = new KZButton(QRectF(218, 10, 12, 12));
    m_deleteButton->setImage(
        KZFilesImages::named(QStringLiteral("files_search_delete"), QSizeF(12, 12)).toImage());
    m_deleteButton->setAction(this, [this](KZButton*) { clearText(); });
    addSubview(m_deleteButton);
    hidddenDeleteButton(true);
}

void KZFileSearchView::hidddenDeleteButton(bool hidden) {
    m_deleteButton->setHidden(hidden);
    m_deleteButton->setEnabled(!hidden);
    if (!hidden)
        m_deleteButton->raise();
}

void KZFileSearchView::clearText() {
    m_textField->setStringValue(QString());
    QPointer<KZFileSearchView> self(this);
    if (kit::Window* w = kitWindow())
        w->makeFirstResponder(nullptr);
    if (!self)
        return;
    hidddenDeleteButton(true);
    if (auto* d = m_delegate.get())
        d->clearTextAction();
}

void KZFileSearchView::resetText() {
    m_textField->setStringValue(QString());
    hidddenDeleteButton(true);
}

void KZFileSearchView::controlTextDidEndEditing(kit::TextField*) {
    hidddenDeleteButton(true);
}

void KZFileSearchView::controlTextDidChange(kit::TextField* field) {
    hidddenDeleteButton(m_textField->stringValue().isEmpty());
    if (auto* d = m_delegate.get())
        d->fileSearchViewControlTextDidChange(field);
}

bool KZFileSearchView::controlDoCommand(kit::TextField*, kit::TextCommand command) {
    if (command != kit::TextCommand::Cancel)
        return false;
    clearText();
    return true;
}
