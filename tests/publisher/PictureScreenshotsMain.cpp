// SPDX-License-Identifier: GPL-2.0-or-later
//
// pondrel-picture-screenshots FOLDER
//
// Runs the Publisher against a reference service with its demo account and saves two pictures
// of the window into FOLDER: the "Landscapes" album with its thumbnails (publisher-album.png)
// and its first picture in the full picture view (publisher-picture.png).
#include "tests/common/PrivateBus.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"
#include "publisher/app/oruController.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/preview/ORPhotoView.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

using namespace pondrel;

namespace {

int fail(const char *what)
{
    std::fprintf(stderr, "pondrel-picture-screenshots: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen").toUtf8());
    QApplication application(argc, argv);
    if (application.arguments().size() != 2)
        return fail("usage: pondrel-picture-screenshots FOLDER");
    const QDir folder(application.arguments().at(1));

    ScratchHome home;
    PrivateBus bus;
    RefServiceProcess service({"--demo"});
    if (!bus.isValid() || !service.start())
        return fail("no session bus or reference service");
    ServiceEnvironment environment(service.baseUrl());
    ScopedEnvironment agent("PONDREL_AGENT_PROGRAM", "/bin/true");
    ScopedEnvironment secrets("PONDREL_NO_SECRET_STORE", "1");

    oruController controller(bus.connection());
    controller.alerts().setUnattended(true);
    controller.window().resize(1000, 700);
    controller.window().show();
    if (!controller.awakeFromNib())
        return fail("start-up failed");
    QSignalSpy listed(&controller, &oruController::refreshed);
    controller.loginWithUser("demo@pondrel.example", "pondrel-demo");
    if (!listed.wait(10'000))
        return fail("no listing");
    std::optional<oruItem> album;
    quint32 tag = oruController::RemoteTag;
    for (const quint32 candidate : {oruController::LocalTag, oruController::RemoteTag})
        for (const oruItem &item : controller.pictureViewArrayForTag(candidate))
            if (item.name() == QLatin1String("Landscapes"))
                album = item, tag = candidate;
    if (!album)
        return fail("no Landscapes album");
    controller.goDown(*album);
    if (!listed.wait(10'000))
        return fail("the album did not list");
    const auto thumbnailsShown = [&] {
        const quint32 count = controller.photoCountForPhotoView(controller.photoViewForTag(tag));
        for (quint32 index = 0; index < count; ++index)
            if (controller.photoAtIndex(controller.photoViewForTag(tag), index).isNull())
                return false;
        return count > 0;
    };
    if (!QTest::qWaitFor(thumbnailsShown, 10'000))
        return fail("the thumbnails did not arrive");
    QTest::qWait(100);
    controller.window().grab().save(folder.filePath("publisher-album.png"));

    controller.doubleClickOnPhotoAtIndex(controller.photoViewForTag(tag), 0);
    if (!QTest::qWaitFor([&] { return !controller.photoView().isPreviewPending(); }, 10'000))
        return fail("the preview did not arrive");
    QTest::qWait(100);
    controller.window().grab().save(folder.filePath("publisher-picture.png"));
    return 0;
}
