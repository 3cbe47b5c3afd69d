// The calendar window's files other than the calendar's own edits: new and
// edited schedules, .ics files added, and every file shown watched on disk.
#include "calendar/calendar_edit.h"
#include "calendar/ics.h"
#include "schedule/guarded_file.h"
#include "schedule/readable_schedule.h"
#include "ui/frm_calendario.h"
#include "ui/rule_panels.h"
#include "ui/schedule_editor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QUndoStack>

namespace horvex {

namespace {

const QString kGuardado = QStringLiteral("guardado");

} // namespace

void FrmCalendario::setUpWatcher() {
    watcher_ = new QFileSystemWatcher(this);
    changed_ = new QTimer(this);
    changed_->setSingleShot(true);
    changed_->setInterval(100);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this](const QString& path) {
        if (!changedPaths_.contains(path))
            changedPaths_ << path;
        changed_->start();
    });
    connect(changed_, &QTimer::timeout, this, &FrmCalendario::readChangedFiles);
}

QString FrmCalendario::folderForFiles() const {
    const QString folder = QFileInfo(file_).absolutePath();
    // The settings folder's calendar may come before its folder does.
    if (draft_.missingFolder() == MissingFolder::Create)
        makeFolders(folder);
    return folder;
}

void FrmCalendario::newSchedule() {
    const QStringList files = scheduleFilesBeside(file_);
    const std::optional<NewSchedule> chosen = services_.askNewSchedule(
        this, files, [this](const QString& typed) { return newScheduleName(file_, typed); });
    if (!chosen)
        return;
    QString path;
    try {
        path = QDir(folderForFiles()).filePath(chosen->name);
        QByteArray text;
        if (chosen->start == kGuardado) {
            if (!services_.stored)
                throw Failure(QStringLiteral("no hay horario guardado"));
            text = ScheduleDraft::fromTexts(services_.stored()).text();
        } else if (chosen->start.isEmpty()) {
            text = ScheduleDraft::empty().text();
        } else {
            const QString from = draft_.calendar().resolve(chosen->start);
            text = ScheduleDraft::fromText(readExisting(from, kStoreLimit)).text();
        }
        writeNewScheduleFile(path, text);
    } catch (const Failure& f) {
        say(QStringLiteral("No se creó el horario: %1").arg(f.description()), true);
        return;
    }
    draft_.recalculate();
    showCalendar();
    ScheduleList& value = day_->value();
    value.setCurrentIndex(std::max(0, value.findData(chosen->name)));
    say(QStringLiteral("Creado %1: ponga sus timbres y guárdelo; después asígnelo a los días.")
            .arg(chosen->name));
    editSchedule(chosen->name);
}

void FrmCalendario::editSchedule(const QString& name) {
    if (editor_) {
        editor_->raise();
        editor_->activateWindow();
        return;
    }
    if (const DayValue::Kind kind = dayValueNamed(name).kind;
        kind == DayValue::Kind::Silencio || kind == DayValue::Kind::Libre)
        return say(QStringLiteral("«%1» no tiene timbres que cambiar: esos días no suena "
                                  "ninguno.")
                       .arg(name));
    ScheduleDraft schedule;
    QString path;
    QString note;
    try {
        if (name == kGuardado) {
            if (!services_.stored || !services_.saveStored)
                throw Failure(QStringLiteral("no hay horario guardado"));
            schedule = ScheduleDraft::fromTexts(services_.stored());
            editorLoaded_ = schedule.text();
        } else {
            path = draft_.calendar().resolve(name);
            editorLoaded_ = readExisting(path, kStoreLimit);
            schedule = ScheduleDraft::fromText(editorLoaded_);
            if (!editorLoaded_.isEmpty() && !holdsSchedule(editorLoaded_))
                throw Failure(QStringLiteral("%1 no es un horario").arg(path));
            if (!isReadableSchedule(editorLoaded_))
                note = QStringLiteral("Este archivo está en la forma antigua; al guardarlo se "
                                      "escribe con un timbre por línea.");
        }
    } catch (const Failure& f) {
        return say(QStringLiteral("No se puede abrir el horario: %1").arg(f.description()), true);
    }
    editorFile_ = path;
    editor_ = new ScheduleEditor(name, !path.isEmpty(), schedule, this);
    editor_->setAttribute(Qt::WA_DeleteOnClose);
    editor_->setWindowModality(Qt::WindowModal);
    editor_->say(note);
    connect(editor_, &ScheduleEditor::saveRequested, this, &FrmCalendario::saveSchedule);
    connect(editor_, &QObject::destroyed, this, [this] {
        editorFile_.clear();
        watchFiles();
    });
    editor_->show();
    watchFiles();
}

