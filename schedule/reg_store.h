#pragma once

#include "schedule/ini_document.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace horvex {

// The per-user settings store: string values addressed by section and key,
// names matched without regard to case, kept in an INI file,
// <config home>/Horvex/Horvex.conf. The application name is asked from the
// running application at every read and write.
//
// The file is read at the first read, and again only when it changed on
// disk. A save re-reads it under a lock,
// puts in only the values it was given and writes the whole file atomically,
// so lines it does not understand and values written by others since are kept.
class RegStore {
public:
    // The running application's store.
    RegStore();
    // A given file (a schedule file).
    explicit RegStore(QString file);

    // Where the values live. Throws Failure when there is no home folder.
    QString fileName() const;

    // The stored text, or `fallback` when nothing is stored under the name.
    // Throws Failure when the file is there but cannot be read.
    QString GetSetting(const QString& section, const QString& key, const QString& fallback);

    // Stores the text, under the spelling the name already has, if any; it
    // reaches the file at the next flush().
    void SaveSetting(const QString& section, const QString& key, const QString& value);
    // Removes the value (every spelling of it) at the next flush().
    void DeleteSetting(const QString& section, const QString& key);

    // Writes what was saved. Throws Failure with the reason when the file
    // could not be read, locked or written, or saves are refused; the file
    // stays as it was then.
    void flush();

    // From now on every flush() fails with `reason` and writes nothing: the
    // window that could not take its lock may upload, but not save.
    void refuseSaves(const QString& reason) { refusal_ = reason; }
    // Why saves are refused; empty while they are not.
    const QString& saveRefusal() const { return refusal_; }

    // Section "Puertos": the device named for port n ("COM1=/dev/ttyUSB0").
    std::optional<QString> portDevice(int port);

    // The whole file as read, for whoever needs more than single values.
    const IniDocument& document();

private:
    struct Change {
        QString section;
        QString key;
        std::optional<QString> value; // none: remove
    };

    void load();

    QString fixedFile_;
    QString loadedFile_;
    QString loadedStamp_;
    IniDocument loaded_;
    bool isLoaded_ = false;
    std::vector<Change> pending_;
    QString refusal_;
};

// No settings or schedule file is anywhere near this size; a larger one is
// refused before it is read.
inline constexpr qint64 kStoreLimit = 1024 * 1024;

// Reads a settings or schedule file: an empty text when there is none. Only
// a regular file (or a link to one) of at most kStoreLimit bytes is read;
// anything else, and a file that cannot be read, throws Failure saying why.
QByteArray readStoreFile(const QString& file);

// Whether a file's missing folder is made (the settings store's own) or
// refused, as cp refuses it (a file the user names).
enum class MissingFolder { Create, Refuse };

// Replaces a file with `bytes` as a save does (temporary file, fsync,
// rename; a link kept, the mode kept), without a lock: for a file no other
// program of ours writes; its folder must be there. Throws Failure with the
// reason.
void replaceFile(const QString& file, const QByteArray& bytes);

// Changes a settings or schedule file under its lock: reads it afresh,
// applies `change` and, if that changed anything, writes the whole file
// atomically, so the old file stays whole unless the new one was written
// completely; a link is kept and the file keeps its mode. A file without
// write permission is left alone. Temporaries that a killed save left are
// removed. Returns the file's contents as they now are. Throws Failure with
// the reason when it could not read, lock or write.
IniDocument updateStoreFile(const QString& file, const std::function<void(IniDocument&)>& change,
                            MissingFolder missing = MissingFolder::Create);

} // namespace horvex
