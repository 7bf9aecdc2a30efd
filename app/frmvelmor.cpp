#include "frmvelmor.h"

#include <QApplication>
#include <QBitmap>
#include <QByteArray>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QPixmap>

#include <array>
#include <string_view>

#include "amplifier.h"
#include "caption_on_frame_style.h"
#include "handler_guard.h"
#include "input_box.h"
#include "locale_separator.h"
#include "memo_report_sink.h"
#include "once_per_press.h"
#include "report.h"
#include "report_save.h"
#include "start_position.h"
#include "ui_frmvelmor.h"

namespace {

// The picture's background (the colour of its bottom-left pixel) made transparent, so that
// the window's face colour shows through.
QPixmap WithTransparentBackground(const QPixmap& picture) {
    if (picture.isNull()) return picture;
    const QColor background = picture.toImage().pixelColor(0, picture.height() - 1);
    QPixmap result = picture;
    result.setMask(picture.createMaskFromColor(background, Qt::MaskInColor));
    return result;
}

}  // namespace

TFrmVelmor::TFrmVelmor(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmVelmor>()) {
    ui->setupUi(this);

    // A fixed dialog frame: a system menu and a close box, no minimise or maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());

    auto* groupBoxStyle = new velmor::CaptionOnFrameStyle;
    groupBoxStyle->setParent(this);
    ui->GroupBox1->setStyle(groupBoxStyle);
    ui->Image1->setPixmap(WithTransparentBackground(ui->Image1->pixmap()));
    SetUpStatusBar();

    connect(ui->BitBtnCalc, &QPushButton::clicked, this, &TFrmVelmor::BitBtnCalcClick);
    connect(ui->BitBtnPrint, &QPushButton::clicked, this, &TFrmVelmor::BitBtnPrintClick);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &TFrmVelmor::BitBtn2Click);

    auto* oncePerPress = new velmor::OncePerPressFilter(this);
    for (QPushButton* button : findChildren<QPushButton*>())
        button->installEventFilter(oncePerPress);

    // A scale factor enlarges the window but does not move it; on a small screen it moves as
    // little as keeps every button in reach.
    velmor::PlaceWithinReach(*this, velmor::kDesignedPlace);
}

TFrmVelmor::~TFrmVelmor() = default;

// The bar's two panels cannot be declared in the form: "就绪", and a notice filling the rest.
void TFrmVelmor::SetUpStatusBar() {
    // The status bar keeps the desktop's own status-bar font and its rendering, not the window's
    // "宋体" drawn without antialiasing.
    QFont barFont = QApplication::font("QStatusBar");
    barFont.setStyleStrategy(QFont::PreferDefault);
    ui->StatusBar1->setFont(barFont);

    auto* ready = new QLabel(tr("就绪"));
    ready->setFixedWidth(50);
    ready->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* notice = new QLabel(tr("分压式偏置共射极放大电路计算"));
    notice->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ui->StatusBar1->addWidget(ready);
    ui->StatusBar1->addWidget(notice, 1);
}

// The values typed, read in the input table's order, each from the edit box named "Edit" and the
// input's name. Each text is in hand as UTF-8 only while it is read: eight long texts are not
// copied at once.
velmor::InputSet TFrmVelmor::ReadInputs() const {
    std::array<double, velmor::kInputCount> values{};
    for (int i = 0; i < velmor::kInputCount; ++i) {
        const std::string_view name = velmor::kInputs[i].name;
        const QString editName =
            QLatin1String("Edit") + QLatin1String(name.data(), qsizetype(name.size()));
        const auto* edit = findChild<velmor::InputBox*>(editName);
        if (edit == nullptr) qFatal("the form has no edit box %s", qPrintable(editName));
        const QByteArray text = edit->text().toUtf8();
        values[i] = velmor::ReadInput(std::string_view(text.constData(), size_t(text.size())));
    }
    return velmor::MakeInputSet(values);
}

void TFrmVelmor::BitBtnCalcClick() {
    velmor::RunHandler([this] {
        // A text that is not a number stops here, before the report box is touched.
        const velmor::InputSet inputs = ReadInputs();
        velmor::MemoReportSink report(*ui->Memo);
        velmor::BuildReport(inputs, report);
    });
}

void TFrmVelmor::BitBtnPrintClick() {
    velmor::RunHandler([this] { Printer.Print(*this); });
}

void TFrmVelmor::BitBtn2Click() {
    velmor::RunHandler([this] {
        // The raw text keeps what toPlainText() would change (no-break spaces); its paragraph
        // separators become CR LF when the file is written.
        velmor::SaveReport(SaveDlg, ui->Memo->Text());
    });
}

void TFrmVelmor::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) velmor::ReadDecimalSeparator();
    QWidget::changeEvent(event);
}
