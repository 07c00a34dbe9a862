// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/OffscreenQt.h"
#include "ui/main/ElementMap.h"
#include "ui/main/Skin.h"
#include "ui/main/SkinCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

using namespace qob;

constexpr qreal kRatios[] = {1.0, 1.5, 2.0};

bool isKey(QRgb px) {
    return (px & 0xFFFFFF) == (kKeyColour.rgb() & 0xFFFFFF);
}

// A colour the eye reads as the key but the cut-out misses: the fringe we must never leave.
bool isNearKey(QRgb px) {
    return !isKey(px) && qRed(px) > 200 && qGreen(px) < 60 && qBlue(px) < 60;
}

QRect physical(const QRect& logical, qreal dpr) {
    return QRect(
        QPoint(qRound(logical.left() * dpr), qRound(logical.top() * dpr)),
        QPoint(qRound((logical.right() + 1) * dpr) - 1, qRound((logical.bottom() + 1) * dpr) - 1));
}

QRgb at(const QImage& image, qreal logicalX, qreal logicalY) {
    const qreal dpr = image.devicePixelRatio();
    return image.pixel(static_cast<int>(std::floor(logicalX * dpr)),
                       static_cast<int>(std::floor(logicalY * dpr)));
}

// Points well inside a region: its centre and four points halfway to its edges (for the
// Wheel, on a circle at 80 % of its radius).
std::vector<QPointF> innerPoints(const Region& r) {
    const qreal cx = (r.left + r.right) / 2.0;
    const qreal cy = (r.top + r.bottom) / 2.0;
    if (r.kind == RegionKind::Wheel) {
        const qreal d = 0.8 * kWheelRadius;
        return {{cx, cy}, {cx - d, cy}, {cx + d, cy}, {cx, cy - d}, {cx, cy + d}};
    }
    const qreal hx = (r.right - r.left) / 4.0;
    const qreal hy = (r.bottom - r.top) / 4.0;
    return {
        {cx, cy}, {cx - hx, cy - hy}, {cx + hx, cy - hy}, {cx - hx, cy + hy}, {cx + hx, cy + hy}};
}

class SkinTest : public ::testing::TestWithParam<qreal> {};

TEST_P(SkinTest, SizeAndRatio) {
    const qreal dpr = GetParam();
    const QImage skin = renderSkin(dpr);
    ASSERT_FALSE(skin.isNull());
    EXPECT_EQ(skin.devicePixelRatio(), dpr);
    EXPECT_EQ(skin.width(), qRound(kSkinWidth * dpr));
    EXPECT_EQ(skin.height(), qRound(kSkinHeight * dpr));
    EXPECT_EQ(skin.deviceIndependentSize().toSize(), QSize(kSkinWidth, kSkinHeight));
    EXPECT_FALSE(skin.hasAlphaChannel());
}

