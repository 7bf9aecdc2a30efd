// The main window: the schematic, the eight input boxes, the report box and the buttons.
//
// Besides the boxes' texts and the report box, the window holds what the save dialog remembers
// (the last path and filter) and the printer chosen at the first print request. Each click handler
// runs inside the handler guard, so its errors are shown in a message box and the window stays
// usable with whatever the handler left in it.
#pragma once

#include <QWidget>

#include <array>
#include <memory>

#include "amplifier.h"
#include "save_dialog.h"
#include "window_printer.h"

namespace Ui {
class TFrmVelmor;
}

class TFrmVelmor : public QWidget {
    Q_OBJECT

  public:
    explicit TFrmVelmor(QWidget* parent = nullptr);
    ~TFrmVelmor() override;

  private slots:
    void BitBtnCalcClick();
    void BitBtnPrintClick();
    void BitBtn2Click();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void SetUpStatusBar();
    velmor::InputSet ReadInputs() const;

    std::unique_ptr<Ui::TFrmVelmor> ui;
    // The save dialog's settings and what it remembers for the run.
    velmor::ReportSaveDialog SaveDlg{this};
    // The printer and the list of installed printers, chosen at the first print request and
    // kept for the run.
    velmor::WindowPrinter Printer{velmor::CreateCupsPrintSystem()};
};
