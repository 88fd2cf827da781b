#include "app/output_wnd.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/vexo_doc.h"
#include "model/document.h"
#include "model/elem.h"
#include "model/message_log.h"

namespace vexo {
namespace {

constexpr int kPollIntervalMs = 100;

// The colour of a message line by its severity letter.
QColor LineColour(const QString& text)
{
    const QChar severity = text.isEmpty() ? QChar() : text.front();
    if (severity == u'E' || severity == u'F')
        return QColor(255, 0, 0);
    if (severity == u'W')
        return QColor(0, 128, 0);
    return QColor(0, 0, 0);
}

// Selected lines keep their severity colour, on a light highlight: the
// style's white-on-blue would hide that the last line is an error.
class CKeepColourDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (!foreground.isValid())
            return;
        option->palette.setBrush(QPalette::HighlightedText, foreground.value<QBrush>());
        option->palette.setColor(QPalette::Highlight, QColor(0xCC, 0xE4, 0xF7));
    }
};

// A log entry as one row: parser reasons end with a line break of their own.
QString RowText(const std::string& entry)
{
    QString text = QString::fromStdString(entry);
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    text.replace(u'\n', u' ');
    return text;
}

// The digits starting at `pos`, or -1 when there are none (or too many).
int DigitsAt(const QString& text, qsizetype pos)
{
    qsizetype end = pos;
    while (end < text.size() && text[end].isDigit())
        ++end;
    bool ok = false;
    const int value = text.mid(pos, end - pos).toInt(&ok);
    return ok ? value : -1;
}

}  // namespace

bool ParseMessageLocation(const QString& text, int& line, int& column)
{
    static const QString kAt = QStringLiteral(" at ");
    for (qsizetype at = text.indexOf(kAt); at >= 0; at = text.indexOf(kAt, at + 1)) {
        const qsizetype digits = at + kAt.size();
        if (digits >= text.size() || !text[digits].isDigit())
            continue;
        const qsizetype paren = text.indexOf(u'(', digits);
        if (paren < 0)
            return false;
        line = DigitsAt(text, digits);
        column = DigitsAt(text, paren + 1);
        return line >= 0 && column >= 0;
    }
    return false;
}

COutputWnd::COutputWnd(CVexoDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc)
{
    list_ = new QListWidget;
    // Every row has the same height, so thousands of messages lay out at once.
    list_->setUniformItemSizes(true);
    list_->setItemDelegate(new CKeepColourDelegate(list_));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* copyShortcut = new QAction(list_);
    copyShortcut->setShortcut(QKeySequence::Copy);
    copyShortcut->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(copyShortcut);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(list_, QStringLiteral("Log"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);

    connect(copyShortcut, &QAction::triggered, this, &COutputWnd::CopyLines);
    connect(list_, &QListWidget::itemDoubleClicked, this, &COutputWnd::GoToLocation);
    connect(list_, &QWidget::customContextMenuRequested, this, &COutputWnd::ShowContextMenu);
    connect(&doc_, &CVexoDoc::cleared, this, &COutputWnd::OnCleared);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &COutputWnd::Poll);
    timer_->start(kPollIntervalMs);
}

COutputWnd::~COutputWnd() = default;

void COutputWnd::Poll()
{
    const svg::CMessageLog& log = doc_.Log();
    if (log.Count() < taken_)
        OnCleared();  // the log was emptied without a load start being announced
    const std::vector<std::string> entries = log.EntriesFrom(taken_);
    if (entries.empty())
        return;
    taken_ += entries.size();
    const int first = list_->count();
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string& entry : entries)
        lines.append(RowText(entry));
    // One insertion for the lot: item by item, a long log takes seconds.
    list_->addItems(lines);
    for (int row = first; row < list_->count(); ++row)
        list_->item(row)->setForeground(LineColour(list_->item(row)->text()));
    list_->setCurrentRow(list_->count() - 1, QItemSelectionModel::ClearAndSelect);
    list_->scrollToBottom();
}

// A starting load empties the log right after cleared(), before anything can
// poll, so the next poll reads the new load's lines from the first. When the
// document is only closed or stopped the log keeps its lines, and the pane
// reads them again: it always shows what the log holds, once.
void COutputWnd::OnCleared()
{
    list_->clear();
    taken_ = 0;
}

void COutputWnd::CopyLines()
{
    QList<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty()) {
        for (int row = 0; row < list_->count(); ++row)
            rows.append(row);
    }
    QStringList lines;
    for (int row : rows)
        lines.append(list_->item(row)->text());
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(u'\n') + u'\n');
}

void COutputWnd::ClearLines() { list_->clear(); }

void COutputWnd::GoToLocation(const QListWidgetItem* item)
{
    int line = 0;
    int column = 0;
    // While a load runs the documents are being built on its thread.
    if (item == nullptr || doc_.Loading() || !ParseMessageLocation(item->text(), line, column))
        return;
    const svg::DocumentList* documents = doc_.Documents();
    if (documents == nullptr)
        return;
    if (const svg::CElem* elem = svg::FindElementAtLocation(*documents, line, column))
        doc_.SelectElement(elem);
}

void COutputWnd::ShowContextMenu(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction(tr("Copy"), this, &COutputWnd::CopyLines);
    menu.addAction(tr("Clear"), this, &COutputWnd::ClearLines);
    menu.exec(list_->viewport()->mapToGlobal(pos));
}

}  // namespace vexo
