// The report's save-file dialog, the window's SaveDlg.
//
// A modal, non-native Qt file dialog in save mode with the filters "文本文件(*.txt)" and
// "所有文件(*.*)" (the first selected at first), the default suffix "txt" (a name typed without
// an extension gets ".txt" whichever filter is selected; "result.log" stays as it is), no question
// before replacing a file, no check that the typed folder exists, resizable, and placed centred
// across and one third down on the owner's monitor. It remembers the last confirmed path and the
// filter selected then, for the run only, and offers both the next time. It touches no
// floating-point state.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringView>

#include <optional>

class QFileDialog;
class QWidget;

namespace velmor {

// What saving needs of a dialog: a confirmed path, or nothing when the user cancelled.
class SavePathPrompt {
  public:
    virtual ~SavePathPrompt() = default;
    virtual std::optional<QString> AskSavePath() = 0;
};

// One entry of the dialog's filter list: the text shown, and the Qt name filter it stands for.
struct FileFilter {
    QStringView shown;
    QStringView qtFilter;
};

class ReportSaveDialog final : public SavePathPrompt {
  public:
    // In Windows file dialogs "*.*" also matches names without a dot, as Qt's "*" does.
    static constexpr FileFilter kFilters[] = {
        {u"文本文件(*.txt)", u"文本文件(*.txt) (*.txt)"},
        {u"所有文件(*.*)", u"所有文件(*.*) (*)"},
    };
    static constexpr QStringView kDefaultSuffix = u"txt";

    // owner is the window the dialog is modal for and whose monitor it is placed on.
    explicit ReportSaveDialog(QWidget* owner);

    // Runs the dialog modally. Returns the confirmed full path, with the default suffix added,
    // and remembers it with the selected filter; returns nothing (and remembers nothing) when the
    // dialog ends any other way.
    std::optional<QString> AskSavePath() override;

    // Where the dialog goes on a screen: left = screen left + (screen width - dialog width) / 2,
    // top = screen top + (screen height - dialog height) / 3, in integers rounded toward zero.
    static QPoint PlacementOnScreen(const QRect& screen, const QSize& dialog);

  private:
    void Configure(QFileDialog& dialog) const;
    void Place(QFileDialog& dialog) const;

    QWidget* owner_;
    QString lastPath_;
    // The filter entry selected, counted from 1.
    int filterIndex_ = 1;
};

}  // namespace velmor
