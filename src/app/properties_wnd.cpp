#include "app/properties_wnd.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <unordered_set>

#include "app/attribute_schema.h"
#include "app/icons.h"
#include "app/vexo_doc.h"
#include "model/elem.h"

namespace vexo {
namespace {

constexpr int kDescriptionRole = Qt::UserRole;
constexpr int kIsAttributeRole = Qt::UserRole + 1;
constexpr int kIconSizePx = 16;
// The loader's record of the source position, not an attribute of the document.
constexpr std::string_view kLocationAttribute = "VexoLoc";

bool HasSvgFileSuffix(const QString& reference)
{
    return reference.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) ||
           reference.endsWith(QLatin1String(".svgz"), Qt::CaseInsensitive);
}

QString ToQString(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QString LinkReference(const QString& name, const QString& value)
{
    const QString trimmed = value.trimmed();
    const QLatin1String url("url(");
    if (trimmed.startsWith(url)) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(')'), url.size());
        return trimmed.mid(url.size(), close < 0 ? -1 : close - url.size()).trimmed();
    }
    if (name == QLatin1String("xlink:href"))
        return trimmed;
    return {};
}

CPropertiesWnd::CPropertiesWnd(CVexoDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc)
{
    tree_ = new QTreeWidget;
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({tr("Property"), tr("Value")});
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setUniformRowHeights(true);
    tree_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    tree_->header()->setStretchLastSection(true);

    description_ = new QTextBrowser;
    description_->setOpenLinks(false);
    description_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(tree_);
    splitter->addWidget(description_);
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CreateToolBar());
    layout->addWidget(splitter, 1);

    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] {
        UpdateDescription();
        UpdateActions();
    });
    connect(&doc_, &CVexoDoc::cleared, this, &CPropertiesWnd::Clear);
    connect(&doc_, &CVexoDoc::loaded, this, [this] { ShowElement(doc_.Selected()); });
    connect(&doc_, &CVexoDoc::elementSelected, this, &CPropertiesWnd::ShowElement);
    UpdateActions();
}

QToolBar* CPropertiesWnd::CreateToolBar()
{
    auto* toolBar = new QToolBar(this);
    toolBar->setIconSize(QSize(kIconSizePx, kIconSizePx));

    expandAllAction_ = toolBar->addAction(ToolBarIcon(ToolIcon::Expand), tr("Expand all"));
    connect(expandAllAction_, &QAction::triggered, tree_, &QTreeWidget::expandAll);
    collapseAllAction_ = toolBar->addAction(ToolBarIcon(ToolIcon::Collapse), tr("Collapse all"));
    connect(collapseAllAction_, &QAction::triggered, tree_, &QTreeWidget::collapseAll);
    sortAction_ = toolBar->addAction(ToolBarIcon(ToolIcon::Sort), tr("Sort alphabetically"));
    sortAction_->setCheckable(true);
    connect(sortAction_, &QAction::toggled, this, [this] { Populate(); });
    toolBar->addSeparator();
    moveToLinkAction_ = toolBar->addAction(ToolBarIcon(ToolIcon::MoveToHref), tr("Move to link"));
    connect(moveToLinkAction_, &QAction::triggered, this, &CPropertiesWnd::OnMoveToLinkCommand);
    return toolBar;
}

std::vector<CPropertiesWnd::Group> CPropertiesWnd::GroupAttributes(const svg::CElem& elem)
{
    // Every schema row opens its category, present or not, so that the
    // groups keep the schema's order whichever attributes an element has.
    std::vector<Group> groups;
    std::unordered_set<std::string> shown;
    for (const SchemaRow* schemaRow : SchemaRowsFor(elem.Name())) {
        const QString category = QString::fromStdString(schemaRow->category);
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&category](const Group& g) { return g.category == category; });
        if (group == groups.end())
            group = groups.insert(groups.end(), Group{category, {}});
        const std::string* attribute = elem.attributes.Value(schemaRow->attribute);
        // An attribute met twice (a collection included by two routes) is
        // listed once, where it is first met.
        if (attribute == nullptr || !shown.insert(schemaRow->attribute).second)
            continue;
        const QString value = ToQString(*attribute);
        group->rows.push_back({QString::fromStdString(schemaRow->attribute), value, value});
    }
    std::erase_if(groups, [](const Group& group) { return group.rows.empty(); });

    Group other{QStringLiteral("Other"), {}};
    for (const svg::CAttributeMap::Entry& entry : elem.attributes) {
        const std::string name(elem.attributes.NameOf(entry));
        if (name != kLocationAttribute && !shown.contains(name))
            other.rows.push_back({ToQString(name), ToQString(entry.value), QString()});
    }
    if (!other.rows.empty())
        groups.push_back(std::move(other));
    return groups;
}

