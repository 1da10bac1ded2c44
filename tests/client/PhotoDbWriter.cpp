// SPDX-License-Identifier: GPL-2.0-or-later
// A small program for the photo database tests: adds COUNT records named PREFIX0, PREFIX1...
// to the photo database of the scratch home it inherits, as the Publisher does after uploads.
// Exit status 0 when every addition succeeded, 1 with the first failure on standard error.
#include "client/oruNetwork_photoDB.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = arguments.size() == 3;
    const int count = ok ? arguments.at(2).toInt(&ok) : 0;
    if (!ok) {
        std::fprintf(stderr, "usage: photodb_writer PREFIX COUNT\n");
        return 2;
    }
    const QString prefix = arguments.at(1);
    for (int index = 0; index < count; ++index) {
        QString errorMsg;
        const QString moniker = prefix + QString::number(index);
        if (!pondrel::oruNetworkPhotoDB::addPhotoToDB(QStringLiteral("/p/%1.jpg").arg(moniker), moniker,
                QStringLiteral("h%1").arg(index), &errorMsg)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(moniker), qPrintable(errorMsg));
            return 1;
        }
    }
    return 0;
}
