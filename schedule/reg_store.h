#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

namespace horvex {

// The per-user settings store: string values addressed by section and key,
// names matched without regard to case. On Unix an INI file,
// $XDG_CONFIG_HOME/Horvex/Horvex.conf; on Windows the native per-user store.
// The application name (organisation and application alike) is asked from
// the running application at every read and write.
class RegStore {
public:
    RegStore();
    ~RegStore();
    RegStore(const RegStore&) = delete;
    RegStore& operator=(const RegStore&) = delete;

    // The stored text, or `fallback` when nothing is stored under the name.
    QString GetSetting(const QString& section, const QString& key, const QString& fallback);

    // Stores the text; a name that exists in another case is replaced, so
    // there is only ever one value per name.
    void SaveSetting(const QString& section, const QString& key, const QString& value);

    // Writes what was saved to disk. Throws Failure with the reason when the
    // store could not keep it; the file that was there stays intact.
    void flush();

    // Section "Puertos": the device named for port n ("COM1=/dev/ttyUSB0").
    std::optional<QString> portDevice(int port);

private:
    QSettings& settings();

    std::unique_ptr<QSettings> settings_;
    bool writing_ = false; // values handed to QSettings since the last flush()
};

} // namespace horvex
