#include "PhotoViewTestSupport.h"

#include "publisher/views/Artwork.h"
#include "publisher/views/CTGradient.h"
#include "publisher/views/ToolbarButton.h"
#include "publisher/dialogs/oruAboutBoxController.h"
#include "publisher/views/oruHeaderView.h"
#include "publisher/views/oruMetaView.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include <gtest/gtest.h>

TEST(CTGradient, EvaluatesStopsLinearlyAndAlongTheHueCircle)
{
    EXPECT_EQ(CTGradient().colorAtPosition(0.3f), QColor::fromRgbF(1, 1, 1, 1));
    CTGradient single;
    single.addElement({0.2f, 0.4f, 0.6f, 1.0f, 0.5f});
    for (const float t : {0.0f, 0.5f, 1.0f})
        EXPECT_EQ(single.colorAtPosition(t), QColor::fromRgbF(0.2f, 0.4f, 0.6f, 1.0f));

    const CTGradient ramp = CTGradient::gradientWithBeginningColor(Qt::black, Qt::white);
    EXPECT_NEAR(ramp.colorAtPosition(0.25f).redF(), 0.25, 1e-3);
    EXPECT_NEAR(ramp.colorAtPosition(0.25f).blueF(), 0.25, 1e-3);
    EXPECT_EQ(ramp.colorAtPosition(-1.0f), QColor(Qt::black));
    EXPECT_EQ(ramp.colorAtPosition(2.0f), QColor(Qt::white));

    // A stop at an existing position goes after it: up to the shared position the first of the
    // pair ends the ramp, past it the second starts.
    CTGradient gradient;
    for (const auto &[grey, position] :
        {std::pair {0.0f, 0.0f}, {1.0f, 1.0f}, {0.3f, 0.5f}, {0.7f, 0.5f}})
        gradient.addElement({grey, grey, grey, 1.0f, position});
    ASSERT_EQ(gradient.elementList().size(), 4u);
    EXPECT_FLOAT_EQ(gradient.elementList()[1].red, 0.3f);
    EXPECT_FLOAT_EQ(gradient.elementList()[2].red, 0.7f);
    EXPECT_NEAR(gradient.colorAtPosition(0.5f).redF(), 0.3, 1e-3);
    EXPECT_NEAR(gradient.colorAtPosition(0.75f).redF(), 0.85, 1e-3);

    // Chromatic blending from red (0) upwards to blue (240) passes green (120); the inverse
    // mode goes downwards through magenta (300).
    CTGradient hues = CTGradient::gradientWithBeginningColor(Qt::red, Qt::blue);
    hues.setBlendingMode(CTGradient::CTChromaticBlendingMode);
    EXPECT_NEAR(hues.colorAtPosition(0.5f).hsvHueF(), 1.0 / 3, 0.01);
    hues.setBlendingMode(CTGradient::CTInverseChromaticBlendingMode);
    EXPECT_NEAR(hues.colorAtPosition(0.5f).hsvHueF(), 300.0 / 360, 0.01);
}

TEST(CTGradient, FillsAlongTheAngleInsideTheRectangleOnly)
{
    const CTGradient ramp = CTGradient::gradientWithBeginningColor(Qt::black, Qt::white);
    QImage image(120, 120, QImage::Format_RGB32);
    image.fill(Qt::red);
    {
        QPainter painter(&image);
        ramp.fillRect(painter, QRectF(10, 10, 100, 40), 0);
        ramp.fillRect(painter, QRectF(10, 60, 100, 40), 90);
    }
    EXPECT_LT(qGray(image.pixel(11, 30)), 10);
    EXPECT_GT(qGray(image.pixel(108, 30)), 245);
    EXPECT_NEAR(qGray(image.pixel(35, 30)), 64, 4);
    EXPECT_EQ(qGray(image.pixel(35, 12)), qGray(image.pixel(35, 48)));
    EXPECT_LT(qGray(image.pixel(60, 61)), 10);
    EXPECT_GT(qGray(image.pixel(60, 98)), 240);
    for (const QPoint outside : {QPoint(5, 30), QPoint(112, 30), QPoint(60, 55)})
        EXPECT_EQ(image.pixel(outside), qRgb(255, 0, 0));
}

TEST(oruHeaderView, DrawsItsRuleOverTheFirst400PointsOnly)
{
    TestHost host;
    oruHeaderView header;
    header.setHeaderText(QStringLiteral("Uploaded"));
    header.resize(600, 40);
    const QImage shot = header.grab().toImage();
    const int ruleRow = 40 - 13 + 1;
    EXPECT_LT(qGray(shot.pixel(2, ruleRow)), 100);
    EXPECT_LT(qGray(shot.pixel(300, ruleRow)), 250);
    EXPECT_EQ(shot.pixel(450, ruleRow), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(200, ruleRow - 2), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(200, ruleRow + 3), qRgb(255, 255, 255));
    // The title stands at the top left.
    bool titleInk = false;
    for (int x = 5; x < 60; ++x)
        titleInk = titleInk || qGray(shot.pixel(x, 11)) < 128;
    EXPECT_TRUE(titleInk);

    QTest::mouseClick(&header, Qt::LeftButton);
    EXPECT_EQ(host.resets, 1);
}

