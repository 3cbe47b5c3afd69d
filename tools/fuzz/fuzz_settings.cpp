// libFuzzer target: arbitrary bytes as the settings file, then a load and a
// save. Loading may refuse with a Failure; it must never crash or hang, and
// whatever the bytes, reading and writing them back must give them unchanged.

#include "schedule/failure.h"
#include "schedule/ini_document.h"
#include "schedule/reg_sett.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> home;
int runs = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", home->path().toLocal8Bit());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (horvex::IniDocument::parse(bytes).serialize() != bytes)
        std::abort();

    // A fresh application name per run gives a fresh file, so no cached copy
    // of an earlier input can stand in for this one.
    const QString name = QStringLiteral("F%1").arg(++runs);
    QCoreApplication::setApplicationName(name);
    QDir folder(home->filePath(name));
    folder.mkpath(QStringLiteral("."));
    {
        QFile file(folder.filePath(name + QStringLiteral(".conf")));
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    {
        horvex::RegStore store;
        horvex::Module1 m;
        try {
            horvex::LoadRegSett(m, store);
            horvex::SaveRegSett(m, store);
        } catch (const horvex::Failure&) {
        }
        (void)store.portDevice(1);
    }
    folder.removeRecursively();
    return 0;
}