void CPropertiesWnd::ShowElement(const svg::CElem* elem)
{
    elem_ = elem;
    groups_ = elem != nullptr ? GroupAttributes(*elem) : std::vector<Group>();
    Populate();
}

void CPropertiesWnd::Clear() { ShowElement(nullptr); }

void CPropertiesWnd::Populate()
{
    tree_->clear();
    const bool sorted = sortAction_->isChecked();
    tree_->setRootIsDecorated(!sorted);
    if (sorted) {
        std::vector<const Row*> rows;
        for (const Group& group : groups_)
            for (const Row& row : group.rows)
                rows.push_back(&row);
        std::stable_sort(rows.begin(), rows.end(), [](const Row* a, const Row* b) {
            return QString::compare(a->name, b->name, Qt::CaseInsensitive) < 0;
        });
        for (const Row* row : rows)
            AddRowItem(nullptr, *row);
    } else {
        for (const Group& group : groups_) {
            auto* categoryItem = new QTreeWidgetItem(tree_, {group.category});
            categoryItem->setFirstColumnSpanned(true);
            QFont font = categoryItem->font(0);
            font.setBold(true);
            categoryItem->setFont(0, font);
            for (const Row& row : group.rows)
                AddRowItem(categoryItem, row);
        }
        tree_->expandAll();
    }
    // Names in full, but the values keep at least a third of the pane.
    tree_->resizeColumnToContents(0);
    tree_->setColumnWidth(0, std::min(tree_->columnWidth(0), tree_->viewport()->width() * 2 / 3));
    UpdateDescription();
    UpdateActions();
}

void CPropertiesWnd::AddRowItem(QTreeWidgetItem* parent, const Row& row)
{
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, row.name);
    item->setText(1, row.value);
    item->setToolTip(1, row.value.left(1000));
    item->setData(0, kDescriptionRole, row.description);
    item->setData(0, kIsAttributeRole, true);
}

void CPropertiesWnd::UpdateDescription()
{
    const QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr) {
        description_->clear();
        return;
    }
    const QString description = item->data(0, kDescriptionRole).toString();
    QString html = QStringLiteral("<b>") + item->text(0).toHtmlEscaped() + QStringLiteral("</b>");
    if (!description.isEmpty())
        html += QStringLiteral("<br>") + description.toHtmlEscaped();
    description_->setHtml(html);
}

bool CPropertiesWnd::HasRows() const
{
    return std::any_of(groups_.begin(), groups_.end(), [](const Group& group) { return !group.rows.empty(); });
}

void CPropertiesWnd::UpdateActions()
{
    sortAction_->setEnabled(HasRows());
    const QTreeWidgetItem* item = tree_->currentItem();
    const bool linked = item != nullptr && item->data(0, kIsAttributeRole).toBool() &&
                        !LinkReference(item->text(0), item->text(1)).isEmpty();
    moveToLinkAction_->setEnabled(linked);
}

bool CPropertiesWnd::MoveToLink()
{
    const QTreeWidgetItem* item = tree_->currentItem();
    if (elem_ == nullptr || item == nullptr || !item->data(0, kIsAttributeRole).toBool())
        return false;
    const QString reference = LinkReference(item->text(0), item->text(1));
    if (!reference.contains(QLatin1Char('#')) && !HasSvgFileSuffix(reference))
        return false;
    const svg::CElem* target = doc_.FollowReference(*elem_, reference.toStdString());
    if (target == nullptr)
        return false;
    doc_.SelectElement(target);
    return true;
}

void CPropertiesWnd::OnMoveToLinkCommand()
{
    if (!MoveToLink())
        QMessageBox::critical(this, QCoreApplication::applicationName(), tr("Link unavailable"));
}

}  // namespace vexo
