#include "save_dialog.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>

#include <iterator>

namespace velmor {

ReportSaveDialog::ReportSaveDialog(QWidget* owner) : owner_(owner) {}

QPoint ReportSaveDialog::PlacementOnScreen(const QRect& screen, const QSize& dialog) {
    // C++ division truncates toward zero, as the placement rule wants (also when the dialog is
    // larger than the screen).
    return {screen.left() + (screen.width() - dialog.width()) / 2,
            screen.top() + (screen.height() - dialog.height()) / 3};
}

std::optional<QString> ReportSaveDialog::AskSavePath() {
    QFileDialog dialog(owner_);
    Configure(dialog);
    Place(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;

    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    lastPath_ = files.first();
    // With the details hidden, Qt gives the filter as shown, that is the description.
    const QString selected = dialog.selectedNameFilter();
    for (int i = 0; i < int(std::size(kFilters)); ++i) {
        if (selected == kFilters[i].shown || selected == kFilters[i].qtFilter) filterIndex_ = i + 1;
    }
    return lastPath_;
}

void ReportSaveDialog::Configure(QFileDialog& dialog) const {
    // The non-native dialog behaves the same on every desktop and can be driven by tests; the
    // native ones differ in how they treat the default suffix.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Show the descriptions exactly as written; the Qt patterns are only for filtering.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(kDefaultSuffix.toString());
    dialog.setSizeGripEnabled(true);

    QStringList nameFilters;
    for (const FileFilter& filter : kFilters) nameFilters.append(filter.qtFilter.toString());
    dialog.setNameFilters(nameFilters);
    dialog.selectNameFilter(nameFilters.value(filterIndex_ - 1));
    if (!lastPath_.isEmpty()) dialog.selectFile(lastPath_);
}

void ReportSaveDialog::Place(QFileDialog& dialog) const {
    // Give the dialog the size it will be shown with, so that the placement uses it.
    dialog.ensurePolished();
    if (!dialog.testAttribute(Qt::WA_Resized)) dialog.adjustSize();
    QScreen* screen = owner_ ? owner_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // The rule counts the window frame, which the dialog gets only when it is shown; it will be
    // the owner's, whose frame is known.
    QSize frame = dialog.size();
    if (owner_) frame += owner_->frameGeometry().size() - owner_->size();
    // Moving before exec() also stops QDialog from centring itself over the owner.
    dialog.move(PlacementOnScreen(screen->geometry(), frame));
}

}  // namespace velmor
