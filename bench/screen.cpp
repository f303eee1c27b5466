#include "screen.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace bench {

namespace {
constexpr int sampled_rows = 7;
}

ScreenWatch::ScreenWatch()
{
    if (!std::getenv("DISPLAY"))
        return;
    int number = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &number);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < number && it.rem; ++i)
        xcb_screen_next(&it);
    m_connection = c;
    m_root = it.data->root;
    m_width = it.data->width_in_pixels;
    m_height = it.data->height_in_pixels;
}

ScreenWatch::~ScreenWatch()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

QByteArray ScreenWatch::sample() const
{
    QByteArray pixels;
    if (!m_connection)
        return pixels;
    for (int k = 1; k <= sampled_rows; ++k) {
        const auto y = int16_t(m_height * k / (sampled_rows + 1));
        xcb_get_image_reply_t *reply =
            xcb_get_image_reply(m_connection,
                                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, 0, y,
                                              uint16_t(m_width), 1, ~0u),
                                nullptr);
        if (!reply)
            continue;
        pixels.append(reinterpret_cast<const char *>(xcb_get_image_data(reply)),
                      xcb_get_image_data_length(reply));
        std::free(reply);
    }
    return pixels;
}

bool ScreenWatch::covered(const QByteArray &before, const QByteArray &now)
{
    if (before.size() != now.size())
        return false;
    // A few hundred pixels could be a cursor or a stray repaint; a window
    // covers thousands in the sampled rows.
    qsizetype changed = 0;
    for (qsizetype i = 0; i + 4 <= now.size(); i += 4)
        changed += std::memcmp(before.constData() + i, now.constData() + i, 4) != 0;
    return changed > 2000;
}

void startQuietly(QProcess &process, const QString &program, const QStringList &args)
{
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, args);
}

void endAndClear(QProcess &process, const ScreenWatch &screen, const QByteArray &before)
{
    process.kill();
    process.waitForFinished();
    QElapsedTimer clock;
    clock.start();
    while (screen.sample() != before && clock.elapsed() < 5000)
        QThread::usleep(5000);
}

} // namespace bench
