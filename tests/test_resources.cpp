#include "ui/icons.h"

#include <QImage>
#include <QTest>

class TestResources : public QObject {
    Q_OBJECT
private slots:
    void picturesLoadAtTheirSizes();
};

void TestResources::picturesLoadAtTheirSizes() {
    const QIcon app = horvex::horvexIcon();
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QCOMPARE(QImage(QStringLiteral(":/icons/horvex-%1.png").arg(size)).size(),
                 QSize(size, size));
        QVERIFY(app.availableSizes().contains(QSize(size, size)));
    }
    for (const char* name : {"opciones", "grabar", "acerca", "salir", "puerto"}) {
        const QIcon icon = horvex::buttonIcon(name);
        QVERIFY2(!icon.isNull(), name);
        QCOMPARE(icon.pixmap(QSize(24, 24)).size(), QSize(24, 24));
        QCOMPARE(QImage(QStringLiteral(":/icons/%1-48.png").arg(QLatin1String(name))).size(),
                 QSize(48, 48));
    }
    QCOMPARE(QImage(horvex::aboutPicturePath()).size(), QSize(250, 148));
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
