// The camera panel in the running program on the machine types whose manual panel
// differs, in a low and a tall window, folded and unfolded: its images fill its
// width, never lie over its controls, and a live frame is drawn for the live view
// pixel for pixel, so its one-pixel cross-hair stays.
#include <QApplication>

#include <opencv2/core.hpp>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "vision/camera_service.h"
#include "vision/ui/dialogsetview.h"

namespace smt::test {
namespace {

void Settle() {
    for (int i = 0; i < 4; ++i) QApplication::processEvents();
}

TEST(CameraPanel, ImagesFillTheWidthStayOffTheControlsAndKeepTheCrossHair) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    app.Frame()->show();
    CDialogSetView* panel = app.View()->m_pSetView;
    ASSERT_NE(panel, nullptr);
    std::string faults;
    for (int type : {0, 1, 4, 9}) {
        app.Frame()->OnCommand(CommandOfMachineType(type));
        for (const QSize size : {QSize(1280, 640), QSize(1280, 1000)}) {
            app.Frame()->resize(size);
            for (int fold = 0; fold < 2; ++fold) {
                panel->OnHeightToggle();
                Settle();
                const std::string where = "type " + std::to_string(type) + " height " +
                                          std::to_string(size.height()) + (panel->Expanded() ? " unfolded" : " folded");
                CameraImageWindow* live = panel->Window(9);
                const QRect liveArea = type == 4 ? live->geometry().united(panel->Window(10)->geometry()) : live->geometry();
                if (liveArea.right() < panel->width() - 10) faults += where + ": the live view stops short of the panel's edge\n";
                for (int k = 0; k < 11; ++k) {
                    const QWidget* image = panel->Window(k);
                    if (!image->isVisibleTo(panel)) continue;
                    if (!panel->rect().contains(image->geometry()))
                        faults += where + ": image " + std::to_string(k) + " outside the panel\n";
                    for (const QWidget* c : panel->findChildren<QWidget*>()) {
                        if (c->parentWidget() != panel || qobject_cast<const CameraImageWindow*>(c) || !c->isVisibleTo(panel))
                            continue;
                        if (image->geometry().intersects(c->geometry()))
                            faults += where + ": image " + std::to_string(k) + " over " + c->objectName().toStdString() + "\n";
                    }
                }
                // A grey frame: the row through the middle carries the cross-hair.
                TheCameraService().hooks().liveFrame(kMarkCamera, cv::Mat(1024, 1280, CV_8UC3, cv::Scalar(40, 40, 40)));
                Settle();
                const QImage& shown = live->Image();
                if (shown.size() != live->size()) {
                    faults += where + ": a live frame of " + std::to_string(shown.width()) + " x " +
                              std::to_string(shown.height()) + " stretched over the live view\n";
                } else if (shown.pixelColor(4, shown.height() / 2) == shown.pixelColor(4, shown.height() / 2 - 3)) {
                    faults += where + ": no horizontal cross-hair\n";
                }
            }
        }
    }
    EXPECT_EQ(faults, "");
}

// The camera's picture fills the dark area: a result window without an image (the
// row above the live view and the column beside it; type 4's second live view on
// the right) shows the panel's own background, not a dark band beside the picture.
TEST(CameraPanel, OnlyThePictureIsDarkAndEmptyImageWindowsShowThePanel) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    app.Frame()->show();
    CDialogSetView* panel = app.View()->m_pSetView;
    ASSERT_NE(panel, nullptr);
    std::string faults;
    for (int type : {0, 4}) {
        app.Frame()->OnCommand(CommandOfMachineType(type));
        Settle();
        TheCameraService().hooks().liveFrame(kMarkCamera, cv::Mat(1024, 1280, CV_8UC3, cv::Scalar(90, 90, 90)));
        Settle();
        const QColor background = panel->palette().color(QPalette::Window);
        for (int k = 0; k < 11; ++k) {
            CameraImageWindow* w = panel->Window(k);
            if (!w->isVisibleTo(panel) || w->width() < 8 || w->height() < 8) continue;
            const QColor seen = w->grab().toImage().pixelColor(4, 4);
            const std::string where = "type " + std::to_string(type) + " window " + std::to_string(k);
            if (k == 9 && seen != QColor(90, 90, 90)) faults += where + ": the live picture is not shown\n";
            if (k != 9 && w->Image().isNull() && seen != background) faults += where + ": an empty window drawn dark\n";
        }
    }
    EXPECT_EQ(faults, "");
}

} // namespace
} // namespace smt::test
