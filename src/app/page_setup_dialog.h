// The page set-up dialog: paper and orientation, margins (in millimetres, or
// in inches when PRINT/USEINCHES is 1), natural size ("Genuin Scale") or
// "Fit to paper", the four decorations, and a sample page that shows the
// document's picture on the chosen paper inside its margins. OK stores the
// choices in the PRINT keys; a margin left as it was keeps its stored value
// exactly, so switching units never makes margins drift. "&Printer..."
// opens the system's printer dialog for the application's printer.
// User-interface thread only.
#pragma once

#include <QDialog>

#include "app/print_job.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPrinter;
class QRadioButton;

namespace svg {
class CPicture;
}

namespace vexo {

class CSamplePage;

class CSvgPageSetupDialog : public QDialog {
    Q_OBJECT
public:
    // `picture` (may be null) is drawn on the sample page; `printer` receives
    // the paper and orientation on OK and is what "&Printer..." sets up.
    CSvgPageSetupDialog(const PrintSettings& start, const svg::CPicture* picture, QPrinter& printer,
                        QWidget* parent = nullptr);

    // The choices as the controls show them.
    PrintSettings Choices() const;

    // The controls, for tests.
    QComboBox* PaperBox() const { return paperBox_; }
    QDoubleSpinBox* MarginBox(int side) const { return margins_[side]; }  // left, top, right, bottom
    QRadioButton* FitButton() const { return fitButton_; }
    QRadioButton* LandscapeButton() const { return landscapeButton_; }
    QCheckBox* TitleBox() const { return titleBox_; }
    QCheckBox* PageFrameBox() const { return pageFrameBox_; }
    QCheckBox* ViewportFrameBox() const { return viewportFrameBox_; }
    QCheckBox* PageNumberBox() const { return pageNumberBox_; }

private:
    QWidget* MakePaperGroup();
    QWidget* MakeMarginGroup();
    QWidget* MakeOptionGroups();
    void SetUpPrinter();
    // A stored margin (hundredths of a millimetre) in the dialog's unit, and back.
    double ToShown(int hundredthsMm) const;
    int FromShown(double shown) const;

    PrintSettings start_;
    QPrinter& printer_;
    QComboBox* paperBox_ = nullptr;
    QRadioButton* portraitButton_ = nullptr;
    QRadioButton* landscapeButton_ = nullptr;
    QDoubleSpinBox* margins_[4] = {};
    QRadioButton* naturalButton_ = nullptr;
    QRadioButton* fitButton_ = nullptr;
    QCheckBox* viewportFrameBox_ = nullptr;
    QCheckBox* pageFrameBox_ = nullptr;
    QCheckBox* titleBox_ = nullptr;
    QCheckBox* pageNumberBox_ = nullptr;
    CSamplePage* sample_ = nullptr;
};

// Opens the dialog on the PRINT settings and stores the choices on OK.
// True when the user chose OK.
bool RunPageSetup(QWidget* parent, CSettings& settings, const svg::CPicture* picture, QPrinter& printer);

}  // namespace vexo
