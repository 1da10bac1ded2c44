// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "client/oruNetwork_render.h"
#include "support/Paths.h"

#include <QFile>

#include <memory>
#include <optional>

namespace pondrel {

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool render INPUT OUTPUT --width W --height H [--crop-mode M]\n"
    "                      [--rotate-flip NAME] [--quality Q]\n\n"
    "Renders INPUT as a RenderPicture command of the service would: decoded once at the\n"
    "smallest scale that keeps W x H, turned by NAME (a rotate-and-flip name such as\n"
    "Rotate90FlipNone; none means upright), fitted or cropped by crop mode M (0 fit with white\n"
    "margins, 1 fit, 2 fill and crop, 3 print: fit to height; default 0), written to OUTPUT as\n"
    "JPEG at quality Q (0 to 1, default 0.6). Prints 'WIDTHxHEIGHT BYTES'.\n");

struct RenderArguments
{
    QString input;
    QString output;
    QVariantMap command;
    float quality = kRenditionJpegQuality;
};

std::optional<int> positiveNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

// Stores one option's value; the complaint for bad usage, empty when all is well.
QString takeOption(const QString &option, const QString &value, RenderArguments &parsed)
{
    if (option == QStringLiteral("--width") || option == QStringLiteral("--height")) {
        if (!positiveNumber(value))
            return QStringLiteral("%1 needs a positive number of pixels").arg(option);
        parsed.command.insert(option.mid(2), value);
    } else if (option == QStringLiteral("--crop-mode")) {
        bool ok = false;
        value.toInt(&ok);
        if (!ok)
            return QStringLiteral("--crop-mode needs a number");
        parsed.command.insert(QStringLiteral("cropMode"), value);
    } else if (option == QStringLiteral("--rotate-flip")) {
        parsed.command.insert(QStringLiteral("RotateFlipType"), value);
    } else if (option == QStringLiteral("--quality")) {
        bool ok = false;
        parsed.quality = value.toFloat(&ok);
        if (!ok || parsed.quality <= 0 || parsed.quality > 1)
            return QStringLiteral("--quality needs a number above 0 and at most 1");
    } else {
        return QStringLiteral("unknown option %1").arg(option);
    }
    return {};
}

// Fills `parsed` from the arguments; the complaint for bad usage, empty when all is well.
QString parse(const QStringList &arguments, RenderArguments &parsed)
{
    QStringList files;
    for (int index = 0; index < arguments.size(); ++index) {
        const QString argument = arguments.at(index);
        if (!argument.startsWith(QStringLiteral("--"))) {
            files.append(argument);
            continue;
        }
        if (index + 1 >= arguments.size())
            return QStringLiteral("%1 needs a value").arg(argument);
        const QString complaint = takeOption(argument, arguments.at(++index), parsed);
        if (!complaint.isEmpty())
            return complaint;
    }
    if (files.size() != 2)
        return QStringLiteral("give one INPUT and one OUTPUT");
    parsed.input = files.at(0);
    parsed.output = files.at(1);
    if (!parsed.command.contains(QStringLiteral("width"))
        || !parsed.command.contains(QStringLiteral("height")))
        return QStringLiteral("--width and --height are required");
    return {};
}

int runRender(const ToolCommand &self, const QStringList &arguments)
{
    RenderArguments parsed;
    const QString complaint = parse(arguments, parsed);
    if (!complaint.isEmpty())
        return self.badUsage(complaint);

    RenderRequest request = renderRequestFromCommand(parsed.command);
    request.quality = parsed.quality;
    QString errorMsg;
    const std::optional<Picture> picture
        = decodePictureForRequests(parsed.input, {request}, errorMsg);
    const std::optional<RenderedJpeg> rendered
        = picture ? render(*picture, request, errorMsg) : std::nullopt;
    if (!rendered) {
        ToolOutput::err(QStringLiteral("%1: %2").arg(parsed.input, errorMsg));
        return ToolCommand::kFailure;
    }
    const std::unique_ptr<QFile> file = Paths::createPrivateFile(parsed.output);
    if (!file || file->write(rendered->bytes) != rendered->bytes.size() || !file->flush()) {
        ToolOutput::err(QStringLiteral("%1: Could not write %2").arg(parsed.input, parsed.output));
        return ToolCommand::kFailure;
    }
    ToolOutput::out(QStringLiteral("%1x%2 %3")
                        .arg(rendered->pixels.width())
                        .arg(rendered->pixels.height())
                        .arg(rendered->bytes.size()));
    return ToolCommand::kSuccess;
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("render"),
    QStringLiteral("render a picture as the service asks for it"), kUsage, runRender}};

} // namespace

} // namespace pondrel
