// The element tree pane: every loaded document's element tree in a tree
// view, with a tool bar and a context menu to expand or collapse a subtree,
// follow the selected element's xlink:href and edit a document's source. It
// follows the document: emptied on cleared(), rebuilt on loaded() (the
// documents' roots expanded, the main root selected), and its selection kept
// on the element of elementSelected(). A selection made by the user goes to
// CVexoDoc::SelectElement.
#pragma once

#include <QWidget>

class QAction;
class QModelIndex;
class QToolBar;
class QTreeView;

namespace svg {
class CElem;
}

namespace vexo {

class CVexoDoc;
class CElemTreeModel;

class CElemView : public QWidget {
    Q_OBJECT
public:
    explicit CElemView(CVexoDoc& doc, QWidget* parent = nullptr);
    ~CElemView() override;

    QTreeView* Tree() const { return tree_; }
    CElemTreeModel* Model() const { return model_; }
    // The element of the selected item; null when none is selected.
    const svg::CElem* SelectedElement() const;

    // --- Commands (tool bar and context menu) -------------------------------
    // Expands, or collapses, the selected item and all its descendants.
    void ExpandSelected();
    void CollapseSelected();
    // Selects, everywhere, the element the selected element's own
    // xlink:href names; "Link unavailable" when it names none.
    void MoveToHref();
    // Opens the selected document root's file in the text editor.
    void EditSvgText();

    QAction* ExpandAction() const { return expandAction_; }
    QAction* CollapseAction() const { return collapseAction_; }
    QAction* MoveToHrefAction() const { return moveToHrefAction_; }
    QAction* EditSvgTextAction() const { return editSvgTextAction_; }

protected:
    // Shows the "Link unavailable" message box; tests replace it.
    virtual void ReportLinkUnavailable();

private:
    void CreateActions();
    void OnCleared();
    void OnLoaded();
    void OnElementSelected(const svg::CElem* elem);
    void OnUserSelectionChanged();
    void ShowContextMenu(const QPoint& pos);
    void UpdateActions();
    void SetDescendantsExpanded(const QModelIndex& index, bool expanded);

    CVexoDoc& doc_;
    CElemTreeModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QAction* expandAction_ = nullptr;
    QAction* collapseAction_ = nullptr;
    QAction* moveToHrefAction_ = nullptr;
    QAction* editSvgTextAction_ = nullptr;
    // Set while the tree's selection follows the document, so that the
    // change is not sent back as a selection by the user.
    bool followingDocument_ = false;
};

}  // namespace vexo
