// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/SkinCache.h"

#include "ui/main/ElementMap.h"
#include "ui/main/Skin.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>

#include <cstring>
#include <memory>

#ifndef QOB_SKIN_CODE
#error "QOB_SKIN_CODE: the build gives the hash of the code that draws the skin"
#endif

namespace qob {

namespace {

constexpr char kMagic[8] = {'Q', 'O', 'B', 'S', 'K', 'I', 'N', '\n'};
// Bump when the layout of the file changes.
constexpr quint32 kFileVersion = 1;
constexpr QImage::Format kFormat = QImage::Format_RGB32;
// The head, padded; then the checksum; then the pixels, aligned for use where they lie.
constexpr int kHeadBytes = 56;
constexpr int kChecksumBytes = 8;
constexpr int kPixelOffset = kHeadBytes + kChecksumBytes;

qreal usableRatio(qreal devicePixelRatio) {
    return devicePixelRatio > 0 ? devicePixelRatio : 1.0;
}

QSize physicalSize(qreal dpr) {
    return QSize(qRound(kSkinWidth * dpr), qRound(kSkinHeight * dpr));
}

// Anything that changes the pixels changes the key: the drawing, the ratio, the code that draws
// it (hashed by the build) and the Qt that rasterises it. MD5 because it is quick: the key only
// tells our own files apart, it guards against nobody.
QByteArray cacheKey(const QByteArray& svg, qreal dpr) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(QByteArrayLiteral(QOB_SKIN_CODE));
    hash.addData(QByteArray(qVersion()));
    hash.addData(QByteArray::number(dpr, 'g', 17));
    hash.addData(svg);
    return hash.result();
}

// Everything before the checksum; a file whose first bytes differ is not ours to read.
QByteArray fileHead(const QByteArray& key, QSize size) {
    QByteArray head;
    QDataStream out(&head, QIODevice::WriteOnly);
    out.writeRawData(kMagic, sizeof kMagic);
    out << kFileVersion << static_cast<quint8>(QSysInfo::ByteOrder)
        << static_cast<quint32>(size.width()) << static_cast<quint32>(size.height())
        << static_cast<quint32>(kFormat);
    out.writeRawData(key.constData(), static_cast<int>(key.size()));
    head.resize(kHeadBytes, '\0');
    return head;
}

// FNV-1a over 64-bit words: catches a damaged file for a fraction of a millisecond, where a
// cryptographic hash of the pixels would cost several.
quint64 pixelChecksum(const uchar* data, qsizetype n) {
    quint64 sum = 0xcbf29ce484222325ULL;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, sizeof word);
        sum = (sum ^ word) * 0x100000001b3ULL;
    }
    for (; i < n; ++i)
        sum = (sum ^ data[i]) * 0x100000001b3ULL;
    return sum;
}

QByteArray checksumBytes(quint64 sum) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << sum;
    return bytes;
}

// The pixels stay in the file's pages, mapped privately (a write would only copy the page): no
// copy, and far fewer page faults than reading into fresh memory, which is most of what a read
// costs. The file is only ever replaced by renaming a new one over it, never rewritten in place,
// so the mapping stays valid for as long as the image lives.
QImage readCached(const QString& path, const QByteArray& head, QSize size, qreal dpr) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return {};
    const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
    const qsizetype pixelBytes = bytesPerLine * size.height();
    if (file->size() != kPixelOffset + pixelBytes)
        return {};
    uchar* data = file->map(0, file->size(), QFileDevice::MapPrivateOption);
    if (!data)
        return {};
    if (QByteArrayView(data, head.size()) != head)
        return {};
    if (QByteArrayView(data + kHeadBytes, kChecksumBytes) !=
        checksumBytes(pixelChecksum(data + kPixelOffset, pixelBytes)))
        return {};
    const auto release = [](void* info) { delete static_cast<QFile*>(info); };
    QImage image(data + kPixelOffset, size.width(), size.height(), bytesPerLine, kFormat, release,
                 file.release());
    image.setDevicePixelRatio(dpr);
    return image;
}

bool writeCached(const QString& folder, const QString& path, const QByteArray& head,
                 const QImage& image) {
    if (image.format() != kFormat || image.bytesPerLine() != image.width() * 4)
        return false;
    if (!QDir().mkpath(folder))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(head);
    file.write(checksumBytes(pixelChecksum(image.constBits(), image.sizeInBytes())));
    file.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    return file.commit();
}

} // namespace

QString skinCachePath(const QString& folder, qreal devicePixelRatio) {
    return QDir(folder).filePath(
        QStringLiteral("skin@%1x.raw").arg(QString::number(usableRatio(devicePixelRatio))));
}

CachedSkin cachedSkinFrom(const QByteArray& svg, qreal devicePixelRatio, const QString& folder) {
    const qreal dpr = usableRatio(devicePixelRatio);
    const QSize size = physicalSize(dpr);
    const QByteArray head = fileHead(cacheKey(svg, dpr), size);
    CachedSkin skin;
    if (!folder.isEmpty()) {
        skin.image = readCached(skinCachePath(folder, dpr), head, size, dpr);
        skin.hit = !skin.image.isNull();
    }
    if (skin.hit)
        return skin;
    skin.image = renderSkinFrom(svg, dpr);
    if (!folder.isEmpty())
        skin.stored = writeCached(folder, skinCachePath(folder, dpr), head, skin.image);
    return skin;
}

QImage cachedSkin(qreal devicePixelRatio) {
    return cachedSkinFrom(skinDrawing(), devicePixelRatio,
                          QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .image;
}

} // namespace qob
