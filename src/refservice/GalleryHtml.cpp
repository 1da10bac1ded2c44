// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/GalleryHtml.h"

#include <QCryptographicHash>
#include <QUrl>

namespace pondrel::refservice {

namespace {

// Thumbnails fill square tiles in as many columns as fit, two on a phone; the colours follow
// the reader's light or dark preference.
const QString kStyle = QStringLiteral(
    ":root{color-scheme:light dark;--bg:#f6f4f0;--fg:#222;--muted:#666;--card:#fff;"
    "--accent:#8a4f2c}"
    "@media (prefers-color-scheme:dark){:root{--bg:#1c1b1a;--fg:#eee;--muted:#aaa;"
    "--card:#2a2826;--accent:#e7a97f}}"
    "*{box-sizing:border-box}"
    "body{margin:0;font:16px/1.5 system-ui,-apple-system,'Segoe UI',Roboto,sans-serif;"
    "background:var(--bg);color:var(--fg)}"
    "header,main,footer{max-width:1200px;margin:0 auto;padding:1rem}"
    "h1{font-size:clamp(1.6rem,4vw,2.4rem);line-height:1.2;margin:.5rem 0 .25rem}"
    "h2{font-size:1.3rem;margin:2rem 0 .25rem}"
    "header{padding-bottom:0}"
    ".description,.count{color:var(--muted);margin:0 0 .5rem}"
    "footer{color:var(--muted);font-size:.875rem}"
    "a{color:var(--accent)}"
    ".grid{list-style:none;margin:.75rem 0 0;padding:0;display:grid;gap:12px;"
    "grid-template-columns:repeat(auto-fill,minmax(160px,1fr))}"
    ".grid figure{margin:0;background:var(--card);border-radius:8px;overflow:hidden;"
    "box-shadow:0 1px 3px rgba(0,0,0,.2)}"
    ".grid a{display:block}"
    ".grid img{display:block;width:100%;height:auto;aspect-ratio:1;object-fit:cover}"
    "figcaption{padding:.35rem .6rem;font-size:.875rem;overflow:hidden;"
    "text-overflow:ellipsis;white-space:nowrap}"
    "@media (max-width:480px){.grid{grid-template-columns:repeat(2,1fr);gap:8px}"
    "header,main,footer{padding:.75rem}}"
    "form{display:flex;flex-wrap:wrap;gap:.5rem;align-items:center;margin-top:1rem}"
    "input,button{font:inherit;padding:.5rem .75rem;border-radius:6px;"
    "border:1px solid var(--muted)}"
    "button{background:var(--accent);color:#fff;border-color:var(--accent)}"
    ".error{color:#c0392b;font-weight:600}");

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString tiles(const QList<GalleryTile> &tiles)
{
    QString html = QStringLiteral("<ul class=\"grid\">\n");
    for (const GalleryTile &tile : tiles) {
        html += QStringLiteral("<li><figure><a href=\"%1\"><img src=\"%2\" width=\"%3\" "
                               "height=\"%4\" alt=\"%5\" loading=\"lazy\"></a>"
                               "<figcaption>%5</figcaption></figure></li>\n")
                    .arg(escaped(tile.previewUrl), escaped(tile.thumbnailUrl))
                    .arg(tile.thumbnailWidth)
                    .arg(tile.thumbnailHeight)
                    .arg(escaped(tile.name));
    }
    return html + QStringLiteral("</ul>\n");
}

QString pictureCount(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 picture") : QStringLiteral("%1 pictures").arg(count);
}

} // namespace

QByteArray GalleryHtml::contentSecurityPolicy()
{
    static const QByteArray policy = "default-src 'none'; img-src 'self'; style-src 'sha256-"
        + QCryptographicHash::hash(kStyle.toUtf8(), QCryptographicHash::Sha256).toBase64()
        + "'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'";
    return policy;
}

HttpResponse GalleryHtml::page(
    int status, const QString &title, const QString &body, const QString &head)
{
    const QString html
        = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                         "<meta name=\"viewport\" content=\"width=device-width, "
                         "initial-scale=1\">\n<title>%1</title>\n%2<style>%3</style>\n"
                         "</head><body>\n%4</body></html>\n")
              .arg(escaped(title), head, kStyle, body);
    HttpResponse response = HttpResponse::text(status, "text/html; charset=utf-8", html.toUtf8());
    response.setHeader("Content-Security-Policy", contentSecurityPolicy());
    response.setHeader("X-Content-Type-Options", "nosniff");
    // The address of a gallery is its key: it must not travel to other sites in a Referer.
    response.setHeader("Referrer-Policy", "no-referrer");
    return response;
}

HttpResponse GalleryHtml::gallery(const GalleryView &view)
{
    QString head;
    QString body = QStringLiteral("<header><h1>%1</h1>\n").arg(escaped(view.title));
    if (!view.description.isEmpty())
        body += QStringLiteral("<p class=\"description\">%1</p>\n").arg(escaped(view.description));
    qsizetype count = 0;
    for (const GallerySection &section : view.sections)
        count += section.tiles.size();
    body += QStringLiteral("<p class=\"count\">%1").arg(pictureCount(count));
    if (!view.feedUrl.isEmpty()) {
        head = QStringLiteral("<link rel=\"alternate\" type=\"application/rss+xml\" "
                              "title=\"%1\" href=\"%2\">\n")
                   .arg(escaped(view.title), escaped(view.feedUrl));
        body += QStringLiteral(" &middot; <a class=\"feed\" type=\"application/rss+xml\" "
                               "href=\"%1\">Subscribe (RSS)</a>")
                    .arg(escaped(view.feedUrl));
    }
    body += QStringLiteral("</p></header>\n<main>\n");
    for (const GallerySection &section : view.sections) {
        if (section.tiles.isEmpty())
            continue;
        body += QStringLiteral("<section>\n");
        if (!section.name.isEmpty())
            body += QStringLiteral("<h2>%1</h2>\n").arg(escaped(section.name));
        if (!section.description.isEmpty())
            body += QStringLiteral("<p class=\"description\">%1</p>\n")
                        .arg(escaped(section.description));
        body += tiles(section.tiles) + QStringLiteral("</section>\n");
    }
    if (count == 0)
        body += QStringLiteral("<p>There are no pictures in this album yet.</p>\n");
    body += QStringLiteral("</main>\n<footer>Shared with Pondrel</footer>\n");
    return page(200, view.title, body, head);
}

HttpResponse GalleryHtml::passwordForm(const QString &linkId, bool afterWrongPassword)
{
    QString body = QStringLiteral(
        "<main><h1>This gallery is protected</h1>\n"
        "<p>Enter the password you were given with the address to see the pictures.</p>\n");
    if (afterWrongPassword)
        body += QStringLiteral(
            "<p class=\"error\" role=\"alert\">That password is not right. Please try "
            "again.</p>\n");
    body += QStringLiteral(
        "<form method=\"post\" action=\"Gallery.aspx?a=%1\">"
        "<label for=\"p\">Password</label> "
        "<input type=\"password\" id=\"p\" name=\"p\" autocomplete=\"current-password\" "
        "required autofocus> <button type=\"submit\">Show the pictures</button></form>\n"
        "</main>\n")
                .arg(escaped(QString::fromLatin1(QUrl::toPercentEncoding(linkId))));
    return page(401, QStringLiteral("Password needed"), body);
}

} // namespace pondrel::refservice
