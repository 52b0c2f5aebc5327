// SPDX-License-Identifier: GPL-3.0-or-later
// What the program needs of the desktop and gives to it: a Japanese font,
// icons that draw at tool bar sizes, and a desktop entry and file types
// that name each other rightly.
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

#include "res/Strings.h"
#include "res/UiIcons.h"

namespace {

const res::StringId kToolBarCommands[] = {
    res::ID_FILE_NEW,     res::ID_FILE_OPEN,  res::ID_FILE_SAVE, res::ID_EDIT_CUT,
    res::ID_EDIT_COPY,    res::ID_EDIT_PASTE, res::ID_MOVE_UP,   res::ID_MOVE_DOWN,
    res::ID_SEND_PROGRAM, res::ID_APP_ABOUT,
};

QStringList AllIconPaths() {
    QStringList paths;
    for (res::StringId id : kToolBarCommands)
        paths << res::CommandIconPath(id);
    paths << QString::fromLatin1(res::kAppIconPath);
    return paths;
}

// Pixels that are neither clear nor solid: the soft edges of a shape drawn
// off the pixel grid.
double SoftShare(const QImage& image) {
    int nSoft = 0, nInk = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            nInk += alpha > 0;
            nSoft += alpha > 24 && alpha < 232;
        }
    return nInk == 0 ? 1.0 : double(nSoft) / nInk;
}

QString ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void japaneseFontIsInstalled();
    void iconsDrawSharplyAtToolBarSizes();
    void desktopEntryAndFileTypesAgree();
};

void DesktopTest::japaneseFontIsInstalled() {
    // Without one every text of the program draws as boxes, and nothing says so.
    QVERIFY2(!QFontDatabase::families(QFontDatabase::Japanese).isEmpty(),
             "no Japanese font: install fonts-ipafont-gothic");
}

void DesktopTest::iconsDrawSharplyAtToolBarSizes() {
    // Each drawing is also left in the build folder, for the eye.
    const QString pngDir = QStringLiteral(RELMUTH_ICON_PNG_DIR);
    QDir().mkpath(pngDir);
    for (const QString& path : AllIconPaths()) {
        QVERIFY2(QFile::exists(path), qPrintable(path));
        const QIcon icon(path);
        QVERIFY2(!icon.isNull(), qPrintable(path));
        for (int size : {16, 32}) {
            const QImage image =
                icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(image.size(), QSize(size, size));
            // Drawn on the 16-pixel grid: at 16 and 32 pixels most of an
            // icon's pixels are solid; a stroke off the grid turns to mush.
            const double soft = SoftShare(image);
            QVERIFY2(soft < 0.25, qPrintable(QStringLiteral("%1 at %2 px: %3 of its pixels soft")
                                                 .arg(path)
                                                 .arg(size)
                                                 .arg(soft)));
            image.save(
                QStringLiteral("%1/%2-%3.png").arg(pngDir, QFileInfo(path).baseName()).arg(size));
        }
    }
}

void DesktopTest::desktopEntryAndFileTypesAgree() {
    const QString resDir = QStringLiteral(RELMUTH_RES_DIR);

    QFile xml(resDir + QStringLiteral("/desktop/relmuth.xml"));
    QVERIFY(xml.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&xml);
    QSet<QString> types;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement &&
            reader.name() == QLatin1String("mime-type"))
            types.insert(reader.attributes().value(QLatin1String("type")).toString());
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QVERIFY(!types.isEmpty());

    // The entry offers to open exactly the types we declare, with the
    // program and the icon that are installed.
    QSet<QString> offered;
    QString exec, iconName;
    for (const QString& line :
         ReadFile(resDir + QStringLiteral("/desktop/relmuth.desktop")).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("MimeType=")))
            for (const QString& type : line.mid(9).split(QLatin1Char(';'), Qt::SkipEmptyParts))
                offered.insert(type);
        if (line.startsWith(QLatin1String("Exec=")))
            exec = line.mid(5);
        if (line.startsWith(QLatin1String("Icon=")))
            iconName = line.mid(5);
    }
    QCOMPARE(offered, types);
    QCOMPARE(exec, QStringLiteral("relmuth %f"));
    QVERIFY(QFile::exists(resDir + QStringLiteral("/icons/") + iconName + QStringLiteral(".svg")));
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