void FrmCalendario::saveSchedule() {
    const ScheduleDraft& schedule = editor_->draft();
    if (schedule.problems().any())
        return editor_->say(QStringLiteral("No se guarda: corrija antes lo que está en rojo."),
                            true);
    if (editorFile_.isEmpty()) {
        try {
            services_.saveStored(schedule.parsed().texts);
        } catch (const Failure& f) {
            return editor_->say(QStringLiteral("No se guardó: %1.").arg(f.description()), true);
        }
        editor_->saved(kGuardado);
        editorLoaded_ = ScheduleDraft::fromTexts(schedule.parsed().texts).text();
        draft_.rereadStored(services_.stored);
        showCalendar();
        return editor_->say(QStringLiteral("Guardado en la configuración de Horvex, como la "
                                           "ventana principal con Grabar Datos."));
    }
    if (editor_->typedName() != editor_->name()) {
        QString to;
        try {
            to = newScheduleName(file_, editor_->typedName());
        } catch (const Failure& f) {
            return editor_->say(QStringLiteral("No se guardó: %1.").arg(f.description()), true);
        }
        return renameSchedule(editor_->name(), to, schedule.text());
    }
    try {
        editorLoaded_ = saveOverLoaded(editorFile_, editorLoaded_, schedule.text());
    } catch (const ChangedOnDisk& changed) {
        if (ask(QStringLiteral("El horario cambió"),
                QStringLiteral("%1. No se ha guardado nada.\n\n¿Leerlo de nuevo? Los cambios "
                               "hechos en el horario se perderán.")
                    .arg(changed.description())))
            readScheduleAgain();
        else
            editor_->say(QStringLiteral("No se guardó: %1.").arg(changed.description()), true);
        return;
    } catch (const Failure& f) {
        return editor_->say(QStringLiteral("No se guardó: %1").arg(f.description()), true);
    }
    editor_->saved(editor_->name());
    editor_->say(QStringLiteral("Guardado %1.").arg(editorFile_));
    draft_.recalculate();
    showCalendar();
}

// The new file first, then the calendar naming it, then the old file goes:
// whatever fails, the calendar never names a file that is not there.
void FrmCalendario::renameSchedule(const QString& from, const QString& to, const QByteArray& text) {
    if (!draft_.unreadable().isEmpty())
        return editor_->say(QStringLiteral("No se cambia el nombre: el calendario no se pudo leer "
                                           "y no se puede guardar."),
                            true);
    if (draft_.unsaved() &&
        !ask(QStringLiteral("Cambiar el nombre"),
             QStringLiteral("Para cambiar el nombre se guarda también el calendario, con los "
                            "cambios que aún no se han guardado.\n\n¿Seguir?")))
        return;
    const QString path = QFileInfo(file_).absoluteDir().filePath(to);
    const IniDocument before = draft_.document();
    IniDocument renamed = before;
    renameValue(renamed, from, to);
    try {
        writeNewScheduleFile(path, text);
        draft_.restore(renamed);
        draft_.save();
    } catch (const Failure& f) {
        QFile::remove(path);
        draft_.restore(before);
        return editor_->say(QStringLiteral("No se cambió el nombre: %1.").arg(f.description()),
                            true);
    }
    const QString old = editorFile_;
    editorFile_ = path;
    editorLoaded_ = text;
    undo_->clear();
    editor_->saved(to);
    showCalendar();
    editor_->say(
        QFile::remove(old)
            ? QStringLiteral("Ahora se llama %1, y el calendario (guardado) lo nombra así.").arg(to)
            : QStringLiteral("Ahora se llama %1 y el calendario lo nombra así; %2 no se "
                             "pudo borrar: %3.")
                  .arg(to, old, systemReason()));
}

void FrmCalendario::addIcs() {
    const QString folder =
        services_.downloads ? services_.downloads() : QFileInfo(file_).absolutePath();
    QString path = services_.chooseIcs(this, folder);
    if (path.isEmpty())
        return;
    // Kept beside the calendar: tidying the downloads must not stop the bells.
    if (const QString copy = icsCopyTarget(file_, path); !copy.isEmpty()) {
        try {
            folderForFiles();
            const bool same = QFileInfo::exists(copy) &&
                              readExisting(copy, kIcsLimit) == readExisting(path, kIcsLimit);
            if (!same && QFileInfo::exists(copy) &&
                !ask(QStringLiteral("Ya hay un archivo con ese nombre"),
                     QStringLiteral("Junto al calendario ya hay un %1 distinto del elegido.\n\n"
                                    "¿Reemplazarlo por el elegido?")
                         .arg(QFileInfo(copy).fileName())))
                return say(QStringLiteral("No se añadió nada: %1 sigue como estaba.").arg(copy));
            if (!same)
                copyIcs(path, copy);
        } catch (const Failure& f) {
            return say(QStringLiteral("No se añadió: %1").arg(f.description()), true);
        }
        path = copy;
    }
    const QString name = nameInCalendar(file_, path);
    const DayValue v = ics_->value().chosen().value_or(DayValue{DayValue::Kind::Silencio, {}});
    edit([&](IniDocument& doc) { setIcsRule(doc, name, v); },
         QStringLiteral("añadir %1").arg(name));
    say(QStringLiteral("Añadido %1, copiado junto al calendario: sus días usan %2 (sin guardar).")
            .arg(name, v.name()));
}

