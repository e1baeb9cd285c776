#pragma once

#include "cloud/CloudFileInfo.h"
#include "foundation/Weak.h"
#include "kit/View.h"

#include <QPointer>
#include <functional>

class KZLabel;
class KZSearchOptionItemView;

// One scope choice of the search bar.
class KZSearchOptionItemView : public kit::View {
    Q_OBJECT
public:
    using Selector = std::function<void(KZSearchOptionItemView*)>;
    static constexpr double kHeight = 26.0;

    KZSearchOptionItemView(const QString& title, Selector selector, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    // The title's width in the item's font, rounded up, plus 18; measured once.
    double suggestWidth() const;
    KZLabel* label() const { return m_label; }

    void mouseDown(const kit::Event& event) override;

protected:
    void layout() override;

private:
    QString m_title;
    Selector m_selector;
    bool m_selected = false;
    mutable double m_suggestWidth = -1.0;
    KZLabel* m_label = nullptr;
};

class KZSearchOptionsViewDelegate {
public:
    virtual ~KZSearchOptionsViewDelegate() = default;
    virtual void didSelectSearchedDirectory(const CloudFileInfoPtr& directory) { (void)directory; }
};

// The scope bar shown over search results: "全部文件" and, for a search started below the root,
// the folder it was started from. The choice is kept in the shown node's `searchNid`.
class KZSearchOptionsView : public kit::View {
    Q_OBJECT
public:
    static inline const QString kAllFilesTitle = QStringLiteral("全部文件");

    explicit KZSearchOptionsView(QWidget* parent = nullptr);

    void setDelegate(KZSearchOptionsViewDelegate* d) { m_delegate = d; }
    const CloudFileInfoPtr& searchedDirectory() const { return m_searchedDirectory; }
    KZLabel* descriptionLabel() const { return m_descriptionLabel; }
    KZSearchOptionItemView* searchAllItemView() const { return m_searchAllItemView; }
    KZSearchOptionItemView* searchCurrentItemView() const { return m_searchCurrentItemView; }

    // Called with the node on view each time a list is shown.
    void updateOtherSearchedDirectory(const CloudFileInfoPtr& node);
    void itemClicked(KZSearchOptionItemView* item);

protected:
    void layout() override;

private:
    nubo::Weak<KZSearchOptionsViewDelegate> m_delegate;
    CloudFileInfoPtr m_searchedDirectory;
    KZLabel* m_descriptionLabel = nullptr;
    KZSearchOptionItemView* m_searchAllItemView = nullptr;
    QPointer<KZSearchOptionItemView> m_searchCurrentItemView;
    kit::View* m_topSeparator = nullptr;
    kit::View* m_bottomSeparator = nullptr;
};
