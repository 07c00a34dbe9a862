// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The rendered skin kept on disk, one file per pixel ratio: rendering the drawing is most of the
// editor's start-up, reading the finished pixels back costs about a millisecond.
namespace qob {

struct CachedSkin {
    QImage image;        // exactly what renderSkinFrom gives for the same drawing and ratio
    bool hit = false;    // read back from the cache folder
    bool stored = false; // rendered, then written there for the next start
};

// The skin of `svg` at `devicePixelRatio`, from `folder` when an earlier start left it there for
// the same drawing, ratio and renderer. Otherwise it is rendered and written to `folder`
// atomically, replacing whatever file was there (another drawing, a damaged or foreign file). A
// folder that cannot be written costs only the render, silently.
CachedSkin cachedSkinFrom(const QByteArray& svg, qreal devicePixelRatio, const QString& folder);

// The built-in skin through the user's cache folder.
QImage cachedSkin(qreal devicePixelRatio);

// The file that holds the skin at `devicePixelRatio` in `folder`.
QString skinCachePath(const QString& folder, qreal devicePixelRatio);

} // namespace qob
