#include "app/page_setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/picture_clipboard.h"
#include "render/render.h"

namespace vexo {

// The sample page: the chosen paper in proportion, with shadows, its margins
// dotted, and the picture inside them, fitted or at its natural proportion.
class CSamplePage : public QWidget {
public:
    CSamplePage(const svg::CPicture* picture, const CSvgPageSetupDialog& dialog, QWidget* parent)
        : QWidget(parent), picture_(picture), dialog_(dialog)
    {
        setMinimumSize(160, 180);
    }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const svg::CPicture* picture_;
    const CSvgPageSetupDialog& dialog_;
};

namespace {

constexpr double kHundredthsMmPerThousandthInch = 2.54;
constexpr double kMmPerInch = 25.4;
constexpr double kMaxMarginMm = 1000;
constexpr double kShadowPx = 4;

const QPageSize::PageSizeId kPapers[] = {
    QPageSize::A3,     QPageSize::A4,    QPageSize::A5,      QPageSize::B4,     QPageSize::B5,
    QPageSize::Letter, QPageSize::Legal, QPageSize::Tabloid, QPageSize::Executive,
};

}  // namespace

void CSamplePage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const PrintSettings choices = dialog_.Choices();
    QSizeF paperMm = QPageSize(choices.paper).size(QPageSize::Millimeter);
    if (choices.orientation == QPageLayout::Landscape)
        paperMm.transpose();
    const QRectF room = QRectF(rect()).adjusted(8, 8, -8 - kShadowPx, -8 - kShadowPx);
    const double pxPerMm = std::min(room.width() / paperMm.width(), room.height() / paperMm.height());
    const QSizeF paperPx = paperMm * pxPerMm;
    const QRectF paper(room.center() - QPointF(paperPx.width(), paperPx.height()) / 2, paperPx);
    painter.fillRect(paper.translated(kShadowPx, kShadowPx), QColor(128, 128, 128));
    painter.fillRect(paper, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(paper);

    const double mm = pxPerMm / 100;  // pixels a hundredth of a millimetre
    const QRectF inside = paper.adjusted(choices.marginLeft * mm, choices.marginTop * mm, -choices.marginRight * mm,
                                         -choices.marginBottom * mm);
    if (inside.width() <= 0 || inside.height() <= 0)
        return;
    painter.setPen(QPen(QColor(160, 160, 160), 0, Qt::DotLine));
    painter.drawRect(inside);
    if (picture_ == nullptr || svg::IsEmptyRect(picture_->Frame()))
        return;
    const svg::RectF frame = picture_->Frame();
    // Natural size: 96 units an inch; fitted: the margins' area, aspect kept.
    double scale = pxPerMm * kMmPerInch / 96;
    if (choices.fit)
        scale = std::min(inside.width() / frame.width, inside.height() / frame.height);
    const QSize sizePx = inside.size().toSize();
    const QImage image = ReplayPicture(*picture_, sizePx,
                                       svg::Matrix{scale, 0, 0, scale, -frame.x * scale, -frame.y * scale},
                                       Qt::transparent);
    painter.drawImage(inside.topLeft(), image);
}

CSvgPageSetupDialog::CSvgPageSetupDialog(const PrintSettings& start, const svg::CPicture* picture, QPrinter& printer,
                                         QWidget* parent)
    : QDialog(parent), start_(start), printer_(printer)
{
    setWindowTitle(QStringLiteral("Page Setup"));
    sample_ = new CSamplePage(picture, *this, this);
    auto* left = new QVBoxLayout;
    left->addWidget(MakePaperGroup());
    left->addWidget(MakeMarginGroup());
    left->addWidget(MakeOptionGroups());
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(sample_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    help->setEnabled(false);
    QPushButton* printerButton = buttons->addButton(QStringLiteral("&Printer..."), QDialogButtonBox::ActionRole);
    connect(printerButton, &QPushButton::clicked, this, &CSvgPageSetupDialog::SetUpPrinter);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
}

QWidget* CSvgPageSetupDialog::MakePaperGroup()
{
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);

    auto* paper = new QGroupBox(QStringLiteral("Paper"), box);
    auto* form = new QFormLayout(paper);
    paperBox_ = new QComboBox(paper);
    for (QPageSize::PageSizeId id : kPapers)
        paperBox_->addItem(QPageSize::name(id), int(id));
    if (paperBox_->findData(int(start_.paper)) < 0)
        paperBox_->addItem(QPageSize::name(start_.paper), int(start_.paper));
    paperBox_->setCurrentIndex(paperBox_->findData(int(start_.paper)));
    auto* source = new QComboBox(paper);
    source->addItem(tr("Automatic"));
    source->setEnabled(false);
    form->addRow(QStringLiteral("Si&ze:"), paperBox_);
    form->addRow(QStringLiteral("&Source:"), source);

    auto* orientation = new QGroupBox(QStringLiteral("Orientation"), box);
    auto* orientationColumn = new QVBoxLayout(orientation);
    portraitButton_ = new QRadioButton(QStringLiteral("P&ortrait"), orientation);
    landscapeButton_ = new QRadioButton(QStringLiteral("L&andscape"), orientation);
    (start_.orientation == QPageLayout::Landscape ? landscapeButton_ : portraitButton_)->setChecked(true);
    orientationColumn->addWidget(portraitButton_);
    orientationColumn->addWidget(landscapeButton_);

    row->addWidget(paper);
    row->addWidget(orientation);
    auto repaint = [this] { sample_->update(); };
    connect(paperBox_, &QComboBox::currentIndexChanged, this, repaint);
    connect(landscapeButton_, &QRadioButton::toggled, this, repaint);
    return box;
}

QWidget* CSvgPageSetupDialog::MakeMarginGroup()
{
    const QString unit = start_.useInches ? QStringLiteral(" in") : QStringLiteral(" mm");
    auto* group = new QGroupBox(QStringLiteral("Margins") + QStringLiteral(" (") + unit.trimmed() + QLatin1Char(')'), this);
    auto* grid = new QFormLayout(group);
    const QMarginsF minimum = printer_.pageLayout().minimumMargins();
    const double minimumScale = printer_.pageLayout().units() == QPageLayout::Millimeter ? 1 : kMmPerInch;
    const int stored[4] = {start_.marginLeft, start_.marginTop, start_.marginRight, start_.marginBottom};
    const double minima[4] = {minimum.left(), minimum.top(), minimum.right(), minimum.bottom()};
    const char* labels[4] = {"&Left:", "&Top:", "&Right:", "&Bottom:"};
    for (int side = 0; side < 4; ++side) {
        auto* spin = new QDoubleSpinBox(group);
        spin->setDecimals(start_.useInches ? 3 : 2);
        spin->setSingleStep(start_.useInches ? 0.1 : 1);
        const double minimumMm = minima[side] * minimumScale;
        spin->setRange(start_.useInches ? minimumMm / kMmPerInch : minimumMm,
                       start_.useInches ? kMaxMarginMm / kMmPerInch : kMaxMarginMm);
        spin->setSuffix(unit);
        spin->setValue(ToShown(stored[side]));
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { sample_->update(); });
        grid->addRow(QLatin1String(labels[side]), spin);
        margins_[side] = spin;
    }
    return group;
}

