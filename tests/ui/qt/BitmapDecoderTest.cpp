// The window's own BMP decoding against Qt's BMP reader, on every picture and
// icon built into the program, and on files it must leave to Qt.
#include "ui/qt/BitmapDecoder.h"
#include "ui/qt/BuiltInPicture.h"

#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QTest>

using namespace koravel;

namespace {

QByteArray Bytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage ReadByQt(const QString& name) {
    QImageReader reader(name, "bmp");
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

QStringList BuiltInBitmaps() {
    QStringList names;
    QDirIterator it(QStringLiteral(":/assets"), {QStringLiteral("*.bmp")});
    while (it.hasNext()) {
        names << it.next();
    }
    names.sort();
    return names;
}

} // namespace

class BitmapDecoderTest : public QObject {
    Q_OBJECT

  private slots:
    void givesQtsPixelsForThePlainPicturesAndLeavesTheCodedOnes() {
        const QStringList names = BuiltInBitmaps();
        QCOMPARE(names.size(), 14); // three pictures at three scales, five icons
        int decoded = 0;
        for (const QString& name : names) {
            const QImage image = DecodeUncompressedBmp(Bytes(name));
            // The 1.5x and 2x pictures are run-length coded: Qt reads those.
            QCOMPARE(image.isNull(), name.contains(QLatin1Char('@')));
            if (!image.isNull()) {
                QCOMPARE(image.format(), QImage::Format_RGB32);
                QVERIFY2(image == ReadByQt(name), qPrintable(name));
                ++decoded;
            }
        }
        QCOMPARE(decoded, 8);
    }

    void builtInPicturesAreQtsPixelsWhicheverWayTheyAreRead() {
        for (const QString& name : BuiltInBitmaps()) {
            const QImage picture =
                BuiltInPicture(name).toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(!picture.isNull() && picture == ReadByQt(name), qPrintable(name));
        }
    }

    void refusesFilesCutShortOrOfOtherKinds() {
        const QByteArray icon = Bytes(QStringLiteral(":/assets/swirl_icon_16.bmp"));
        const QByteArray picture = Bytes(QStringLiteral(":/assets/swirl_red.bmp"));
        QVERIFY(!DecodeUncompressedBmp(icon).isNull());
        QVERIFY(!DecodeUncompressedBmp(picture).isNull());
        for (qsizetype length = 0; length < icon.size(); ++length) {
            QVERIFY2(DecodeUncompressedBmp(QByteArrayView(icon).first(length)).isNull(),
                     qPrintable(QString::number(length)));
        }
        QVERIFY(DecodeUncompressedBmp(QByteArrayView(picture).first(picture.size() - 1)).isNull());

        const auto changed = [](QByteArray file, int at, std::initializer_list<char> bytes) {
            for (char byte : bytes) {
                file[at++] = byte;
            }
            return DecodeUncompressedBmp(file);
        };
        QVERIFY(changed(icon, 0, {'X'}).isNull());                             // not a bitmap
        QVERIFY(changed(icon, 22, {'\xF0', '\xFF', '\xFF', '\xFF'}).isNull()); // top row first
        QVERIFY(changed(icon, 28, {32}).isNull());                             // 32 bits a pixel
        QVERIFY(changed(icon, 30, {1}).isNull());                              // run-length coded
        QVERIFY(changed(icon, 10, {'\xFF', '\xFF', 0, 0}).isNull());           // rows past the end
        QVERIFY(changed(icon, 18, {0, 0, 0, 0}).isNull());                     // no width
    }
};

QTEST_MAIN(BitmapDecoderTest)
#include "BitmapDecoderTest.moc"
