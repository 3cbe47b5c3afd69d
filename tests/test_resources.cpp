#include "ui/icons.h"

#include <QImage>
#include <QTest>

class TestResources : public QObject {
    Q_OBJECT
private slots:
    void picturesLoadAtTheirSizes() {
        for (const int size : {16, 48, 256})
            QVERIFY(horvex::horvexIcon().availableSizes().contains(QSize(size, size)));
        for (const char* name : {"opciones", "grabar", "acerca", "salir", "puerto"})
            QVERIFY2(!horvex::buttonIcon(name).isNull(), name);
        QCOMPARE(QImage(horvex::aboutPicturePath()).size(), QSize(250, 148));
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