void FrmCalendario::removeIcs() {
    const QString key = ics_->currentKey();
    if (key.isNull()) {
        say(QStringLiteral("Elija primero el calendario .ics que quiere quitar."));
        return;
    }
    edit([&](IniDocument& doc) { setIcsRule(doc, key, std::nullopt); },
         QStringLiteral("quitar %1").arg(key));
    say(QStringLiteral("Quitado %1 del calendario (el archivo sigue en su sitio; sin guardar).")
            .arg(key));
}

void FrmCalendario::watchFiles() {
    const Calendar& calendar = draft_.calendar();
    QStringList wanted{file_};
    for (const DayValue& v : calendar.values())
        if (v.kind == DayValue::Kind::File)
            wanted << calendar.resolve(v.file);
    for (const CalendarRule& rule : calendar.rules())
        if (rule.kind == CalendarRule::Kind::Calendar)
            wanted << calendar.resolve(rule.key);
    if (!editorFile_.isEmpty())
        wanted << editorFile_;
    if (const QString store = storeFile(); !store.isEmpty())
        wanted << store;
    const QStringList watched = watcher_->files();
    for (const QString& path : watched)
        if (!wanted.contains(path))
            watcher_->removePath(path);
    // An editor saves by writing a new file over the old name: the old one
    // was watched, the new one must be.
    for (const QString& path : wanted)
        if (!watched.contains(path) && QFileInfo::exists(path))
            watcher_->addPath(path);
}

void FrmCalendario::readChangedFiles() {
    const QStringList paths = std::exchange(changedPaths_, {});
    watchFiles();
    QStringList others;
    const QString store = storeFile();
    for (const QString& path : paths) {
        const bool ofStore = path == store;
        if (ofStore)
            draft_.rereadStored(services_.stored);
        const bool opened = editor_ && (ofStore ? editorFile_.isEmpty() : path == editorFile_);
        // The editor's own save comes back as a change: nothing new in it.
        if (path == file_ || (opened && !readScheduleAgain()))
            continue;
        others << QFileInfo(path).fileName();
    }
    if (paths.contains(file_)) {
        QByteArray now;
        try {
            now = readStoreFile(file_);
        } catch (const Failure&) {
            now = "\n(no se puede leer)";
        }
        if (now != draft_.loaded()) {
            if (!draft_.unsaved() ||
                ask(QStringLiteral("El calendario cambió"),
                    QStringLiteral("%1 cambió en el disco: otro programa o persona lo guardó.\n\n"
                                   "¿Leerlo de nuevo? Los cambios hechos en esta ventana se "
                                   "perderán.")
                        .arg(file_))) {
                reload();
                return say(QStringLiteral("Leído de nuevo %1: cambió en el disco.").arg(file_));
            }
            return say(QStringLiteral("%1 cambió en el disco; al guardar se le preguntará qué "
                                      "hacer.")
                           .arg(file_),
                       true);
        }
    }
    if (others.isEmpty())
        return;
    draft_.recalculate();
    showCalendar();
    say(QStringLiteral("Leído de nuevo %1: cambió en el disco.")
            .arg(others.join(QStringLiteral(", "))));
}

QString FrmCalendario::storeFile() const {
    try {
        return services_.storeFile ? services_.storeFile() : QString();
    } catch (const Failure&) {
        return {}; // no home: nothing to watch
    }
}

bool FrmCalendario::readScheduleAgain() {
    const QString path = editorFile_.isEmpty() ? storeFile() : editorFile_;
    QByteArray now;
    try {
        now = editorFile_.isEmpty() ? ScheduleDraft::fromTexts(services_.stored()).text()
                                    : readExisting(path, kStoreLimit);
    } catch (const Failure& f) {
        editor_->say(f.description(), true);
        return true;
    }
    if (now == editorLoaded_)
        return false;
    if (editor_->unsaved() &&
        !ask(QStringLiteral("El horario cambió"),
             QStringLiteral("%1 cambió en el disco.\n\n¿Leerlo de nuevo? Los cambios hechos en el "
                            "horario se perderán.")
                 .arg(path))) {
        editor_->say(
            QStringLiteral("%1 cambió en el disco; al guardar se le preguntará.").arg(path), true);
        return true;
    }
    editorLoaded_ = now;
    editor_->replace(ScheduleDraft::fromText(now));
    editor_->say(QStringLiteral("Leído de nuevo: cambió en el disco."));
    return true;
}

} // namespace horvex
