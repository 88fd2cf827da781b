#include "app/elem_view.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/elem_tree_model.h"
#include "app/icons.h"
#include "app/text_editor.h"
#include "app/vexo_doc.h"
#include "model/document.h"
#include "model/elem.h"

namespace vexo {
namespace {

// The file of a document root that can be edited as text: not a temporary
// file (its name begins with a full stop) and not compressed.
QString EditablePath(const svg::CElem* elem)
{
    if (elem == nullptr || elem->Class() != svg::ElemClass::Document)
        return {};
    const QString path = QString::fromStdString(static_cast<const svg::CElemDocument*>(elem)->Path());
    if (QFileInfo(path).fileName().startsWith(u'.') || path.endsWith(QStringLiteral(".svgz"), Qt::CaseInsensitive))
        return {};
    return path;
}

const std::string* OwnHref(const svg::CElem* elem)
{
    return elem != nullptr ? elem->attributes.Value("xlink:href") : nullptr;
}

}  // namespace

CElemView::CElemView(CVexoDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc)
{
    model_ = new CElemTreeModel(this);
    tree_ = new QTreeView(this);
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    // Lets the view place 100 000 rows without asking each for its size.
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);

    toolBar_ = new QToolBar(this);
    toolBar_->setIconSize(QSize(16, 16));
    CreateActions();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(tree_);

    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CElemView::OnUserSelectionChanged);
    connect(tree_, &QWidget::customContextMenuRequested, this, &CElemView::ShowContextMenu);
    connect(&doc_, &CVexoDoc::cleared, this, &CElemView::OnCleared);
    connect(&doc_, &CVexoDoc::loaded, this, &CElemView::OnLoaded);
    connect(&doc_, &CVexoDoc::elementSelected, this, &CElemView::OnElementSelected);
    connect(&doc_, &CVexoDoc::documentsAdded, this, [this] {
        if (const svg::DocumentList* documents = doc_.Documents())
            model_->ShowNewDocuments(*documents);
    });
    UpdateActions();
}

CElemView::~CElemView() = default;

void CElemView::CreateActions()
{
    expandAction_ = toolBar_->addAction(ToolBarIcon(ToolIcon::Expand), tr("Expand"), this, &CElemView::ExpandSelected);
    collapseAction_ =
        toolBar_->addAction(ToolBarIcon(ToolIcon::Collapse), tr("Collapse"), this, &CElemView::CollapseSelected);
    moveToHrefAction_ = toolBar_->addAction(ToolBarIcon(ToolIcon::MoveToHref), tr("Move to \"href\""), this,
                                            &CElemView::MoveToHref);
    editSvgTextAction_ =
        toolBar_->addAction(ToolBarIcon(ToolIcon::EditText), tr("Edit SVG Text"), this, &CElemView::EditSvgText);
}

const svg::CElem* CElemView::SelectedElement() const
{
    const QModelIndexList rows = tree_->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : CElemTreeModel::Element(rows.first());
}

// --- Following the document ---------------------------------------------------

void CElemView::OnCleared()
{
    followingDocument_ = true;
    model_->Clear();
    followingDocument_ = false;
    UpdateActions();
}

void CElemView::OnLoaded()
{
    followingDocument_ = true;
    model_->ShowDocuments(doc_.Documents());
    for (int row = 0; row < model_->rowCount(); ++row)
        tree_->expand(model_->index(row, 0));
    followingDocument_ = false;
    UpdateActions();
    // Selected everywhere, so that the attribute grid shows the root too.
    if (model_->rowCount() > 0)
        doc_.SelectElement(CElemTreeModel::Element(model_->index(0, 0)));
}

void CElemView::OnElementSelected(const svg::CElem* elem)
{
    const QModelIndex index = model_->IndexOf(elem);
    followingDocument_ = true;
    if (index.isValid()) {
        tree_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        tree_->scrollTo(index);  // expands the collapsed ancestors too
    } else {
        tree_->selectionModel()->clear();
    }
    followingDocument_ = false;
    UpdateActions();
}

void CElemView::OnUserSelectionChanged()
{
    if (followingDocument_)
        return;
    UpdateActions();
    doc_.SelectElement(SelectedElement());
}

void CElemView::UpdateActions()
{
    const svg::CElem* elem = SelectedElement();
    const bool hasChildren = elem != nullptr && !elem->Children().empty();
    expandAction_->setEnabled(hasChildren);
    collapseAction_->setEnabled(hasChildren);
    moveToHrefAction_->setEnabled(OwnHref(elem) != nullptr);
    editSvgTextAction_->setEnabled(!EditablePath(elem).isEmpty());
}

void CElemView::ShowContextMenu(const QPoint& pos)
{
    const QModelIndex index = tree_->indexAt(pos);
    if (!index.isValid())
        return;
    // Selecting goes through the user-selection path: selected everywhere.
    tree_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    QMenu menu(this);
    menu.addAction(expandAction_);
    menu.addAction(collapseAction_);
    menu.addAction(moveToHrefAction_);
    menu.addAction(editSvgTextAction_);
    menu.exec(tree_->viewport()->mapToGlobal(pos));
}

// --- Commands ------------------------------------------------------------------

void CElemView::ExpandSelected()
{
    const QModelIndexList rows = tree_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    // While the item is folded its descendants are off screen, so expanding
    // them only records their state and the last expand lays the tree out
    // once. (QTreeView::expandRecursively would also record every leaf as
    // expanded: 100 000 persistent indexes under a wide group.)
    tree_->collapse(rows.first());
    SetDescendantsExpanded(rows.first(), true);
    tree_->expand(rows.first());
}

void CElemView::CollapseSelected()
{
    const QModelIndexList rows = tree_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    // The view remembers the state of items under a folded parent: they are
    // collapsed too, so that expanding the item again shows it folded.
    tree_->collapse(rows.first());
    SetDescendantsExpanded(rows.first(), false);
}

// Only items with children are visited as indexes; leaves are skipped.
void CElemView::SetDescendantsExpanded(const QModelIndex& index, bool expanded)
{
    const auto children = CElemTreeModel::Element(index)->Children();
    for (std::size_t row = 0; row < children.size(); ++row) {
        if (children[row]->Children().empty())
            continue;
        const QModelIndex child = model_->index(static_cast<int>(row), 0, index);
        tree_->setExpanded(child, expanded);
        SetDescendantsExpanded(child, expanded);
    }
}

void CElemView::MoveToHref()
{
    const svg::CElem* elem = SelectedElement();
    const std::string* href = OwnHref(elem);
    if (href == nullptr)
        return;
    if (const svg::CElem* target = doc_.FollowReference(*elem, *href))
        doc_.SelectElement(target);
    else
        ReportLinkUnavailable();
}

void CElemView::EditSvgText()
{
    const QString path = EditablePath(SelectedElement());
    if (!path.isEmpty())
        EditInTextEditor(this, path);
}

void CElemView::ReportLinkUnavailable()
{
    QMessageBox::critical(this, QStringLiteral("Vexo"), QStringLiteral("Link unavailable"));
}

}  // namespace vexo