TEST_P(SkinTest, KeyColourOutsideTheSurface) {
    const qreal dpr = GetParam();
    const QImage skin = renderSkin(dpr);
    const QRect box = physical(kSurfaceBox, dpr);
    int wrong = 0;
    for (int y = 0; y < skin.height(); ++y)
        for (int x = 0; x < skin.width(); ++x)
            if (!box.contains(x, y) && !isKey(skin.pixel(x, y)))
                ++wrong;
    EXPECT_EQ(wrong, 0);

    // The outline is rounded inside the box, so its corners are key too.
    for (const QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
        EXPECT_TRUE(isKey(skin.pixel(corner))) << corner.x() << "," << corner.y();
}

TEST_P(SkinTest, KeyColourOnlyAtTheRoundedCorners) {
    // Inside the box, key pixels may only appear where the outline rounds its corners: a key
    // pixel anywhere else is a hole in the window.
    const qreal dpr = GetParam();
    const QImage skin = renderSkin(dpr);
    constexpr int kCorner = 24;
    const QRect inner = kSurfaceBox.adjusted(kCorner, 0, -kCorner, 0);
    const QRect innerTall = kSurfaceBox.adjusted(0, kCorner, 0, -kCorner);
    int holes = 0;
    for (int y = kSurfaceBox.top(); y <= kSurfaceBox.bottom(); ++y)
        for (int x = kSurfaceBox.left(); x <= kSurfaceBox.right(); ++x)
            if ((inner.contains(x, y) || innerTall.contains(x, y)) &&
                isKey(at(skin, x + 0.5, y + 0.5)))
                ++holes;
    EXPECT_EQ(holes, 0);
}

TEST_P(SkinTest, DisplayFieldIsExactlyThePanelColour) {
    const qreal dpr = GetParam();
    const QImage skin = renderSkin(dpr);
    // The panel's labels lie on x 643..912, y 88..150 (inclusive).
    ASSERT_EQ(kDisplayField, QRect(QPoint(643, 88), QPoint(912, 150)));
    const QRect field = physical(kDisplayField, dpr);
    int wrong = 0;
    for (int y = field.top(); y <= field.bottom(); ++y)
        for (int x = field.left(); x <= field.right(); ++x)
            if ((skin.pixel(x, y) & 0xFFFFFF) != (kDisplayFieldColour.rgb() & 0xFFFFFF))
                ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST_P(SkinTest, EveryRegionIsDrawn) {
    const QImage skin = renderSkin(GetParam());
    const QRgb field = kDisplayFieldColour.rgb() & 0xFFFFFF;
    for (const Region& r : kRegions)
        for (const QPointF& p : innerPoints(r)) {
            const QRgb px = at(skin, p.x(), p.y());
            EXPECT_FALSE(isKey(px)) << r.label << " at " << p.x() << "," << p.y();
            EXPECT_NE(px & 0xFFFFFF, field) << r.label;
        }
}

TEST_P(SkinTest, NoPixelNearTheKeyColour) {
    const QImage skin = renderSkin(GetParam());
    int fringe = 0;
    for (int y = 0; y < skin.height(); ++y)
        for (int x = 0; x < skin.width(); ++x)
            if (isNearKey(skin.pixel(x, y)))
                ++fringe;
    EXPECT_EQ(fringe, 0);
}

TEST_P(SkinTest, LitButton) {
    const qreal dpr = GetParam();
    const QImage lit = renderLitButton(dpr);
    ASSERT_FALSE(lit.isNull());
    EXPECT_EQ(lit.deviceIndependentSize().toSize(), QSize(kLitButtonWidth, kLitButtonHeight));
    EXPECT_EQ(lit.size(), QSize(qRound(kLitButtonWidth * dpr), qRound(kLitButtonHeight * dpr)));
    EXPECT_FALSE(lit.hasAlphaChannel());
    int keyOrFringe = 0;
    for (int y = 0; y < lit.height(); ++y)
        for (int x = 0; x < lit.width(); ++x)
            if (isKey(lit.pixel(x, y)) || isNearKey(lit.pixel(x, y)))
                ++keyOrFringe;
    EXPECT_EQ(keyOrFringe, 0);
    // Lit means bright: the middle of the key is clearly lighter than the unlit skin there.
    const QRgb middle = lit.pixel(lit.width() / 2, lit.height() / 2);
    EXPECT_GT(qGray(middle), 150);
}

INSTANTIATE_TEST_SUITE_P(Ratios, SkinTest, ::testing::ValuesIn(kRatios));

TEST(SkinArtwork, EveryTemplateExistsAtItsRegionSize) {
    // Each template is drawn scaled into its region; a missing id draws nothing and a box of
    // another size stretches the artwork or shifts it off the hit-test rectangle.
    QSvgRenderer renderer(skinDrawing());
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, kSkinWidth, kSkinHeight));
    for (const Region& r : kRegions) {
        const QString id = skinTemplateId(r);
        ASSERT_TRUE(renderer.elementExists(id)) << id.toStdString();
        const QRectF bounds = renderer.boundsOnElement(id);
        EXPECT_EQ(bounds, QRectF(0, 0, r.right - r.left, r.bottom - r.top))
            << id.toStdString() << ": " << bounds.x() << "," << bounds.y() << " " << bounds.width()
            << "x" << bounds.height();
    }
}

