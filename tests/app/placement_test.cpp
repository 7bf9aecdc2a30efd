// Where the window opens, below any display: the frame against the work area (also at a scale
// factor of 2) and the Qt platform chosen from the environment. (On a real screen: end to end.)
#include <QtTest>

#include <cstdlib>
#include <string>

#include "display_choice.h"
#include "frame_fit.h"
#include "start_position.h"

class PlacementTest : public QObject {
    Q_OBJECT

  private slots:
    // A frame that fits stays, also touching the work area's edges. An axis that does not fit,
    // by one pixel or lying above or left of the work area, is centred (an odd pixel rounding up
    // and left); one longer than the work area starts at its edge; each axis apart.
    void fit() {
        const struct {
            QRect frame, work;
            QPoint expected;
        } rows[] = {
            {{441, 482, 683, 391}, {0, 0, 1124, 873}, {441, 482}},  // right and bottom edges
            {{48, 27, 683, 391}, {48, 27, 1318, 741}, {48, 27}},    // left and top edges
            {{441, 482, 683, 391}, {0, 0, 1123, 872}, {220, 240}},
            {{441, 482, 691, 404}, {0, 27, 1366, 741}, {441, 195}},  // Xfce: panel at the top
            {{441, 10, 683, 391}, {0, 27, 1366, 741}, {441, 202}},
            {{20, 482, 683, 391}, {48, 0, 1318, 768}, {365, 188}},        // panel on the left
            {{3000, 100, 683, 391}, {1366, 0, 1920, 1080}, {1984, 100}},  // a second monitor
            {{441, 482, 1364, 761}, {0, 0, 1280, 1024}, {0, 131}},
            {{441, 482, 1900, 900}, {0, 27, 1366, 741}, {0, 27}},
        };
        for (const auto& [frame, work, expected] : rows) {
            const QPoint fitted = velmor::FitFrameIntoWorkArea(frame, work);
            QVERIFY2(fitted == expected,
                     qPrintable(QDebug::toString(frame) + " in " + QDebug::toString(work) +
                                " goes to " + QDebug::toString(fitted)));
        }
    }

    // At a scale factor of 2 Qt's screens keep their corner in device pixels and halve the rest:
    // the window, 1362 x 740 device pixels, stays at its designed pixel on a 1920 x 1280 screen,
    // and on a second 1366 x 768 screen at 1920,0 (a panel of 14 units at its top) it is centred
    // across and starts at the work area's top.
    void scaledByTwo() {
        const QRect big = velmor::InDevicePixels({0, 0, 960, 640}, {0, 0}, 2);
        const QRect second = velmor::InDevicePixels({1920, 14, 683, 370}, {1920, 0}, 2);
        QCOMPARE(big, QRect(0, 0, 1920, 1280));
        QCOMPARE(second, QRect(1920, 28, 1366, 740));
        const QSize window(1362, 740);
        QCOMPARE(velmor::FitFrameIntoWorkArea({velmor::kDesignedPlace, window}, big),
                 velmor::kDesignedPlace);
        QCOMPARE(velmor::FitFrameIntoWorkArea({velmor::kDesignedPlace + QPoint(1920, 0), window},
                                              second),
                 QPoint(1922, 28));
    }

    // A platform the user names in QT_QPA_PLATFORM is kept, whatever displays answer; left
    // empty, X is taken where it opens, else a Wayland compositor with Qt's plugin.
    void displayChoice() {
        const struct {
            const char *platform, *x, *wayland;
            bool xOpens, waylandAnswers, plugin;
            const char *chosen, *problem;
        } rows[] = {
            {"offscreen", ":0", "", true, false, false, "offscreen", ""},
            {"wayland", ":0", "wayland-0", true, true, true, "wayland", ""},
            {"xcb", "", "wayland-0", false, true, true, "xcb", ""},
            {"", ":0", "wayland-0", true, true, true, "xcb", ""},
            {"", ":0", "wayland-0", false, true, true, "wayland", ""},
            {"", "", "wayland-0", false, true, false, "",
             "velmor: the Wayland display \"wayland-0\" needs Qt's Wayland plugin (package "
             "qt6-wayland), which is not installed"},
        };
        static bool xOpens, waylandAnswers, plugin;
        const velmor::DisplayProbes probes{[](const std::string&) { return xOpens; },
                                           [](const std::string&) { return waylandAnswers; },
                                           [] { return plugin; }};
        for (const auto& row : rows) {
            qputenv("QT_QPA_PLATFORM", row.platform);
            qputenv("DISPLAY", row.x);
            qputenv("WAYLAND_DISPLAY", row.wayland);
            xOpens = row.xOpens, waylandAnswers = row.waylandAnswers, plugin = row.plugin;
            const QString problem =
                QString::fromStdString(velmor::ChooseDisplay(probes).value_or(""));
            const QString where = QStringLiteral("QT_QPA_PLATFORM=%1 DISPLAY=%2 WAYLAND_DISPLAY=%3")
                                      .arg(row.platform, row.x, row.wayland);
            QVERIFY2(problem == row.problem, qPrintable(where + ": " + problem));
            QVERIFY2(qgetenv("QT_QPA_PLATFORM") == row.chosen,
                     qPrintable(where + " chose " + qgetenv("QT_QPA_PLATFORM")));
        }
    }
};

QTEST_APPLESS_MAIN(PlacementTest)
#include "placement_test.moc"
