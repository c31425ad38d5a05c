#include "platform/icons.h"

#include <QDir>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace Icons {

namespace {

// A theme's picture whose disabled form is plainly disabled: grey and faint. The
// style's own disabled form only lightens a picture a little, which leaves a dark
// arrow, say, looking much the same in both states.
class TFadingEngine : public QIconEngine {
public:
    TFadingEngine(QIcon icon, QString name) : FIcon(std::move(icon)), FName(std::move(name)) {}

    QIconEngine* clone() const override { return new TFadingEngine(FIcon, FName); }
    QString key() const override { return u"TFadingEngine"_s; }
    QString iconName() override { return FName; }
    bool isNull() override { return FIcon.isNull(); }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return FIcon.availableSizes();
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State state) override
    {
        return FIcon.actualSize(size, QIcon::Normal, state);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        QPixmap normal = FIcon.pixmap(size, scale, QIcon::Normal, state);
        if (mode != QIcon::Disabled)
            return mode == QIcon::Normal ? normal : FIcon.pixmap(size, scale, mode, state);
        QImage image = normal.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grey = qGray(line[x]);
                // Grey, lightened towards white, at a third of its opacity.
                const int light = grey + (255 - grey) / 2;
                line[x] = qRgba(light, light, light, qAlpha(line[x]) / 3);
            }
        }
        QPixmap faded = QPixmap::fromImage(image);
        faded.setDevicePixelRatio(normal.devicePixelRatio());
        return faded;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
    }

private:
    QIcon FIcon;
    QString FName;
};

} // namespace

QString FallbackTheme() { return u"Adwaita"_s; }

QIcon Themed(const QString& name)
{
    // Set once, before the first picture is looked up; the desktop's own theme, when
    // there is one, is still asked first.
    static const bool fallbackSet = [] {
        // Where freedesktop themes live, also for platform plugins that do not say
        // (the offscreen one of the tests among them).
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString& data :
             QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
            const QString icons = QDir(data).filePath(u"icons"_s);
            if (!paths.contains(icons) && QDir(icons).exists())
                paths << icons;
        }
        QIcon::setThemeSearchPaths(paths);
        QIcon::setFallbackThemeName(FallbackTheme());
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor"_s)
            QIcon::setThemeName(FallbackTheme());
        return true;
    }();
    Q_UNUSED(fallbackSet);
    const QIcon themed = QIcon::fromTheme(name);
    if (themed.isNull())
        return themed;
    return QIcon(new TFadingEngine(themed, name));
}

} // namespace Icons