TEST(SkinArtwork, UnreadableArtworkStillGivesAVisibleSurface) {
    // A window whose every pixel is key would be invisible and impossible to close.
    for (const QByteArray& svg : {QByteArray(), QByteArray("<svg><rect")}) {
        const QImage skin = renderSkinFrom(svg, 1.0);
        EXPECT_FALSE(isKey(skin.pixel(300, 500)));
        EXPECT_FALSE(isKey(skin.pixel(kSurfaceBox.center())));
        EXPECT_TRUE(isKey(skin.pixel(10, 10)));
        EXPECT_TRUE(isKey(skin.pixel(kSkinWidth - 1, kSkinHeight - 1)));
        EXPECT_EQ(skin.pixel(700, 120) & 0xFFFFFF, kDisplayFieldColour.rgb() & 0xFFFFFF);
    }
}

// Everything Qt says while `run` runs: the cache must fail silently.
QStringList messagesDuring(const std::function<void()>& run) {
    static QStringList* sink = nullptr;
    QStringList said;
    sink = &said;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { *sink << text; });
    run();
    qInstallMessageHandler(previous);
    sink = nullptr;
    return said;
}

TEST(SkinCache, MissStoresAndHitReadsBackExactlyTheDirectRender) {
    const QTemporaryDir dir;
    const QByteArray svg = skinDrawing();
    std::vector<QImage> direct;
    for (const qreal dpr : kRatios) {
        direct.push_back(renderSkinFrom(svg, dpr));
        const CachedSkin miss = cachedSkinFrom(svg, dpr, dir.path());
        EXPECT_FALSE(miss.hit) << dpr;
        EXPECT_TRUE(miss.stored) << dpr;
        EXPECT_TRUE(miss.image == direct.back()) << dpr;
    }
    // Each ratio has a file of its own: none replaced another.
    for (std::size_t i = 0; i < std::size(kRatios); ++i) {
        const CachedSkin hit = cachedSkinFrom(svg, kRatios[i], dir.path());
        EXPECT_TRUE(hit.hit) << kRatios[i];
        EXPECT_FALSE(hit.stored) << kRatios[i];
        EXPECT_TRUE(hit.image == direct[i]) << kRatios[i];
        EXPECT_EQ(hit.image.devicePixelRatio(), kRatios[i]);
        EXPECT_EQ(hit.image.format(), direct[i].format());
        // The image is the caller's to change: a write does not reach the file.
        QImage changed = hit.image;
        changed.setPixel(0, 0, qRgb(1, 2, 3));
    }
    for (std::size_t i = 0; i < std::size(kRatios); ++i)
        EXPECT_TRUE(cachedSkinFrom(svg, kRatios[i], dir.path()).image == direct[i]) << kRatios[i];
}

TEST(SkinCache, AnotherDrawingIsAMissAndReplacesTheFile) {
    const QTemporaryDir dir;
    const QByteArray svg = skinDrawing();
    QByteArray other = svg;
    other.replace("</svg>", "<!-- another drawing with the same pixels --></svg>");
    ASSERT_NE(other, svg);
    ASSERT_TRUE(cachedSkinFrom(svg, 1.0, dir.path()).stored);
    const CachedSkin changed = cachedSkinFrom(other, 1.0, dir.path());
    EXPECT_FALSE(changed.hit);
    EXPECT_TRUE(changed.stored);
    EXPECT_TRUE(cachedSkinFrom(other, 1.0, dir.path()).hit);
    EXPECT_FALSE(cachedSkinFrom(svg, 1.0, dir.path()).hit);
}

