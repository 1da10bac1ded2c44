#include "ToolCommand.h"

#include "imaging/PictureRendering.h"

#include <QFileInfo>

#include <optional>

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool render FILE --width W --height H [--crop-mode N] [--orientation-name NAME]\n"
    "                      [--url URL] [--quality Q] [--out PATH]\n\n"
    "Renders FILE as a RenderPicture command of the service would: decoded once at the\n"
    "smallest scale that keeps W x H, turned by NAME (a rotate-and-flip name such as\n"
    "Rotate90FlipNone; none means upright), fitted or cropped by crop mode N (0 fit with white\n"
    "margins, 1 fit, 2 fill and crop, 3 print: fit to height), written as JPEG at quality Q\n"
    "(0 to 1, default 0.6). A URL containing print.jpg makes it a print, as for the service.\n"
    "The file goes to PATH, by default to the temporary folder. Prints\n"
    "'WIDTHxHEIGHT BYTES PATH'.\n");

const ToolCommand &self()
{
    return *ToolCommand::find(QStringLiteral("render"));
}

struct RenderArguments
{
    QString file;
    QVariantMap command;
    QString out;
    float quality = kRenditionJpegQuality;
};

std::optional<int> positiveNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

// Fills `parsed` from the arguments; the complaint for bad usage, empty when all is well.
QString parse(const QStringList &arguments, RenderArguments &parsed)
{
    parsed.command.insert(QStringLiteral("type"), QStringLiteral("RenderPicture"));
    parsed.command.insert(QStringLiteral("return"), QStringLiteral("fileSize,width,height"));
    for (int index = 0; index < arguments.size(); ++index) {
        const QString argument = arguments.at(index);
        if (!argument.startsWith(QStringLiteral("--"))) {
            if (!parsed.file.isEmpty())
                return QStringLiteral("only one FILE can be rendered");
            parsed.file = argument;
            continue;
        }
        if (index + 1 >= arguments.size())
            return QStringLiteral("%1 needs a value").arg(argument);
        const QString value = arguments.at(++index);
        if (argument == QStringLiteral("--width") || argument == QStringLiteral("--height")) {
            if (!positiveNumber(value))
                return QStringLiteral("%1 needs a positive number of pixels").arg(argument);
            parsed.command.insert(argument.mid(2), value);
        } else if (argument == QStringLiteral("--crop-mode")) {
            bool ok = false;
            value.toInt(&ok);
            if (!ok)
                return QStringLiteral("--crop-mode needs a number");
            parsed.command.insert(QStringLiteral("cropMode"), value);
        } else if (argument == QStringLiteral("--orientation-name")
            || argument == QStringLiteral("--rotate-flip")) {
            parsed.command.insert(QStringLiteral("RotateFlipType"), value);
        } else if (argument == QStringLiteral("--url")) {
            parsed.command.insert(QStringLiteral("url"), value);
        } else if (argument == QStringLiteral("--quality")) {
            bool ok = false;
            parsed.quality = value.toFloat(&ok);
            if (!ok || parsed.quality <= 0 || parsed.quality > 1)
                return QStringLiteral("--quality needs a number above 0 and at most 1");
        } else if (argument == QStringLiteral("--out")) {
            parsed.out = value;
        } else {
            return QStringLiteral("unknown option %1").arg(argument);
        }
    }
    if (parsed.file.isEmpty())
        return QStringLiteral("missing FILE");
    if (!parsed.command.contains(QStringLiteral("width"))
        || !parsed.command.contains(QStringLiteral("height")))
        return QStringLiteral("--width and --height are required");
    const QString id = QStringLiteral("%1-%2x%3")
                           .arg(QFileInfo(parsed.file).completeBaseName(),
                               parsed.command.value(QStringLiteral("width")).toString(),
                               parsed.command.value(QStringLiteral("height")).toString());
    parsed.command.insert(QStringLiteral("id"), id);
    if (parsed.out.isEmpty())
        parsed.out = renderedFilePath(id);
    if (parsed.out.isEmpty())
        return QStringLiteral("cannot name an output file after %1; give --out").arg(parsed.file);
    return {};
}

int runRender(const QStringList &arguments)
{
    if (ToolOutput::wantsHelp(arguments))
        return self().printHelp();
    RenderArguments parsed;
    const QString complaint = parse(arguments, parsed);
    if (!complaint.isEmpty())
        return self().badUsage(complaint);

    QString errorMsg;
    const std::optional<Picture> picture
        = decodePictureForCommands(parsed.file, {parsed.command}, errorMsg);
    if (!picture) {
        ToolOutput::err(QStringLiteral("%1: %2").arg(parsed.file, errorMsg));
        return ToolCommand::kFailure;
    }
    const std::optional<RenderedPicture> rendered = renderPictureCommandToFile(
        parsed.command, *picture, parsed.out, parsed.quality, errorMsg);
    if (!rendered) {
        ToolOutput::err(QStringLiteral("%1: %2").arg(parsed.file, errorMsg));
        return ToolCommand::kFailure;
    }
    ToolOutput::out(QStringLiteral("%1x%2 %3 %4")
                        .arg(rendered->width)
                        .arg(rendered->height)
                        .arg(rendered->fileSize)
                        .arg(rendered->path));
    return ToolCommand::kSuccess;
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("render"),
    QStringLiteral("render a picture as the service asks for it"), kUsage, runRender}};

} // namespace
