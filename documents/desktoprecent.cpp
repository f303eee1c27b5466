// The desktop's list of recently used files (the freedesktop
// recently-used.xbel in the data home): Feuillon adds or refreshes its own
// entry for a file and leaves everything else in the file as it was.
#include "recent.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>

#include <utility>

namespace recent {
QString desktop_list_path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/recently-used.xbel");
}
} // namespace recent

namespace {
using recent::desktop_list_path;

QString tr(const char *text)
{
    return QCoreApplication::translate("fp", text);
}

QDomElement child(QDomDocument &doc, QDomElement parent, const QString &tag,
                  const QString &attribute = QString(), const QString &value = QString())
{
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        if (attribute.isEmpty() || e.attribute(attribute) == value)
            return e;
    QDomElement made = doc.createElement(tag);
    if (!attribute.isEmpty())
        made.setAttribute(attribute, value);
    parent.appendChild(made);
    return made;
}

// The list as it is, or a new one; a file that is not a list is never
// written over, since it may be another program's data.
bool read_list(QDomDocument *doc, QString *why)
{
    QFile file(desktop_list_path());
    if (!file.exists()) {
        doc->appendChild(doc->createProcessingInstruction(
            QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
        doc->appendChild(doc->createElement(QStringLiteral("xbel")))
            .toElement()
            .setAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *why = tr("le fichier ne peut pas être lu");
        return false;
    }
    int line = 0;
    if (!doc->setContent(file.readAll(), nullptr, &line) ||
        doc->documentElement().tagName() != QStringLiteral("xbel")) {
        *why = tr("le fichier n'est pas une liste XBEL valide (ligne %1)").arg(line);
        return false;
    }
    return true;
}

void declare_names(QDomElement root)
{
    const struct {
        const char *name, *uri;
    } names[] = {{"xmlns:bookmark", "http://www.freedesktop.org/standards/desktop-bookmarks"},
                 {"xmlns:mime", "http://www.freedesktop.org/standards/shared-mime-info"}};
    for (const auto &n : names)
        if (!root.hasAttribute(QLatin1String(n.name)))
            root.setAttribute(QLatin1String(n.name), QLatin1String(n.uri));
}

// The entry's dates, its type, and Feuillon among the programs that used it.
void stamp(QDomDocument &doc, QDomElement bookmark, const QString &path)
{
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    if (!bookmark.hasAttribute(QStringLiteral("added")))
        bookmark.setAttribute(QStringLiteral("added"), now);
    bookmark.setAttribute(QStringLiteral("modified"), now);
    bookmark.setAttribute(QStringLiteral("visited"), now);
    QDomElement metadata =
        child(doc, child(doc, bookmark, QStringLiteral("info")), QStringLiteral("metadata"),
              QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    child(doc, metadata, QStringLiteral("mime:mime-type"))
        .setAttribute(QStringLiteral("type"), QMimeDatabase().mimeTypeForFile(path).name());
    QDomElement program = child(doc, child(doc, metadata, QStringLiteral("bookmark:applications")),
                                QStringLiteral("bookmark:application"), QStringLiteral("name"),
                                QStringLiteral("Feuillon"));
    program.setAttribute(QStringLiteral("exec"), QStringLiteral("'feuillon %u'"));
    program.setAttribute(QStringLiteral("modified"), now);
    program.setAttribute(QStringLiteral("count"),
                         program.attribute(QStringLiteral("count")).toInt() + 1);
}
} // namespace

namespace recent {

bool add_to_desktop(const QStringList &paths, QString *why)
{
    QDomDocument doc;
    if (!read_list(&doc, why))
        return false;
    QDomElement root = doc.documentElement();
    declare_names(root);
    for (const QString &path : paths) {
        const QString uri =
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
        stamp(doc, child(doc, root, QStringLiteral("bookmark"), QStringLiteral("href"), uri), path);
    }
    QDir().mkpath(QFileInfo(desktop_list_path()).path());
    textfile::Failure failure = textfile::Failure::None;
    // The list names the user's files: a new one is the user's alone; one that
    // exists keeps the mode it has.
    const QString list = desktop_list_path();
    if (QFileInfo::exists(list) ? textfile::write(list, doc.toByteArray(2), nullptr, &failure)
                                : textfile::writePrivate(list, doc.toByteArray(2), &failure))
        return true;
    *why = textfile::describe(failure);
    return false;
}

DesktopList::DesktopList(Tell tell, QObject *parent) : QObject(parent), tell(std::move(tell))
{
    soon.setSingleShot(true);
    soon.setInterval(1000);
    connect(&soon, &QTimer::timeout, this, &DesktopList::write);
}

DesktopList::~DesktopList()
{
    QString why;
    if (!waiting.isEmpty())
        add_to_desktop(waiting, &why);
}

void DesktopList::add(const QString &path)
{
    waiting << path;
    // At most one write a second, however many files come.
    if (!soon.isActive())
        soon.start();
}

void DesktopList::write()
{
    QString why;
    const QStringList paths = std::exchange(waiting, {});
    if (!add_to_desktop(paths, &why))
        tell(why);
}

} // namespace recent