QWidget* CSvgPageSetupDialog::MakeOptionGroups()
{
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* scaling = new QGroupBox(QStringLiteral("Scaling"), box);
    auto* scalingColumn = new QVBoxLayout(scaling);
    naturalButton_ = new QRadioButton(QStringLiteral("Genuin Scale"), scaling);
    fitButton_ = new QRadioButton(QStringLiteral("Fit to paper"), scaling);
    (start_.fit ? fitButton_ : naturalButton_)->setChecked(true);
    scalingColumn->addWidget(naturalButton_);
    scalingColumn->addWidget(fitButton_);

    auto* misc = new QGroupBox(QStringLiteral("Misc"), box);
    auto* miscColumn = new QVBoxLayout(misc);
    auto check = [&](const char* text, bool on) {
        auto* boxWidget = new QCheckBox(QLatin1String(text), misc);
        boxWidget->setChecked(on);
        connect(boxWidget, &QCheckBox::toggled, this, [this] { sample_->update(); });
        miscColumn->addWidget(boxWidget);
        return boxWidget;
    };
    viewportFrameBox_ = check("Print Viewport Frame", start_.viewportFrame);
    pageFrameBox_ = check("Print Page Frame", start_.pageFrame);
    titleBox_ = check("Print Title", start_.title);
    pageNumberBox_ = check("Print Page No.", start_.pageNumber);
    connect(fitButton_, &QRadioButton::toggled, this, [this] { sample_->update(); });
    row->addWidget(scaling);
    row->addWidget(misc);
    return box;
}

double CSvgPageSetupDialog::ToShown(int hundredthsMm) const
{
    // Inches are shown from thousandths of an inch, as the dialog keeps them.
    if (start_.useInches)
        return std::round(hundredthsMm / kHundredthsMmPerThousandthInch) / 1000;
    return hundredthsMm / 100.0;
}

int CSvgPageSetupDialog::FromShown(double shown) const
{
    if (start_.useInches)
        return int(std::lround(std::round(shown * 1000) * kHundredthsMmPerThousandthInch));
    return int(std::lround(shown * 100));
}

PrintSettings CSvgPageSetupDialog::Choices() const
{
    PrintSettings choices = start_;
    choices.paper = static_cast<QPageSize::PageSizeId>(paperBox_->currentData().toInt());
    choices.orientation = landscapeButton_->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait;
    int* stored[4] = {&choices.marginLeft, &choices.marginTop, &choices.marginRight, &choices.marginBottom};
    for (int side = 0; side < 4; ++side) {
        // Unchanged margins keep their stored value: converting it to the
        // dialog's unit and back would move it.
        if (margins_[side]->value() != ToShown(*stored[side]))
            *stored[side] = FromShown(margins_[side]->value());
    }
    choices.fit = fitButton_->isChecked();
    choices.viewportFrame = viewportFrameBox_->isChecked();
    choices.pageFrame = pageFrameBox_->isChecked();
    choices.title = titleBox_->isChecked();
    choices.pageNumber = pageNumberBox_->isChecked();
    return choices;
}

void CSvgPageSetupDialog::SetUpPrinter()
{
    ApplyToPrinter(Choices(), printer_);
    QPrintDialog dialog(&printer_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The printer's paper and orientation come back into the dialog.
    const QPageLayout layout = printer_.pageLayout();
    const int index = paperBox_->findData(int(layout.pageSize().id()));
    if (index >= 0)
        paperBox_->setCurrentIndex(index);
    (layout.orientation() == QPageLayout::Landscape ? landscapeButton_ : portraitButton_)->setChecked(true);
}

bool RunPageSetup(QWidget* parent, CSettings& settings, const svg::CPicture* picture, QPrinter& printer)
{
    CSvgPageSetupDialog dialog(ReadPrintSettings(settings), picture, printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const PrintSettings choices = dialog.Choices();
    WritePrintSettings(settings, choices);
    ApplyToPrinter(choices, printer);
    return true;
}

}  // namespace vexo
