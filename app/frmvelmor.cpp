#include "frmvelmor.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QBitmap>
#include <QByteArray>
#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <string_view>

#include "amplifier.h"
#include "caption_on_frame_style.h"
#include "handler_guard.h"
#include "locale_separator.h"
#include "memo_report_sink.h"
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

std::array<std::string_view, velmor::kInputCount> Views(
    const std::array<QByteArray, velmor::kInputCount>& texts) {
    std::array<std::string_view, velmor::kInputCount> views;
    std::transform(texts.begin(), texts.end(), views.begin(), [](const QByteArray& text) {
        return std::string_view(text.constData(), static_cast<size_t>(text.size()));
    });
    return views;
}

// Assistive technology meets the main window as a dialog, which it is, not as a bare panel.
QAccessibleInterface* AccessibleAsDialog(const QString& className, QObject* object) {
    if (className == QLatin1String(TFrmVelmor::staticMetaObject.className()) &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    return nullptr;
}

}  // namespace

TFrmVelmor::TFrmVelmor(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmVelmor>()) {
    // Before the form: naming its controls can already make Qt build (and keep) the window's
    // accessible interface, which must then be the dialog's.
    static const bool accessibleAsDialog = (QAccessible::installFactory(AccessibleAsDialog), true);
    Q_UNUSED(accessibleAsDialog);
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

    for (QPushButton* button : findChildren<QPushButton*>()) button->installEventFilter(this);

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

// The texts as typed (UTF-8) in the input table's order, each from the edit box named "Edit" and
// the input's name.
std::array<QByteArray, velmor::kInputCount> TFrmVelmor::InputTexts() const {
    std::array<QByteArray, velmor::kInputCount> texts;
    for (int i = 0; i < velmor::kInputCount; ++i) {
        const std::string_view name = velmor::kInputs[i].name;
        const QString editName =
            QLatin1String("Edit") + QLatin1String(name.data(), qsizetype(name.size()));
        const auto* edit = findChild<QLineEdit*>(editName);
        if (edit == nullptr) qFatal("the form has no edit box %s", qPrintable(editName));
        texts[i] = edit->text().toUtf8();
    }
    return texts;
}

void TFrmVelmor::BitBtnCalcClick() {
    velmor::RunHandler([this] {
        const auto texts = InputTexts();
        // A text that is not a number stops here, before the report box is touched.
        const velmor::InputSet inputs = velmor::ReadInputSet(Views(texts));
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
        velmor::SaveReport(SaveDlg, ui->Memo->document()->toRawText());
    });
}

// Enter presses a focused push button once per press, on the press; Space, as Qt has it, on the
// release. Never again for a key held down, or left down because its release went to a window
// that is gone: auto-repeated presses are dropped. X repeats a key as a release and a press at
// one time stamp, which Qt does not always recognise as a repeat, so a press at the time of the
// last release is dropped too (a dropped Space leaves the button up, so no later release
// clicks). Enter never acts on the release: its press may have closed a message box, whose
// release then comes here. No button is the default one (which would also change its look), so
// Enter in an edit box still presses nothing.
bool TFrmVelmor::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QPushButton*>(watched);
    const bool press = event->type() == QEvent::KeyPress;
    if (button == nullptr || (!press && event->type() != QEvent::KeyRelease))
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter && key->key() != Qt::Key_Space) return QWidget::eventFilter(watched, event);
    if (!press) {
        keyReleased_ = key->timestamp();
        return false;
    }
    const bool repeated =
        key->isAutoRepeat() || (key->timestamp() != 0 && key->timestamp() == keyReleased_);
    if (enter && !repeated) button->click();
    return enter || repeated;
}

void TFrmVelmor::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) velmor::ReadDecimalSeparator();
    QWidget::changeEvent(event);
}
