#include "ui/icons.h"

#include <QImage>
#include <QTest>

class TestResources : public QObject {
    Q_OBJECT
private slots:
    void picturesLoadAtTheirSizes() {
        // Every size a window shows is drawn and decoded, and nothing bigger.
        QCOMPARE(horvex::horvexIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}}));
        for (const char* name : {"opciones", "grabar", "acerca", "salir", "puerto"})
            QVERIFY2(!horvex::buttonIcon(name).isNull(), name);
        QCOMPARE(QImage(horvex::aboutPicturePath()).size(), QSize(250, 148));
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