TEST(SkinCache, DamagedOrForeignFilesAreRenderedOverSilently) {
    const QByteArray svg = skinDrawing();
    const QImage direct = renderSkinFrom(svg, 1.0);
    const std::pair<const char*, std::function<void(QByteArray&)>> damages[] = {
        {"empty", [](QByteArray& b) { b.clear(); }},
        {"not ours", [](QByteArray& b) { b = "P6\n986 565\n255\n" + b.mid(16); }},
        {"truncated", [](QByteArray& b) { b.chop(1000); }},
        {"one byte longer", [](QByteArray& b) { b.append('\0'); }},
        {"other file version", [](QByteArray& b) { b[11] = char(b[11] + 1); }},
        {"other key", [](QByteArray& b) { b[30] = char(~b[30]); }},
        {"pixel flipped", [](QByteArray& b) { b[b.size() / 2] = char(~b[b.size() / 2]); }},
        {"checksum flipped", [](QByteArray& b) { b[60] = char(~b[60]); }},
    };
    for (const auto& [name, damage] : damages) {
        const QTemporaryDir dir;
        ASSERT_TRUE(cachedSkinFrom(svg, 1.0, dir.path()).stored);
        QFile file(skinCachePath(dir.path(), 1.0));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        damage(bytes);
        file.resize(0);
        file.seek(0);
        file.write(bytes);
        file.close();

        CachedSkin skin;
        EXPECT_TRUE(messagesDuring([&] { skin = cachedSkinFrom(svg, 1.0, dir.path()); }).isEmpty())
            << name;
        EXPECT_FALSE(skin.hit) << name;
        EXPECT_TRUE(skin.stored) << name;
        EXPECT_TRUE(skin.image == direct) << name;
        EXPECT_TRUE(cachedSkinFrom(svg, 1.0, dir.path()).hit) << name << ": replaced";
    }
}

TEST(SkinCache, AFolderThatCannotBeWrittenOnlyCostsTheRender) {
    const QByteArray svg = skinDrawing();
    const QImage direct = renderSkinFrom(svg, 1.0);
    const QTemporaryDir dir;
    QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir(dir.path()).mkpath("taken/" + QFileInfo(skinCachePath({}, 1.0)).fileName()));
    ASSERT_TRUE(QDir(dir.path()).mkdir("read-only"));
    QFile::setPermissions(dir.filePath("read-only"), QFile::ReadOwner | QFile::ExeOwner);
    struct Case {
        const char* name;
        QString folder;
        bool writable; // the folder itself, which root may write whatever its mode
    };
    const Case cases[] = {
        {"below a file", dir.filePath("file/cache"), false},
        {"the cache file's name taken by a folder", dir.filePath("taken"), false},
        {"read-only", dir.filePath("read-only"), geteuid() == 0},
        {"none", QString(), false},
    };
    for (const Case& c : cases) {
        for (int start = 0; start < 2; ++start) {
            CachedSkin skin;
            EXPECT_TRUE(
                messagesDuring([&] { skin = cachedSkinFrom(svg, 1.0, c.folder); }).isEmpty())
                << c.name;
            EXPECT_TRUE(skin.image == direct) << c.name;
            if (!c.writable) {
                EXPECT_FALSE(skin.hit) << c.name;
                EXPECT_FALSE(skin.stored) << c.name;
            }
        }
    }
}

TEST(SkinArtwork, IconHasAWindowSize) {
    const QIcon icon = appIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(32, 32).deviceIndependentSize().toSize(), QSize(32, 32));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    // Rendered on request, on a transparent ground.
    const QImage image = icon.pixmap(32, 32).toImage();
    EXPECT_GT(qAlpha(image.pixel(16, 16)), 0);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

} // namespace

int main(int argc, char** argv) {
    const QTemporaryDir runtime;
    qob::testing::useOffscreenQt(runtime);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);

    // QOB_SKIN_PNG=/some/skin.png saves the pictures for a look: skin.png, skin@2x.png, and
    // the lit button beside them.
    const QString preview = qEnvironmentVariable("QOB_SKIN_PNG");
    if (!preview.isEmpty()) {
        const QString stem = preview.endsWith(QLatin1String(".png")) ? preview.chopped(4) : preview;
        qob::renderSkin(1.0).save(stem + QLatin1String(".png"));
        qob::renderSkin(2.0).save(stem + QLatin1String("@2x.png"));
        qob::renderLitButton(4.0).save(stem + QLatin1String("-lit@4x.png"));
    }
    return RUN_ALL_TESTS();
}
