#include "ui/frm_main.h"

#include "clocklink/frame.h"
#include "clocklink/puerto.h"
#include "schedule/failure.h"
#include "schedule/lists.h"
#include "schedule/reg_sett.h"
#include "ui/frm_acerca.h"
#include "ui/frm_ini.h"
#include "ui/frm_opciones.h"
#include "ui/icons.h"
#include "ui/look.h"
#include "ui/main_messages.h"
#include "ui/number_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

namespace horvex {

namespace {

// A box's value as the clock link counts it: 0 clear, 1 ticked, 2 greyed.
int checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

// Counts a command for as long as it runs, failures included.
class Running {
public:
    explicit Running(int& count)
        : count_(count) {
        ++count_;
    }
    ~Running() { --count_; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    int& count_;
};

} // namespace

FrmMain::FrmMain(Services services)
    : services_(std::move(services))
    , MSComm1([&store = services_.store](int n) { return store.portDevice(n); }, &services_.pause)
    , upload_(
          m_, MSComm1, *this, *this, services_.pause, [this] { return shownSchedule(); },
          services_.record) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Horvex v1.12"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(horvexIcon());
    setFont(windowFont());
    resize(px(9885), px(7365));

    buildButtons();
    buildAlarmFrame();
    buildRingFrame();
    buildClockFrame();
    StatusBar1 = new MainStatusBar(this);
    setTabOrder();
    connectHandlers();
    pressButtonsOnEnter(*this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    connect(Timer1, &QTimer::timeout, this, &FrmMain::tellOtherUploads);
    Timer1->start();
}

FrmMain::~FrmMain() = default;

// ---- status line and message box --------------------------------------

QString FrmMain::panelText(int panel) const {
    return StatusBar1->panelText(panel);
}

void FrmMain::setPanelText(int panel, const QString& text) {
    StatusBar1->setPanelText(panel, text);
}

void FrmMain::critical(const QString& title, const QString& prompt) {
    criticalBox(title, prompt);
}

// ---- start-up ----------------------------------------------------------

void FrmMain::Form_Load() {
    const Running running(commands_);
    try {
        if (!frmIni_)
            frmIni_ = std::make_unique<FrmIni>();
        showDrawn(*frmIni_);
        services_.pause.Tiempo(0.5);
        LoadRegSett(m_, services_.store);
        const std::optional<AdoptedAdapter> adapter = adoptLoneAdapter(MSComm1, m_.PuertoCom);
        AbrirPuerto(MSComm1, m_.PuertoCom);
        // The adapter first: a long panel text shows its start and its end.
        const QString prompt =
            QStringLiteral("Conecte el Reloj a la PC y confirme el puerto COMM ...");
        setPanelText(
            1, adapter ? QStringLiteral("%1. %2 Y %3").arg(adapter->opens, prompt, adapter->keep)
                       : prompt);
        Timer1_Timer();
        fillLists();
        showMirrors();
        frmIni_->hide();
        MostrarPuerto(MSComm1, *this);
        // Uploading needs no disk; the operator learns now, not at Grabar,
        // that the settings cannot be kept.
        if (const QString& refusal = services_.store.saveRefusal(); !refusal.isEmpty())
            setPanelText(1, QStringLiteral("No se podrán grabar los datos: %1").arg(refusal));
    } catch (const Failure& failure) {
        ErrorPuerto(failure.description(), *this, *this);
    } catch (const std::exception& failure) {
        ErrorPuerto(QString::fromLocal8Bit(failure.what()), *this, *this);
    }
}

// Each list keeps its own current entry; only the entries are shared.
void FrmMain::fillLists() {
    QAbstractItemModel* const lengths = numbers(this, QStringLiteral("tiempos"), kRingList);
    cmbCorto->setModel(lengths);
    cmbLargo->setModel(lengths);
    selectText(cmbCorto, m_.TAlaCorto);
    selectText(cmbLargo, m_.TAlaLargo);
    QAbstractItemModel* const hours = numbers(this, QStringLiteral("horas"), kHourList);
    for (m_.Indice = 0; m_.Indice < kSlots; ++m_.Indice)
        cboHH[static_cast<std::size_t>(m_.Indice)]->setModel(hours);
    QAbstractItemModel* const minutes = numbers(this, QStringLiteral("minutos"), kMinuteList);
    for (m_.Indice = 0; m_.Indice < kSlots; ++m_.Indice)
        cboMM[static_cast<std::size_t>(m_.Indice)]->setModel(minutes);
}

void FrmMain::showMirrors() {
    for (m_.Indice = 0; m_.Indice < kSlots; ++m_.Indice) {
        const auto i = static_cast<std::size_t>(m_.Indice);
        selectText(cboHH[i], m_.AlaHora.at(i));
        selectText(cboMM[i], m_.AlaMin.at(i));
    }
    // Only 0 and 1 mean something to a box; any other stored value shows it
    // clear (no long ring is sent) and stays in the mirror untouched.
    for (m_.Indice = 0; m_.Indice < kSlots; ++m_.Indice) {
        const auto i = static_cast<std::size_t>(m_.Indice);
        if (m_.AlaChk.at(i) <= 1)
            chkAla[i]->setCheckState(m_.AlaChk.at(i) == 1 ? Qt::Checked : Qt::Unchecked);
    }
}

// ---- events ------------------------------------------------------------

void FrmMain::Timer1_Timer() {
    Hora->setText(MostrarHora(m_, services_.clock));
}

bool FrmMain::idle() const {
    return commands_ == 0 && !upload_.running() && QApplication::activeModalWidget() == nullptr;
}

void FrmMain::tellOtherUploads() {
    if (!idle())
        return;
    if (const QStringList news = news_.news(); !news.isEmpty())
        setPanelText(1, news.join(QStringLiteral("; ")));
}

void FrmMain::cboHH_Click(int Index) {
    const QString text = cboHH.at(static_cast<std::size_t>(Index))->currentText();
    m_.setAlaHora(Index, text);
}

void FrmMain::cboMM_Click(int Index) {
    const QString text = cboMM.at(static_cast<std::size_t>(Index))->currentText();
    m_.setAlaMin(Index, text);
}

void FrmMain::chkAla_Click(int Index) {
    const int value = checkValue(chkAla.at(static_cast<std::size_t>(Index)));
    m_.setAlaChk(Index, value);
}

void FrmMain::cmbCorto_Click() {
    m_.setTAlaCorto(cmbCorto->currentText());
}

void FrmMain::cmbLargo_Click() {
    m_.setTAlaLargo(cmbLargo->currentText());
}

ClockSchedule FrmMain::shownSchedule() const {
    ClockSchedule shown;
    for (std::size_t i = 0; i < kSlots; ++i)
        shown.alarms[i] = {cboHH[i]->currentText(), cboMM[i]->currentText(), checkValue(chkAla[i])};
    shown.shortRing = cmbCorto->currentText();
    shown.longRing = cmbLargo->currentText();
    return shown;
}

// ---- commands ----------------------------------------------------------

void FrmMain::Actualizar_Click() {
    upload_.Actualizar_Click();
}

bool FrmMain::saveReportingFailure() {
    try {
        SaveRegSett(m_, services_.store);
        return true;
    } catch (const Failure& failure) {
        setPanelText(1, QStringLiteral("No se grabaron los datos: %1").arg(failure.description()));
        return false;
    }
}

// A second press during the pause runs the command again, as any click
// would; only a frame's characters hold commands back.
void FrmMain::Grabo_Click() {
    if (upload_.gate().holds([this] { Grabo_Click(); }))
        return;
    const Running running(commands_);
    setPanelText(1, QStringLiteral("Grabando datos en memoria ..."));
    services_.pause.Tiempo(2);
    if (saveReportingFailure())
        setPanelText(1, QString());
}

void FrmMain::salir_Click() {
    if (upload_.gate().holds([this] { salir_Click(); }))
        return;
    const Running running(commands_);
    setPanelText(1, QStringLiteral("Saliendo y grabando datos..."));
    saveReportingFailure();
    services_.pause.Tiempo(2);
    Form_Unload();
}

void FrmMain::Opciones_Click() {
    if (upload_.gate().holds([this] { Opciones_Click(); }))
        return;
    FrmOpciones dialog(m_.PuertoCom, MSComm1, *this, *this);
    dialog.exec();
}

void FrmMain::Acerca_Click() {
    if (upload_.gate().holds([this] { Acerca_Click(); }))
        return;
    FrmAcerca dialog;
    dialog.exec();
}

void FrmMain::closeEvent(QCloseEvent* event) {
    // The close box during a frame ends the program once the frame is out.
    if (upload_.gate().holds([this] { Form_Unload(); })) {
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}

void FrmMain::Form_Unload() {
    // Nothing is saved here. The program ends without unwinding, but never
    // within a frame (the gate holds this until it is out), so no device and
    // no lock file of the line is held now.
    if (MSComm1.PortOpen())
        MSComm1.setPortOpen(false);
    if (services_.endProgram)
        services_.endProgram();
}

} // namespace horvex
