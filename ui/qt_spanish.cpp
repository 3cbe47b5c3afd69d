#include "ui/qt_spanish.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

namespace horvex {

bool speakSpanish() {
    // Parented to the application, which it must outlive to be used.
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QStringLiteral("qtbase_es"), folder) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    // A box would stop the secretary for what only costs Qt's own words;
    // stderr reaches the journal, where whoever installed Horvex looks.
    std::fprintf(stderr, "%s\n",
                 QStringLiteral("horvex: aviso: no se encuentra la traducción de Qt al español "
                                "(%1): los botones y diálogos de Qt saldrán en inglés; instale "
                                "el paquete qt6-translations-l10n")
                     .arg(QDir(folder).filePath(QStringLiteral("qtbase_es.qm")))
                     .toUtf8()
                     .constData());
    return false;
}

} // namespace horvex
