// The bare window Velmor's start-up is measured against: the same font work and nothing else.
// Chinese text in the substituted "宋体" face and a Chinese status line in the desktop's default
// status-bar font, in a window of Velmor's size.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                                QStringLiteral("WenQuanYi Micro Hei")});

    QWidget window;
    window.setFont(QFont(QStringLiteral("宋体"), 9));
    window.setWindowTitle(QStringLiteral("Velmor"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("本软件试以VBE=0.7V和VBE=0.3V计算直流和交流参数")),
                      1);
    auto* status = new QStatusBar;
    status->setFont(QApplication::font("QStatusBar"));
    status->addWidget(new QLabel(QStringLiteral("分压式偏置共射极放大电路计算")), 1);
    layout->addWidget(status);
    window.setFixedSize(681, 370);
    window.move(441, 482);
    window.show();
    return QApplication::exec();
}