TEST(ToolbarButton, DarkensPressedImagesAndFadesDisabledOnes)
{
    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.fillRect(QRect(0, 0, 10, 20), Qt::red);
    }
    const QImage highlighted = ToolbarButton::highlightedImageForImage(image);
    EXPECT_NEAR(qRed(highlighted.pixel(5, 5)), 178, 2);
    EXPECT_EQ(qAlpha(highlighted.pixel(5, 5)), 255);
    EXPECT_EQ(qAlpha(highlighted.pixel(15, 5)), 0);
    EXPECT_TRUE(ToolbarButton::highlightedImageForImage(QImage()).isNull());

    QWidget page;
    page.setAutoFillBackground(true);
    QPalette white = page.palette();
    white.setColor(QPalette::Window, Qt::white);
    page.setPalette(white);
    page.resize(60, 60);
    auto *button = new ToolbarButton(&page);
    button->setImage(image);
    button->setText(QStringLiteral("Share"));
    button->setGeometry(0, 0, 60, 60);
    button->setEnabled(false);
    // Image centred at the top: its red half runs from x 20 to 30.
    const QRgb faded = page.grab().toImage().pixel(25, 5);
    EXPECT_EQ(qRed(faded), 255);
    EXPECT_NEAR(qGreen(faded), 153, 3);
    EXPECT_EQ(page.grab().toImage().pixel(35, 5), qRgb(255, 255, 255));
}

TEST(oruMetaView, HandsSelectAllAndDropsOnAndTakesEveryCommandOnce)
{
    TestHost host;
    QScrollArea area;
    auto *meta = new oruMetaView;
    auto *layout = new QVBoxLayout(meta);
    TestSource first;
    TestSource second;
    first.count = 3;
    second.count = 5;
    for (TestSource *source : {&first, &second}) {
        auto *grid = new MUPhotoView;
        grid->setDelegate(source);
        layout->addWidget(grid);
    }
    area.setWidget(meta);
    area.setWidgetResizable(true);
    area.resize(500, 400);
    area.show();

    QTest::keyClick(meta, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(meta->consumedKeyDown());
    EXPECT_EQ(first.selection, IndexSet::fromRange(0, 2));
    EXPECT_EQ(second.selection, IndexSet::fromRange(0, 4));

    QTest::keyClick(meta, Qt::Key_Backspace);
    ASSERT_EQ(second.removalRequests.size(), 1u);
    EXPECT_EQ(second.removalRequests.front(), IndexSet::fromRange(0, 4));

    QTest::keyClick(meta, Qt::Key_Left);
    EXPECT_FALSE(meta->consumedKeyDown());

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/one.jpg"), QUrl::fromLocalFile("/tmp/two.jpg")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(meta, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(meta, &drop);
    EXPECT_EQ(host.openedFiles, (QStringList {"/tmp/one.jpg", "/tmp/two.jpg"}));
}

TEST(oruAboutBoxController, FillsOnePanelOnceAndShowsItsCreditsFromTheTopAfterAHide)
{
    QCoreApplication::setApplicationName(QStringLiteral("Pondrel Publisher"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5"));
    oruAboutBoxController &controller = oruAboutBoxController::sharedInstance();
    ASSERT_EQ(&controller, &oruAboutBoxController::sharedInstance());
    EXPECT_EQ(controller.panel(), nullptr);

    controller.showPanel();
    QDialog *panel = controller.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), panel);
    EXPECT_EQ(panel->windowTitle(), "About Pondrel Publisher");
    const auto text = [panel](const char *name) {
        const auto *label = panel->findChild<QLabel *>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
    };
    EXPECT_EQ(text("appNameField"), "Pondrel Publisher");
    EXPECT_EQ(text("versionField"), "Version 2.5");
    EXPECT_EQ(text("copyrightField"),
        QString::fromUtf8("Copyright © 2026 Trevane. All rights reserved."));
    auto *credits = panel->findChild<QTextBrowser *>(QStringLiteral("creditsField"));
    ASSERT_NE(credits, nullptr);
    QTextDocument expectedCredits;
    expectedCredits.setHtml(Artwork::credits());
    EXPECT_FALSE(expectedCredits.isEmpty());
    EXPECT_EQ(credits->toPlainText(), expectedCredits.toPlainText());
    // Centred on the screen, give or take the window frame.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((panel->frameGeometry().center() - screen.center()).manhattanLength(), 8);

    // Small enough that the credits scroll.
    panel->resize(panel->width(), 120);
    QScrollBar *scroll = credits->verticalScrollBar();
    QTRY_VERIFY(scroll->maximum() > 0);
    scroll->setValue(scroll->maximum());
    controller.showPanel();
    EXPECT_EQ(scroll->value(), scroll->maximum()) << "shown while visible: left where it was";

    // Hidden and shown again: the same panel, filled once, its credits at the top.
    panel->hide();
    QCoreApplication::setApplicationName(QStringLiteral("Renamed"));
    controller.showPanel();
    EXPECT_EQ(controller.panel(), panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(scroll->value(), 0);
    EXPECT_EQ(panel->windowTitle(), "About Pondrel Publisher");
    panel->hide();
}
